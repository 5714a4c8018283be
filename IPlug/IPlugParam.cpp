// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/IPlugParam.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Copies text into a 32-byte field, cut to 31 characters; a null text clears the field.
void CopyField(char* field, const char* text) {
  const size_t length = text ? strnlen(text, kParamTextSize - 1) : 0;
  if (length > 0) std::memcpy(field, text, length);
  std::memset(field + length, 0, kParamTextSize - length);
}

// Truncates toward zero, saturating at the 32-bit limits; NaN gives 0.
int TruncateToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.0) return INT_MAX;
  if (value <= -2147483649.0) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace

double NormalizeValue(double value, double min, double max, double shape) {
  if (shape == 1.0) return (value - min) / (max - min);
  if (shape == 0.0) return std::log(value / min) / std::log(max / min);
  return std::pow((value - min) / (max - min), 1.0 / shape);
}

double DenormalizeValue(double normalized, double min, double max, double shape) {
  if (shape == 1.0) return min + normalized * (max - min);
  if (shape == 0.0) return min * std::pow(max / min, normalized);
  return min + std::pow(normalized, shape) * (max - min);
}

IPlugParam* IPlugParam::DefineContinuous(const char* name, double defaultValue, double min, double max,
                                         double step, const char* unitLabel, double shape) {
  if (mKind == kKindNone) mKind = kKindDouble;
  CopyField(mName, name);
  CopyField(mUnitLabel, unitLabel);
  mValue = defaultValue;
  mDefaultValue = defaultValue;
  mMin = min;
  mMax = min + step > max ? min + step : max;
  mStep = step;
  int decimals = 0;
  for (double s = step; decimals < 6 && s != std::floor(s); s *= 10.0) ++decimals;
  mDecimals = decimals;
  mShape = shape;
  return this;
}

void IPlugParam::SetClamped(double value) {
  // NaN would pass both comparisons and be stored.
  if (std::isnan(value)) return;
  mValue = ClampedValue(value);
}

void IPlugParam::SetFromNormalized(double normalized) {
  double value = DenormalizeValue(normalized, mMin, mMax, mShape);
  if (mKind != kKindDouble) value = std::floor(0.5 + value / mStep) * mStep;
  mValue = mMax > value ? value : mMax;
}

double IPlugParam::Normalized() const { return NormalizedOf(mValue); }

double IPlugParam::NormalizedOf(double value) const {
  return NormalizeValue(ClampedValue(value), mMin, mMax, mShape);
}

void IPlugParam::FormatDisplay(double value, bool normalized, char* out, bool useValueTexts,
                               size_t outSize) const {
  if (!out || outSize == 0) return;
  if (normalized) value = DenormalizeValue(value, mMin, mMax, mShape);
  if (useValueTexts) {
    const char* text = ValueTextFor(TruncateToInt(value));
    if (*text) {
      std::snprintf(out, outSize, "%s", text);
      return;
    }
  }
  if (mDecimals == 0) {
    std::snprintf(out, outSize, "%d", TruncateToInt(value));
  } else {
    // The fixed-point text of "%.*f" in the "C" locale, whatever locale the host process has set: the decimal
    // point is always '.'. The longest finite double needs 309 digits before the point.
    char text[400];
    const std::to_chars_result result =
        std::to_chars(text, text + sizeof text - 1, value, std::chars_format::fixed, static_cast<int>(mDecimals));
    *result.ptr = '\0';
    std::snprintf(out, outSize, "%s", text);
  }
}

const char* IPlugParam::DisplayLabel() const {
  return *ValueTextFor(TruncateToInt(mValue)) ? "" : mUnitLabel;
}

const char* IPlugParam::ValueTextFor(int value) const {
  const IParamValueText* entries = mValueTexts.Get();
  for (int i = 0; i < mValueTexts.Count(); ++i) {
    if (entries[i].mValue == value) return entries[i].mText;
  }
  return "";
}

bool IPlugParam::LookUpValueText(const char* text, int* value) const {
  if (!text) return false;
  const IParamValueText* entries = mValueTexts.Get();
  for (int i = 0; i < mValueTexts.Count(); ++i) {
    if (std::strcmp(entries[i].mText, text) == 0) {
      if (value) *value = entries[i].mValue;
      return true;
    }
  }
  return false;
}

bool IPlugParam::AddValueText(int value, const char* text) {
  const int n = mValueTexts.Count();
  if (!mValueTexts.Resize(n + 1)) return false;
  IParamValueText& entry = mValueTexts.Get()[n];
  entry.mValue = value;
  CopyField(entry.mText, text);
  return true;
}
