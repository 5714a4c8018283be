// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pluginterfaces/base/funknown.h"

// The plug-in's class ID, fixed forever: hosts store it in their sessions.
#define QUILLMERE_VST3_CLASS_UID INLINE_UID(0x324D7D68, 0x797B5D63, 0x47B28233, 0xF53FC2B5)

// What the factory describes the class as.
inline constexpr const char* kVst3SubCategories = "Fx|Spatial";
inline constexpr const char* kVst3Url = "";
inline constexpr const char* kVst3Email = "";
