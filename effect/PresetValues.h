// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstring>

#include "IPlug/IPlugParam.h"
#include "effect/PresetTable.h"

// What a VST 2 host sets for parameter i of a preset, and what its preset file holds: the normalised value as
// a 32-bit float, through the same curve the plug-in maps it back with.
inline float PresetNormalizedValue(const PresetDefinition& preset, int i) {
  const ParameterDefinition& param = kParameterTable[i];
  return static_cast<float>(NormalizeValue(preset.mValues[i], param.mMin, param.mMax, param.mShape));
}

// True when value i reaches the plug-in unchanged both as a 32-bit float (an LV2 port) and as a normalised
// 32-bit float (VST 2).
inline bool PresetValueExact(const PresetDefinition& preset, int i) {
  const ParameterDefinition& param = kParameterTable[i];
  const double value = preset.mValues[i];
  const double throughVst2 = DenormalizeValue(static_cast<double>(PresetNormalizedValue(preset, i)),
                                              param.mMin, param.mMax, param.mShape);
  return static_cast<double>(static_cast<float>(value)) == value && throughVst2 == value;
}

// The preset of this exact name, or null.
inline const PresetDefinition* FindPreset(const char* name) {
  for (const PresetDefinition& preset : kPresetTable) {
    if (std::strcmp(preset.mName, name) == 0) return &preset;
  }
  return nullptr;
}
