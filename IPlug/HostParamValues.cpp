// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/HostParamValues.h"

#include <cmath>

#include "IPlug/IPlugStateBytes.h"

bool ApplyNormalizedValue(IPlugBase* plug, int index, double normalized) {
  IPlugParam* param = plug->Param(index);
  if (!param) return false;
  param->SetFromNormalized(normalized);
  plug->ParamChanged(index);
  return true;
}

bool ReadHostNormalized(double value, double* normalized) {
  if (std::isnan(value)) return false;
  const double held = value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
  *normalized = static_cast<double>(static_cast<float>(held));
  return true;
}

double WriteHostNormalized(double normalized) {
  if (std::isnan(normalized)) return 0.0;
  return static_cast<double>(static_cast<float>(normalized));
}

bool ApplyHostNormalizedValue(IPlugBase* plug, int index, double value) {
  double normalized;
  if (!plug->Param(index) || !ReadHostNormalized(value, &normalized)) return false;
  return ApplyNormalizedValue(plug, index, normalized);
}

bool ApplyPlainValue(IPlugBase* plug, int index, double value) {
  IPlugParam* param = plug->Param(index);
  if (!param || std::isnan(value)) return false;
  param->SetClamped(value);
  plug->ParamChanged(index);
  return true;
}

bool ApplyTextValue(IPlugBase* plug, int index, const char* text) {
  IPlugParam* param = plug->Param(index);
  double value;
  if (!param || !ParseValueText(*param, text, &value)) return false;
  param->SetClamped(value);
  plug->ParamChanged(index);
  return true;
}

bool PlainValueOfText(const IPlugParam& param, const char* text, double* value) {
  double parsed;
  if (!ParseValueText(param, text, &parsed) || std::isnan(parsed)) return false;
  *value = param.ClampedValue(parsed);
  return true;
}
