// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/DecimalText.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <system_error>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Whether a number too large or too small for a double lies above 1 in magnitude (it overflowed) rather than
// below (it underflowed). The mantissa runs from digits to the exponent mark; a hexadecimal digit counts 4
// bits.
bool ExceedsOne(const char* digits, const char* end, bool hex) {
  const char exponentMark = hex ? 'p' : 'e';
  long long intCount = 0;       // integer digits from the first non-zero one
  long long fractionZeros = 0;  // zeros after the point before the first non-zero digit
  bool inFraction = false;
  bool fractionNonZero = false;
  const char* p = digits;
  for (; p < end && (*p | 0x20) != exponentMark; ++p) {
    if (*p == '.') {
      inFraction = true;
    } else if (!inFraction) {
      if (intCount > 0 || *p != '0') ++intCount;
    } else if (intCount == 0 && !fractionNonZero) {
      if (*p == '0') {
        ++fractionZeros;
      } else {
        fractionNonZero = true;
      }
    }
  }
  const long long position = intCount > 0 ? intCount - 1 : -(fractionZeros + 1);
  long long exponent = 0;
  if (p < end) {
    ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    for (; p < end && IsDigit(*p); ++p) {
      if (exponent < 1000000000LL) exponent = exponent * 10 + (*p - '0');
    }
    if (negative) exponent = -exponent;
  }
  return (hex ? position * 4 : position) + exponent > 0;
}

}  // namespace

double ReadDecimalText(const char* text) {
  const char* p = text;
  while (IsBlank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // from_chars takes a sign of its own, which must not follow the one already read.
  if (*p == '+' || *p == '-') return 0.0;
  const char* end = p + std::strlen(p);

  double value = 0.0;
  std::from_chars_result result{p, std::errc::invalid_argument};
  const char* digits = p;
  bool hex = false;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
      (IsHexDigit(p[2]) || (p[2] == '.' && IsHexDigit(p[3])))) {
    digits = p + 2;
    hex = true;
    result = std::from_chars(digits, end, value, std::chars_format::hex);
  } else {
    result = std::from_chars(p, end, value, std::chars_format::general);
  }
  if (result.ec == std::errc::invalid_argument) return 0.0;
  if (result.ec == std::errc::result_out_of_range) {
    value = ExceedsOne(digits, result.ptr, hex) ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return negative ? -value : value;
}
