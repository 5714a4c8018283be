// SPDX-License-Identifier: GPL-3.0-or-later
#include "vst3/Vst3Text.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point from text (at least one byte is consumed); malformed sequences give U+FFFD.
char32_t NextCodePoint(const unsigned char*& text) {
  const unsigned char lead = *text++;
  if (lead < 0x80) return lead;
  int extra;
  char32_t point;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    point = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    point = lead & 0x07;
  } else {
    return kReplacement;
  }
  for (int i = 0; i < extra; ++i) {
    if ((*text & 0xC0) != 0x80) return kReplacement;  // the terminator stops here too
    point = (point << 6) | (*text++ & 0x3F);
  }
  // Overlong forms, surrogates and values beyond U+10FFFF.
  const char32_t least[] = {0, 0x80, 0x800, 0x10000};
  if (point < least[extra] || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) return kReplacement;
  return point;
}

}  // namespace

void CopyUtf8ToUtf16(Steinberg::char16* dest, size_t capacity, const char* text) {
  if (!dest || capacity == 0) return;
  size_t used = 0;
  const unsigned char* cursor = reinterpret_cast<const unsigned char*>(text ? text : "");
  while (*cursor) {
    const char32_t point = NextCodePoint(cursor);
    if (point >= 0x10000) {
      if (used + 2 >= capacity) break;
      const char32_t v = point - 0x10000;
      dest[used++] = static_cast<Steinberg::char16>(0xD800 + (v >> 10));
      dest[used++] = static_cast<Steinberg::char16>(0xDC00 + (v & 0x3FF));
    } else {
      if (used + 1 >= capacity) break;
      dest[used++] = static_cast<Steinberg::char16>(point);
    }
  }
  dest[used] = 0;
}

void CopyUtf16ToUtf8(char* dest, size_t capacity, const Steinberg::char16* source, size_t sourceUnits) {
  if (!dest || capacity == 0) return;
  size_t used = 0;
  for (size_t i = 0; source && i < sourceUnits && source[i] != 0; ++i) {
    char32_t point = static_cast<uint16_t>(source[i]);
    if (point >= 0xD800 && point <= 0xDBFF && i + 1 < sourceUnits) {
      const char32_t low = static_cast<uint16_t>(source[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        point = 0x10000 + ((point - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (point >= 0xD800 && point <= 0xDFFF) point = kReplacement;
    unsigned char bytes[4];
    size_t n;
    if (point < 0x80) {
      bytes[0] = static_cast<unsigned char>(point);
      n = 1;
    } else if (point < 0x800) {
      bytes[0] = static_cast<unsigned char>(0xC0 | (point >> 6));
      bytes[1] = static_cast<unsigned char>(0x80 | (point & 0x3F));
      n = 2;
    } else if (point < 0x10000) {
      bytes[0] = static_cast<unsigned char>(0xE0 | (point >> 12));
      bytes[1] = static_cast<unsigned char>(0x80 | ((point >> 6) & 0x3F));
      bytes[2] = static_cast<unsigned char>(0x80 | (point & 0x3F));
      n = 3;
    } else {
      bytes[0] = static_cast<unsigned char>(0xF0 | (point >> 18));
      bytes[1] = static_cast<unsigned char>(0x80 | ((point >> 12) & 0x3F));
      bytes[2] = static_cast<unsigned char>(0x80 | ((point >> 6) & 0x3F));
      bytes[3] = static_cast<unsigned char>(0x80 | (point & 0x3F));
      n = 4;
    }
    // A character that does not fit whole is left out with everything after it.
    if (used + n >= capacity) break;
    std::memcpy(dest + used, bytes, n);
    used += n;
  }
  dest[used] = '\0';
}
