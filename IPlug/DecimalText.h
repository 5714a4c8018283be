// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reads the decimal number at the start of text exactly as the C library's strtod does in the "C" locale,
// whatever locale the process has set: leading blanks, optional sign, digits with '.' as decimal point and an
// optional exponent, hexadecimal numbers, infinities and NaNs; reading stops at the first character that does
// not fit. A text without a leading number reads as 0.
double ReadDecimalText(const char* text);
