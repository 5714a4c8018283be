// SPDX-License-Identifier: GPL-3.0-or-later
// Every factory preset, loaded into every built plug-in the way its hosts load presets, sets exactly the
// preset table's values and sounds the same bit for bit: VST 2 with the normalised floats of its .fxp file
// through setParameter, VST 3 with its .vstpreset file's component state through setState, LV2 with the
// bundle's preset through lilv's state API, CLAP (which has no preset files) with the plain values as
// parameter events.
#include <dirent.h>
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "effect/PluginDescription.h"
#include "effect/PresetTable.h"
#include "tests/hosts/ClapInstance.h"
#include "tests/hosts/Lv2Host.h"
#include "host/PluginModule.h"
#include "host/Vst2HostCallback.h"
#include "host/Vst2Instance.h"
#include "tests/hosts/Vst3Host.h"
#include "lv2/Lv2Ports.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 512;
// Enough chunks for the random part of both angles to be drawn anew twice.
constexpr int kBlocks = 120;
constexpr int kFrames = kBlock * kBlocks;

using Values = std::array<double, kNumParams>;

struct Rendered {
  Values values{};  // the parameter values the plug-in holds after the preset was loaded
  std::vector<float> left, right;
};

// Noise and a low sine, below full scale.
struct Signal {
  std::vector<float> left, right;
  Signal() : left(kFrames), right(kFrames) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> noise(-0.35f, 0.35f);
    for (int i = 0; i < kFrames; ++i) {
      left[i] = noise(random) + 0.4f * std::sin(0.011f * static_cast<float>(i));
      right[i] = noise(random) + 0.4f * std::sin(0.0023f * static_cast<float>(i) + 1.0f);
    }
  }
};

const Signal& TestSignal() {
  static const Signal signal;
  return signal;
}

// Calls process(inputs, outputs, frames) block by block over the test signal.
template <class Process>
void RenderBlocks(Rendered& out, Process process) {
  const Signal& signal = TestSignal();
  std::vector<float> inL = signal.left, inR = signal.right;
  out.left.assign(kFrames, 0.0f);
  out.right.assign(kFrames, 0.0f);
  for (int start = 0; start < kFrames; start += kBlock) {
    float* inputs[2] = {inL.data() + start, inR.data() + start};
    float* outputs[2] = {out.left.data() + start, out.right.data() + start};
    process(inputs, outputs, kBlock);
  }
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint64_t Number(const std::vector<uint8_t>& bytes, size_t at, int size, bool bigEndian) {
  uint64_t value = 0;
  for (int i = 0; i < size; ++i) {
    const uint64_t byte = bytes.at(at + static_cast<size_t>(i));
    value |= byte << (8 * (bigEndian ? size - 1 - i : i));
  }
  return value;
}

std::string Text(const std::vector<uint8_t>& bytes, size_t at, size_t size) {
  if (at + size > bytes.size()) return "";
  return std::string(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + size));
}

// The plug-in's saved state: the 8-byte chunk header and one double per parameter.
Values ValuesOfState(const std::vector<uint8_t>& state) {
  Values values{};
  EXPECT_EQ(state.size(), 8u + 8u * kNumParams);
  if (state.size() != 8u + 8u * kNumParams) return values;
  EXPECT_EQ(Text(state, 0, 4), "tffp");
  for (int i = 0; i < kNumParams; ++i) {
    const uint64_t bits = Number(state, 8 + 8 * static_cast<size_t>(i), 8, false);
    std::memcpy(&values[static_cast<size_t>(i)], &bits, sizeof(double));
  }
  return values;
}

std::string PresetFile(const PresetDefinition& preset, const char* format, const char* suffix) {
  return std::string(QUILLMERE_PRESET_DIR) + "/" + format + "/" + preset.mName + suffix;
}

Rendered RenderVst2(const PresetDefinition& preset) {
  Rendered out;
  PluginModule module;
  Vst2HostCallback host;
  Vst2Instance effect;
  EXPECT_EQ(module.Open(QUILLMERE_VST2_PATH), HostStatus::kOk) << module.Error();
  EXPECT_EQ(effect.Create(FindVst2Entry(module), host), HostStatus::kOk) << effect.Error();
  if (!effect.IsValid()) return out;
  effect.Open();

  // The program file in the parameter-list form, checked against what the plug-in itself reports.
  const std::vector<uint8_t> file = ReadFile(PresetFile(preset, "vst2", ".fxp"));
  const int count = effect.ParameterCount();
  EXPECT_EQ(file.size(), 56u + 4u * static_cast<size_t>(count));
  if (file.size() != 56u + 4u * static_cast<size_t>(count)) return out;
  EXPECT_EQ(Text(file, 0, 4), "CcnK");
  EXPECT_EQ(Number(file, 4, 4, true), file.size() - 8);
  EXPECT_EQ(Text(file, 8, 4), "FxCk");
  EXPECT_EQ(Number(file, 12, 4, true), 1u);
  EXPECT_EQ(Number(file, 16, 4, true), static_cast<uint32_t>(effect.Effect()->uniqueID));
  EXPECT_EQ(Number(file, 20, 4, true), static_cast<uint32_t>(effect.Effect()->version));
  EXPECT_EQ(Number(file, 24, 4, true), static_cast<uint32_t>(count));
  EXPECT_EQ(std::string(Text(file, 28, 28).c_str()), preset.mName);
  for (int i = 0; i < count; ++i) {
    const uint32_t bits = static_cast<uint32_t>(Number(file, 56 + 4 * static_cast<size_t>(i), 4, true));
    float normalized;
    std::memcpy(&normalized, &bits, sizeof normalized);
    effect.SetParameter(i, normalized);
  }
  out.values = ValuesOfState(effect.GetChunk(Vst2Chunk::kProgram));

  effect.SetSampleRate(kRate);
  effect.SetBlockSize(kBlock);
  effect.Resume();
  RenderBlocks(out, [&](float** in, float** o, int frames) { effect.ProcessFloat(in, o, frames); });
  return out;
}

Rendered RenderVst3(const PresetDefinition& preset) {
  Rendered out;
  Vst3Module module;
  Vst3HostApplication application;
  Vst3ComponentHandler handler;
  Vst3Instance instance;
  Steinberg::TUID cid;
  EXPECT_EQ(module.Open(QUILLMERE_VST3_BUNDLE), HostStatus::kOk) << module.Error();
  EXPECT_TRUE(module.FindAudioEffect(cid));
  EXPECT_EQ(instance.Create(module, cid, application, handler), HostStatus::kOk) << instance.Error();
  if (!instance.IsValid()) return out;

  // The header names the class the module makes; the chunk list's one entry is the component state.
  const std::vector<uint8_t> file = ReadFile(PresetFile(preset, "vst3", ".vstpreset"));
  EXPECT_GE(file.size(), 48u);
  if (file.size() < 48) return out;
  EXPECT_EQ(Text(file, 0, 4), "VST3");
  EXPECT_EQ(Number(file, 4, 4, false), 1u);
  std::string classId;
  for (char byte : cid) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(byte));
    classId += hex;
  }
  EXPECT_EQ(Text(file, 8, 32), classId);
  const size_t list = Number(file, 40, 8, false);
  EXPECT_EQ(list + 28, file.size());
  if (list + 28 != file.size()) return out;
  EXPECT_EQ(Text(file, list, 4), "List");
  EXPECT_EQ(Number(file, list + 4, 4, false), 1u);
  EXPECT_EQ(Text(file, list + 8, 4), "Comp");
  const size_t offset = Number(file, list + 12, 8, false);
  const size_t size = Number(file, list + 20, 8, false);
  EXPECT_LE(offset + size, list);
  if (offset + size > list) return out;
  const std::vector<uint8_t> state(file.begin() + static_cast<long>(offset),
                                   file.begin() + static_cast<long>(offset + size));
  // Hosts hand the component state to the component, then to the controller.
  EXPECT_EQ(instance.SetState(state), Steinberg::kResultOk);
  EXPECT_EQ(instance.SetComponentState(state), Steinberg::kResultOk);
  out.values = ValuesOfState(instance.GetState());

  EXPECT_EQ(instance.Start(kRate, kBlock, Steinberg::Vst::kSample32), Steinberg::kResultOk);
  RenderBlocks(out, [&](float** in, float** o, int frames) { instance.ProcessFloat(in, o, frames); });
  return out;
}

Rendered RenderLv2(const PresetDefinition& preset) {
  Rendered out;
  Lv2Host host;
  EXPECT_TRUE(host.LoadBundle(QUILLMERE_LV2_BUNDLE)) << host.Error();
  EXPECT_TRUE(host.Instantiate(kPluginLv2Uri, kRate, {true, kBlock})) << host.Error();
  if (!host.HasInstance()) return out;
  std::string uri;
  for (const auto& found : host.Presets()) {
    if (found.second == preset.mName) uri = found.first;
  }
  EXPECT_NE(uri, "") << "lilv finds no preset labelled " << preset.mName;
  EXPECT_TRUE(host.ApplyPreset(uri)) << host.Error();
  // The control ports are what the plug-in reads its values from.
  for (int i = 0; i < kNumParams; ++i)
    out.values[static_cast<size_t>(i)] = static_cast<double>(host.Control(kLv2ControlPorts[i].mSymbol));

  host.Activate();
  RenderBlocks(out, [&](float** in, float** o, int frames) {
    host.ConnectAudio(in, o);
    host.Run(static_cast<uint32_t>(frames));
  });
  return out;
}

Rendered RenderClap(const PresetDefinition& preset) {
  Rendered out;
  PluginModule module;
  ClapHost host;
  ClapInstance instance;
  EXPECT_EQ(module.Open(QUILLMERE_CLAP_PATH), HostStatus::kOk) << module.Error();
  const auto* entry = static_cast<const clap_plugin_entry_t*>(module.Symbol("clap_entry"));
  EXPECT_EQ(instance.Create(entry, QUILLMERE_CLAP_PATH, host), HostStatus::kOk) << instance.Error();
  if (!instance.IsValid()) return out;
  ClapEventList events;
  for (int i = 0; i < kNumParams; ++i) events.AddParamValue(0, static_cast<clap_id>(i), preset.mValues[i]);
  instance.Flush(events);
  for (int i = 0; i < kNumParams; ++i)
    out.values[static_cast<size_t>(i)] = instance.ParamValue(static_cast<clap_id>(i));

  EXPECT_TRUE(instance.Start(kRate, kBlock));
  RenderBlocks(out, [&](float** in, float** o, int frames) {
    EXPECT_EQ(instance.Process(in, o, static_cast<uint32_t>(frames)), CLAP_PROCESS_CONTINUE);
  });
  return out;
}

// The number of leading frames in which both channels hold the same bits.
size_t SameBitsUpTo(const Rendered& a, const Rendered& b) {
  const size_t frames = std::min(a.left.size(), b.left.size());
  for (size_t i = 0; i < frames; ++i) {
    if (std::memcmp(&a.left[i], &b.left[i], sizeof(float)) != 0 ||
        std::memcmp(&a.right[i], &b.right[i], sizeof(float)) != 0)
      return i;
  }
  return a.left.size() == b.left.size() ? frames : frames + 1;
}

class FactoryPreset : public testing::TestWithParam<int> {};

TEST_P(FactoryPreset, SetsTheTableValuesAndSoundsTheSameInEveryFormat) {
  const PresetDefinition& preset = kPresetTable[GetParam()];
  const Values table = [&] {
    Values values{};
    for (int i = 0; i < kNumParams; ++i) values[static_cast<size_t>(i)] = preset.mValues[i];
    return values;
  }();
  const Rendered vst2 = RenderVst2(preset);
  EXPECT_EQ(vst2.values, table) << "VST 2";
  double loudest = 0.0;
  for (float x : vst2.left) loudest = std::fmax(loudest, std::fabs(static_cast<double>(x)));
  EXPECT_GT(loudest, 0.01) << "the VST 2 output is silent";

  const struct {
    const char* format;
    Rendered rendered;
  } others[] = {{"VST 3", RenderVst3(preset)}, {"LV2", RenderLv2(preset)}, {"CLAP", RenderClap(preset)}};
  for (const auto& other : others) {
    EXPECT_EQ(other.rendered.values, table) << other.format;
    EXPECT_EQ(SameBitsUpTo(other.rendered, vst2), static_cast<size_t>(kFrames))
        << other.format << ": the first frame that differs from VST 2";
  }
}

INSTANTIATE_TEST_SUITE_P(Table, FactoryPreset, testing::Range(0, kNumPresets),
                         [](const testing::TestParamInfo<int>& info) {
                           std::string name;
                           for (const char* c = kPresetTable[info.param].mName; *c; ++c) {
                             if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                           }
                           return name;
                         });

// Every preset has its files and its LV2 description, and nothing else is there to be installed.
TEST(FactoryPresets, EachFormatCarriesExactlyTheTablesPresets) {
  std::set<std::string> names;
  for (const PresetDefinition& preset : kPresetTable) names.insert(preset.mName);

  Lv2Host host;
  ASSERT_TRUE(host.LoadBundle(QUILLMERE_LV2_BUNDLE)) << host.Error();
  ASSERT_TRUE(host.Instantiate(kPluginLv2Uri, kRate, {true, kBlock})) << host.Error();
  std::multiset<std::string> labels;
  for (const auto& found : host.Presets()) labels.insert(found.second);
  EXPECT_EQ(labels, std::multiset<std::string>(names.begin(), names.end()));

  const struct {
    const char* folder;
    const char* suffix;
  } formats[] = {{"vst2", ".fxp"}, {"vst3", ".vstpreset"}};
  for (const auto& format : formats) {
    std::set<std::string> files;
    const std::string folder = std::string(QUILLMERE_PRESET_DIR) + "/" + format.folder;
    DIR* dir = opendir(folder.c_str());
    ASSERT_NE(dir, nullptr) << folder;
    while (const dirent* entry = readdir(dir)) {
      const std::string file = entry->d_name;
      if (file == "." || file == "..") continue;
      const size_t dot = file.rfind('.');
      EXPECT_EQ(file.substr(dot == std::string::npos ? file.size() : dot), format.suffix) << file;
      files.insert(file.substr(0, dot));
    }
    closedir(dir);
    EXPECT_EQ(files, names) << format.folder;
  }
}

}  // namespace
