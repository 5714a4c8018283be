// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

#include "pluginterfaces/base/ftypes.h"

// Texts cross the VST 3 interface as UTF-16 in fixed arrays; the plug-in's own texts are UTF-8.

// Writes text (UTF-8; a null text counts as empty) into dest, which holds capacity UTF-16 units, cut to fit
// and always terminated when capacity > 0. Malformed bytes become U+FFFD.
void CopyUtf8ToUtf16(Steinberg::char16* dest, size_t capacity, const char* text);

// Writes at most sourceUnits units of source (up to its terminator) into dest as UTF-8, cut to fit the
// capacity bytes and always terminated when capacity > 0. Unpaired surrogates become U+FFFD.
void CopyUtf16ToUtf8(char* dest, size_t capacity, const Steinberg::char16* source, size_t sourceUnits);

// 8-bit texts go into their fixed char8 fields through CopyToHost (IPlug/HostText.h).
