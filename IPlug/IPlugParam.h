// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

#include "IPlug/ITypedBuffer.h"

enum EParamKind : int32_t {
  kKindNone = 0,
  kKindBool = 1,
  kKindInt = 2,
  kKindEnum = 3,
  kKindDouble = 4,
};

// Name, unit label and value-text fields hold 31 characters and a terminator.
constexpr int kParamTextSize = 32;

// Curve between plain and normalised values: shape 1 linear, shape 0 exponential, any other a power curve.
double NormalizeValue(double value, double min, double max, double shape);
double DenormalizeValue(double normalized, double min, double max, double shape);

// One entry of a parameter's value-text table.
struct IParamValueText {
  int32_t mValue;
  char mText[kParamTextSize];
};

// One automatable parameter: plain value and range, normalisation curve, display texts.
class IPlugParam {
 public:
  IPlugParam() = default;
  IPlugParam(const IPlugParam&) = delete;
  IPlugParam& operator=(const IPlugParam&) = delete;

  IPlugParam* DefineContinuous(const char* name, double defaultValue, double min, double max, double step,
                               const char* unitLabel, double shape);

  double Value() const { return mValue; }
  void SetClamped(double value);  // NaN leaves the value as it was
  // value held inside [min, max]; NaN stays NaN.
  double ClampedValue(double value) const { return value < mMin ? mMin : (value > mMax ? mMax : value); }
  void SetFromNormalized(double normalized);
  double Normalized() const;
  double NormalizedOf(double value) const;

  const char* Name() const { return mName; }
  const char* UnitLabel() const { return mUnitLabel; }
  // Writes the display text of value into out (outSize bytes, always terminated when outSize > 0).
  void FormatDisplay(double value, bool normalized, char* out, bool useValueTexts, size_t outSize) const;
  const char* DisplayLabel() const;
  const char* ValueTextFor(int value) const;  // "" when there is none
  bool LookUpValueText(const char* text, int* value) const;
  int ValueTextCount() const { return mValueTexts.Count(); }
  // Appends a value-text entry (text cut to 31 characters); false when memory ran out.
  bool AddValueText(int value, const char* text);

  EParamKind Kind() const { return mKind; }
  void SetKind(EParamKind kind) { mKind = kind; }
  double Min() const { return mMin; }
  double Max() const { return mMax; }
  double Step() const { return mStep; }
  double Shape() const { return mShape; }
  double DefaultValue() const { return mDefaultValue; }
  int Decimals() const { return mDecimals; }

 private:
  EParamKind mKind = kKindNone;
  double mValue = 0.0;
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mShape = 1.0;
  double mDefaultValue = 0.0;
  int32_t mDecimals = 0;
  char mName[kParamTextSize] = {};
  char mUnitLabel[kParamTextSize] = {};
  ITypedBuffer<IParamValueText> mValueTexts;
};
