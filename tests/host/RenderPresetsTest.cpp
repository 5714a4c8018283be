// SPDX-License-Identifier: GPL-3.0-or-later
// quillmere-render with the factory presets: --preset sets the preset's values before any --set, exactly as
// the values given one by one would, and --list-presets shows them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "RenderError.h"
#include "RenderTestSupport.h"
#include "effect/PresetTable.h"
#include "tests/support/Vst2Reference.h"

namespace {

constexpr int kRate = 44100;
constexpr int kFrames = 20000;

using test_support::ExactText;  // every digit a double needs, so the plug-in reads back the same value

class RenderPresets : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Exists(QUILLMERE_PLUGIN)) GTEST_SKIP() << QUILLMERE_PLUGIN << " is not built";
    WriteAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, kRate, 2, TestSignal(kFrames, 2));
  }

  RunResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--plugin", QUILLMERE_PLUGIN, "--force"});
    return RunRenderer(args, dir.Path());
  }

  TempDir dir;
};

TEST_F(RenderPresets, EachPresetRendersAsItsValuesSetOneByOne) {
  for (const PresetDefinition& preset : kPresetTable) {
    const RunResult byPreset = Run({"--preset", preset.mName, "in.wav", "preset.wav"});
    ASSERT_EQ(byPreset.exitCode, 0) << preset.mName << ": " << byPreset.err;
    std::vector<std::string> args;
    for (int i = 0; i < kNumParams; ++i) {
      args.push_back("--set");
      args.push_back(std::string(kParameterTable[i].mName) + "=" + ExactText(preset.mValues[i]));
    }
    args.insert(args.end(), {"in.wav", "values.wav"});
    const RunResult byValues = Run(args);
    ASSERT_EQ(byValues.exitCode, 0) << byValues.err;
    const Audio a = ReadAudio(dir / "preset.wav"), b = ReadAudio(dir / "values.wav");
    ASSERT_EQ(a.samples.size(), static_cast<size_t>(2 * kFrames));
    EXPECT_TRUE(a.samples == b.samples) << preset.mName;
  }
}

TEST_F(RenderPresets, SetsGivenBeforeOrAfterThePresetOverrideIt) {
  const PresetDefinition& preset = kPresetTable[0];
  const std::string lowQ = std::string(kParameterTable[kLowQDb].mName) + "=3.5";
  for (const auto& args :
       {std::vector<std::string>{"--preset", preset.mName, "--set", lowQ, "--list-params"},
        std::vector<std::string>{"--set", lowQ, "--preset", preset.mName, "--list-params"}}) {
    const RunResult run = Run(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("3.500"), std::string::npos) << run.out;
    // The rest are the preset's: its split frequency.
    EXPECT_NE(run.out.find(ExactText(preset.mValues[kSplitHz]) + ".000"), std::string::npos) << run.out;
  }
}

TEST_F(RenderPresets, ListsEveryPresetWithItsValuesWithoutAPlugin) {
  const RunResult run = RunRenderer({"--plugin", "/nonexistent.so", "--list-presets"}, dir.Path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  size_t lines = 0;
  for (char c : run.out) lines += c == '\n';
  EXPECT_EQ(lines, kNumPresets + 1u) << run.out;  // and the heading
  for (const PresetDefinition& preset : kPresetTable) {
    const size_t at = run.out.find(std::string(preset.mName) + " ");
    ASSERT_NE(at, std::string::npos) << preset.mName;
    const std::string line = run.out.substr(at, run.out.find('\n', at) - at);
    // The angle of the high band, the last column, in its shortest form.
    char last[32];
    std::snprintf(last, sizeof last, " %g", preset.mValues[kHighAngle]);
    EXPECT_EQ(line.substr(line.size() - std::string(last).size()), last) << line;
  }
}

TEST_F(RenderPresets, PresetsLoadOnlyIntoTheirOwnPlugin) {
  const RunResult run = RunRenderer(
      {"--plugin", TEST_GAIN_GOOD, "--preset", kPresetTable[0].mName, "in.wav", "out.wav"}, dir.Path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("another effect"), std::string::npos) << run.err;
  EXPECT_FALSE(Exists(dir / "out.wav"));
}

// The README's table and the manual page's list every preset with the table's values, as the renderer prints
// them: the README as "| NAME | V0 | ... | V4 |", the manual page's tbl source as "NAME<tab>V0<tab>...".
TEST(PresetDocuments, ListEveryPresetWithItsValues) {
  const std::string readme = ReadText(std::string(QUILLMERE_SOURCE_DIR) + "/README.md");
  std::string manual = ReadText(std::string(QUILLMERE_SOURCE_DIR) + "/docs/quillmere-render.1.in");
  for (size_t at; (at = manual.find("\\-")) != std::string::npos;) manual.replace(at, 2, "-");
  for (const PresetDefinition& preset : kPresetTable) {
    std::string row = std::string("| ") + preset.mName + " |", line = preset.mName;
    for (double value : preset.mValues) {
      char text[32];
      std::snprintf(text, sizeof text, "%g", value);
      row += std::string(" ") + text + " |";
      line += std::string("\t") + text;
    }
    EXPECT_NE(readme.find(row), std::string::npos) << row;
    EXPECT_NE(manual.find(line + "\n"), std::string::npos) << line;
  }
}

TEST(CommandLinePresets, ReadsThePresetAndRejectsWhatCannotWork) {
  const RenderOptions options = CommandLine::Parse({"--preset", kPresetTable[1].mName, "in.wav", "out.wav"});
  EXPECT_EQ(options.mPreset, kPresetTable[1].mName);
  EXPECT_TRUE(CommandLine::Parse({"--list-presets"}).mListPresets);
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--preset", "No Such Preset"}, "no preset named \"No Such Preset\""},
      {{"--preset"}, "--preset needs a value"},
      {{"--preset", kPresetTable[0].mName, "--load-state", "s.bin"}, "give one of them"},
      {{"--list-presets", "a", "b"}, "--list-presets takes no INPUT or OUTPUT"},
      {{"--list-presets=x"}, "takes no value"},
  };
  ExpectUsageErrors(cases);
}

}  // namespace
