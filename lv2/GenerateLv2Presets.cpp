// SPDX-License-Identifier: GPL-3.0-or-later
// Describes the factory presets in the LV2 bundle, from the preset table: writes presets.ttl (one pset:Preset
// per preset, with the plain value of every control port) and adds the presets to the bundle's manifest.ttl,
// which the description tool has written before:
//   quillmere-lv2-presets BUNDLE_DIR
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "effect/PluginDescription.h"
#include "effect/PresetTable.h"
#include "lv2/Lv2Ports.h"

namespace {

constexpr const char kPresetsFile[] = "presets.ttl";

// The shortest decimal text that reads back as the same number, with a decimal point, so Turtle reads a
// decimal.
std::string DecimalText(double value) {
  char text[64];
  for (int decimals = 1; decimals <= 17; ++decimals) {
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return text;
}

// The preset's URI: the plug-in's, then the name in lower case with hyphens for spaces.
std::string PresetUri(const PresetDefinition& preset) {
  std::string uri = std::string(kPluginLv2Uri) + ":preset:";
  for (const char* c = preset.mName; *c; ++c) {
    uri += *c == ' ' ? '-' : static_cast<char>(*c >= 'A' && *c <= 'Z' ? *c - 'A' + 'a' : *c);
  }
  return uri;
}

std::string ManifestEntries() {
  std::ostringstream ttl;
  ttl << "\n@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n";
  for (const PresetDefinition& preset : kPresetTable) {
    ttl << "\n<" << PresetUri(preset) << ">\n"
        << "\ta pset:Preset ;\n"
        << "\tlv2:appliesTo <" << kPluginLv2Uri << "> ;\n"
        << "\trdfs:seeAlso <" << kPresetsFile << "> .\n";
  }
  return ttl.str();
}

std::string Presets() {
  std::ostringstream ttl;
  ttl << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
      << "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
      << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n";
  for (const PresetDefinition& preset : kPresetTable) {
    // Names hold no quotes or backslashes (the preset table's test sees to that).
    ttl << "\n<" << PresetUri(preset) << ">\n"
        << "\ta pset:Preset ;\n"
        << "\tlv2:appliesTo <" << kPluginLv2Uri << "> ;\n"
        << "\trdfs:label \"" << preset.mName << "\" ;\n"
        << "\tlv2:port [\n";
    for (int i = 0; i < kNumParams; ++i) {
      if (i > 0) ttl << "\t] , [\n";
      ttl << "\t\tlv2:symbol \"" << kLv2ControlPorts[i].mSymbol << "\" ;\n"
          << "\t\tpset:value " << DecimalText(preset.mValues[i]) << "\n";
    }
    ttl << "\t] .\n";
  }
  return ttl.str();
}

bool WriteFile(const std::string& path, const std::string& text, std::ios::openmode mode) {
  std::ofstream file(path, std::ios::binary | mode);
  file << text;
  file.close();
  if (!file) std::fprintf(stderr, "quillmere-lv2-presets: cannot write %s\n", path.c_str());
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quillmere-lv2-presets BUNDLE_DIR\n");
    return 2;
  }
  const std::string bundle = argv[1];
  const bool written = WriteFile(bundle + "/" + kPresetsFile, Presets(), std::ios::trunc) &&
                       WriteFile(bundle + "/manifest.ttl", ManifestEntries(), std::ios::app);
  return written ? 0 : 1;
}
