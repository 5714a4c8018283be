// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the bundle's manifest.ttl, the plug-in's description and the factory presets (presets.ttl) from
// effect/PluginDescription.h, the parameter table and the preset table, each parameter read through the
// parameter object an instance defines from it, so the ports show what the plug-in reports (names, ranges,
// defaults, curves, display texts):
//   quillmere-lv2-ttl BUNDLE_DIR MODULE_FILE_NAME DESCRIPTION_FILE_NAME
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "IPlug/IPlugParam.h"
#include "effect/ParameterTable.h"
#include "effect/PluginDescription.h"
#include "effect/PresetTable.h"
#include "lv2/Lv2Ports.h"

static_assert(kPortOutLeft - kPortInLeft == kPluginInputs &&
                  kPortFirstControl - kPortOutLeft == kPluginOutputs,
              "one audio port for every channel");

namespace {

// The shortest decimal text that reads back as exactly the same double, with a decimal point (or an exponent,
// for numbers that need one) so that Turtle reads it as a decimal or double rather than an integer.
std::string RoundTripNumber(double value) {
  char text[400];
  for (int decimals = 1; decimals <= 17; ++decimals) {
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    if (std::strtod(text, nullptr) == value) return text;
  }
  for (int digits = 1; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*e", digits - 1, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return text;
}

// A Turtle string literal: quotes and backslashes escaped.
std::string Quoted(const char* text) {
  std::string result = "\"";
  for (const char* c = text; *c; ++c) {
    if (*c == '"' || *c == '\\') result += '\\';
    result += *c;
  }
  return result + "\"";
}

const char kPrefixes[] =
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n";

std::string Manifest(const std::string& moduleFile, const std::string& descriptionFile) {
  std::ostringstream ttl;
  ttl << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
      << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n"
      << "<" << kPluginLv2Uri << ">\n"
      << "\ta lv2:Plugin ;\n"
      << "\tlv2:binary <" << moduleFile << "> ;\n"
      << "\trdfs:seeAlso <" << descriptionFile << "> .\n";
  return ttl.str();
}

void WriteAudioPort(std::ostringstream& ttl, uint32_t index) {
  const bool input = index < kPortOutLeft;
  const int channel = static_cast<int>(input ? index - kPortInLeft : index - kPortOutLeft);
  // The names the VST 2 plug-in gives its pins, which have no labels of their own.
  char name[64];
  std::snprintf(name, sizeof name, input ? "Input %d" : "Output %d", channel + 1);
  ttl << "\t\ta lv2:" << (input ? "InputPort" : "OutputPort") << " , lv2:AudioPort ;\n"
      << "\t\tlv2:index " << index << " ;\n"
      << "\t\tlv2:symbol " << Quoted(kLv2AudioPortSymbols[index]) << " ;\n"
      << "\t\tlv2:name " << Quoted(name) << "\n";
}

void WriteControlPort(std::ostringstream& ttl, const IPlugParam& param, const Lv2ControlPort& port) {
  ttl << "\t\ta lv2:InputPort , lv2:ControlPort ;\n"
      << "\t\tlv2:index " << kPortFirstControl + port.mParam << " ;\n"
      << "\t\tlv2:symbol " << Quoted(port.mSymbol) << " ;\n"
      << "\t\tlv2:name " << Quoted(param.Name()) << " ;\n"
      << "\t\tlv2:default " << RoundTripNumber(param.DefaultValue()) << " ;\n"
      << "\t\tlv2:minimum " << RoundTripNumber(param.Min()) << " ;\n"
      << "\t\tlv2:maximum " << RoundTripNumber(param.Max()) << " ;\n";
  // Shape 0 is the exponential curve between minimum and maximum.
  if (param.Shape() == 0.0) ttl << "\t\tlv2:portProperty pprops:logarithmic ;\n";
  if (port.mUnit[0] != '\0') {
    ttl << "\t\tunits:unit " << port.mUnit << "\n";
    return;
  }
  // The units vocabulary has no radian: a unit of its own, shown as the plug-in shows the value.
  char render[64];
  std::snprintf(render, sizeof render, "%%.%df %s", param.Decimals(), param.DisplayLabel());
  ttl << "\t\tunits:unit [\n"
      << "\t\t\ta units:Unit ;\n"
      << "\t\t\trdfs:label \"radian\" ;\n"
      << "\t\t\tunits:symbol \"rad\" ;\n"
      << "\t\t\tunits:render " << Quoted(render) << "\n"
      << "\t\t]\n";
}

std::string Description() {
  std::ostringstream ttl;
  ttl << kPrefixes << "\n"
      << "<" << kPluginLv2Uri << ">\n"
      << "\ta lv2:Plugin , lv2:" << kPluginLv2Class << " , doap:Project ;\n"
      << "\tdoap:name " << Quoted(kPluginName) << " ;\n"
      << "\tdoap:license <http://spdx.org/licenses/GPL-3.0-or-later> ;\n"
      << "\tdoap:maintainer [\n"
      << "\t\tfoaf:name " << Quoted(DescribedVendorName()) << "\n"
      << "\t] ;\n"
      << "\tlv2:minorVersion " << QUILLMERE_VERSION_MINOR << " ;\n"
      << "\tlv2:microVersion " << QUILLMERE_VERSION_PATCH << " ;\n"
      << "\tlv2:optionalFeature lv2:hardRTCapable , urid:map , opts:options ;\n"
      << "\topts:supportedOption bufsz:maxBlockLength ;\n"
      << "\tlv2:port [\n";
  for (uint32_t index = 0; index < kNumLv2Ports; ++index) {
    if (index > 0) ttl << "\t] , [\n";
    if (index < kPortFirstControl) {
      WriteAudioPort(ttl, index);
    } else {
      const Lv2ControlPort& port = kLv2ControlPorts[index - kPortFirstControl];
      const ParameterDefinition& d = kParameterTable[port.mParam];
      IPlugParam param;
      param.DefineContinuous(d.mName, d.mDefault, d.mMin, d.mMax, d.mStep, d.mUnitLabel, d.mShape);
      WriteControlPort(ttl, param, port);
    }
  }
  ttl << "\t] .\n";
  return ttl.str();
}

constexpr const char kPresetsFile[] = "presets.ttl";

// The preset's URI: the plug-in's, then the name in lower case with hyphens for spaces.
std::string PresetUri(const PresetDefinition& preset) {
  std::string uri = std::string(kPluginLv2Uri) + ":preset:";
  for (const char* c = preset.mName; *c; ++c) {
    uri += *c == ' ' ? '-' : static_cast<char>(*c >= 'A' && *c <= 'Z' ? *c - 'A' + 'a' : *c);
  }
  return uri;
}

// The presets' entries in the manifest, after the plug-in's.
std::string ManifestPresetEntries() {
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
          << "\t\tpset:value " << RoundTripNumber(preset.mValues[i]) << "\n";
    }
    ttl << "\t] .\n";
  }
  return ttl.str();
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) std::fprintf(stderr, "quillmere-lv2-ttl: cannot write %s\n", path.c_str());
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: quillmere-lv2-ttl BUNDLE_DIR MODULE_FILE_NAME DESCRIPTION_FILE_NAME\n");
    return 2;
  }
  const std::string bundle = argv[1];
  const bool written =
      WriteFile(bundle + "/manifest.ttl", Manifest(argv[2], argv[3]) + ManifestPresetEntries()) &&
      WriteFile(bundle + "/" + argv[3], Description()) && WriteFile(bundle + "/" + kPresetsFile, Presets());
  return written ? 0 : 1;
}
