// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the factory presets as preset files from the preset table, at build time:
//   quillmere-preset-files OUT_DIR
// OUT_DIR/vst2/NAME.fxp: a VST 2 program file in the parameter-list form (big-endian: "CcnK", the size of the
// rest, "FxCk", format version 1, the plug-in's unique id and version as it reports them, the parameter
// count, the name in 28 bytes, then one normalised float per parameter). OUT_DIR/vst3/NAME.vstpreset: a VST 3
// preset (little-endian: "VST3", version 1, the class id in 32 hexadecimal digits, the offset of the chunk
// list, the component state, then "List" with one entry: "Comp", its offset and size). The component state is
// the plug-in's own saved state: the chunk header and the five plain values. The data are the same on every
// system; a build for another system runs this program on the build machine.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "IPlug/HostIdentification.h"
#include "IPlug/IStateChunk.h"
#include "effect/PluginDescription.h"
#include "effect/PresetValues.h"

namespace {

void PutBigEndian32(std::vector<uint8_t>& bytes, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
}

void PutLittleEndian(std::vector<uint8_t>& bytes, uint64_t value, int size) {
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutText(std::vector<uint8_t>& bytes, const char* text) {
  for (; *text; ++text) bytes.push_back(static_cast<uint8_t>(*text));
}

constexpr int kFxpNameBytes = 28;

std::vector<uint8_t> FxpFile(const PresetDefinition& preset) {
  std::vector<uint8_t> body;
  PutText(body, "FxCk");
  PutBigEndian32(body, 1);
  PutBigEndian32(body, static_cast<uint32_t>(kPluginVst2UniqueId));
  // The version as the plug-in reports it to VST 2 hosts (1.2.3 as 10203).
  PutBigEndian32(body, static_cast<uint32_t>(VersionAsDecimal(kPluginPackedVersion)));
  PutBigEndian32(body, kNumParams);
  std::string name(preset.mName);
  name.resize(kFxpNameBytes, '\0');
  body.insert(body.end(), name.begin(), name.end());
  for (int i = 0; i < kNumParams; ++i) {
    const float normalized = PresetNormalizedValue(preset, i);
    uint32_t bits;
    std::memcpy(&bits, &normalized, sizeof bits);
    PutBigEndian32(body, bits);
  }
  std::vector<uint8_t> file;
  PutText(file, "CcnK");
  PutBigEndian32(file, static_cast<uint32_t>(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

std::vector<uint8_t> VstPresetFile(const PresetDefinition& preset) {
  IStateChunk state;
  WriteChunkHeader(state);
  for (int i = 0; i < kNumParams; ++i) state.AppendDouble(preset.mValues[i]);

  std::vector<uint8_t> file;
  PutText(file, "VST3");
  PutLittleEndian(file, 1, 4);
  char classId[33];
  std::snprintf(classId, sizeof classId, "%08X%08X%08X%08X", kPluginVst3ClassId[0], kPluginVst3ClassId[1],
                kPluginVst3ClassId[2], kPluginVst3ClassId[3]);
  PutText(file, classId);
  const uint64_t stateOffset = file.size() + 8;
  const uint64_t listOffset = stateOffset + static_cast<uint64_t>(state.Size());
  PutLittleEndian(file, listOffset, 8);
  file.insert(file.end(), state.Data(), state.Data() + state.Size());
  PutText(file, "List");
  PutLittleEndian(file, 1, 4);
  PutText(file, "Comp");
  PutLittleEndian(file, stateOffset, 8);
  PutLittleEndian(file, static_cast<uint64_t>(state.Size()), 8);
  return file;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) std::fprintf(stderr, "quillmere-preset-files: cannot write %s\n", path.c_str());
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quillmere-preset-files OUT_DIR\n");
    return 2;
  }
  const std::string folder = argv[1];
  // A value that some format cannot carry exactly would make that format sound different.
  for (const PresetDefinition& preset : kPresetTable) {
    for (int i = 0; i < kNumParams; ++i) {
      if (!PresetValueExact(preset, i)) {
        std::fprintf(stderr, "quillmere-preset-files: \"%s\": %s = %.17g is not exact in every format\n",
                     preset.mName, kParameterTable[i].mName, preset.mValues[i]);
        return 1;
      }
    }
  }
  for (const char* sub : {"", "/vst2", "/vst3"}) mkdir((folder + sub).c_str(), 0755);
  for (const PresetDefinition& preset : kPresetTable) {
    if (!WriteFile(folder + "/vst2/" + preset.mName + ".fxp", FxpFile(preset)) ||
        !WriteFile(folder + "/vst3/" + preset.mName + ".vstpreset", VstPresetFile(preset)))
      return 1;
  }
  return 0;
}
