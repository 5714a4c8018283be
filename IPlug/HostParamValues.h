// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "IPlug/IPlugBase.h"
#include "IPlug/IPlugParam.h"

// Parameter values as hosts send them, one rule per kind of value. The Apply functions store the value in
// parameter index and then call ParamChanged; they answer false, with nothing stored and ParamChanged not
// called, for an index outside the parameter list and for a value they do not take. The caller holds the
// instance lock.

// A normalised value by the parameter's own rule (IPlugParam::SetFromNormalized): it is not held to 0 ... 1,
// only the upper bound of the plain value is enforced, and NaN gives the upper bound.
bool ApplyNormalizedValue(IPlugBase* plug, int index, double normalized);

// A normalised value from a host that sends 64-bit values: NaN is no value; the rest is held to 0 ... 1 and
// rounded to float, as a host that sends 32-bit values sends it, then applied as above. So a value sent
// through any format sets the same plain value.
bool ApplyHostNormalizedValue(IPlugBase* plug, int index, double value);
// The conversion alone: false for NaN.
bool ReadHostNormalized(double value, double* normalized);
// A normalised value given out to a host, rounded to float as 32-bit hosts read it; NaN gives 0.
double WriteHostNormalized(double normalized);

// A plain value, in the parameter's own unit: NaN is no value; the rest is clamped into the range, so an
// infinity gives a bound.
bool ApplyPlainValue(IPlugBase* plug, int index, double value);

// A typed text as the plug-in's text entry reads it (ParseValueText): false when the parameter has value
// texts and none matches; otherwise the value read is clamped into the range and stored (a NaN read stores
// nothing), and ParamChanged runs.
bool ApplyTextValue(IPlugBase* plug, int index, const char* text);
// The plain value a typed text stands for, clamped into the range, without storing it; false when the text
// matches no value text or reads as NaN.
bool PlainValueOfText(const IPlugParam& param, const char* text, double* value);
