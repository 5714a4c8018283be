// SPDX-License-Identifier: GPL-3.0-or-later
#include "Presets.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "RenderError.h"
#include "effect/PluginDescription.h"
#include "effect/PresetValues.h"
#include "host/Vst2Instance.h"

namespace {

// The shortest text that reads back as the same number: 100, -5.3125.
std::string NumberText(double value) {
  char text[400];
  for (int decimals = 0; decimals <= 17; ++decimals) {
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return text;
}

}  // namespace

void PrintPresetList(std::FILE* out) {
  std::vector<std::vector<std::string>> rows(1, {"Preset"});
  for (const ParameterDefinition& param : kParameterTable) {
    const std::string unit = param.mUnitLabel;
    rows[0].push_back(unit.empty() ? param.mName : std::string(param.mName) + " (" + unit + ")");
  }
  for (const PresetDefinition& preset : kPresetTable) {
    rows.push_back({preset.mName});
    for (double value : preset.mValues) rows.back().push_back(NumberText(value));
  }
  std::vector<size_t> width(rows[0].size(), 0);
  for (const auto& row : rows)
    for (size_t i = 0; i < row.size(); ++i) width[i] = std::max(width[i], row[i].size());
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      // Names to the left, numbers to the right of their columns.
      const std::string pad(width[i] - row[i].size(), ' ');
      line += i == 0 ? row[i] + pad : "  " + pad + row[i];
    }
    std::fprintf(out, "%s\n", line.c_str());
  }
  std::fflush(out);
}

bool IsPresetName(const std::string& name) { return FindPreset(name.c_str()) != nullptr; }

void ApplyPreset(Vst2Instance& effect, const std::string& name, const std::string& pluginPath) {
  const PresetDefinition* preset = FindPreset(name.c_str());
  if (!preset)
    throw RenderError("no preset named \"" + name + "\" (see --list-presets)", RenderError::kUsage);
  if (effect.Effect()->uniqueID != kPluginVst2UniqueId || effect.ParameterCount() != kNumParams)
    throw RenderError("the presets are " + std::string(kPluginName) + "'s; plug-in " + pluginPath +
                      " is another effect");
  for (int i = 0; i < kNumParams; ++i) effect.SetParameter(i, PresetNormalizedValue(*preset, i));
}
