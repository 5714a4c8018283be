// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

// Copies text into a host's fixed text field of capacity bytes: cut to capacity - 1 bytes and terminated.
// Nothing after the terminator is written, as a host's buffer may be shorter than the field the format
// publishes. A null text counts as empty; a null field or a capacity of 0 is left alone.
void CopyToHost(char* dest, const char* text, size_t capacity);
