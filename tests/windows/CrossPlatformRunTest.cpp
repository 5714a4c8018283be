// SPDX-License-Identifier: GPL-3.0-or-later
// Compares what the check host got from the Linux plug-in with what the same host source, built for Windows,
// got from the Windows plug-in under wine. Both runs happen before these tests (CTest fixtures).
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "HostConversation.h"
#include "host/PluginModule.h"
#include "tests/windows/CrossPlatformCompare.h"

namespace {

const std::string kLinuxRun = QUILLMERE_LINUX_RUN;
const std::string kWindowsRun = QUILLMERE_WINDOWS_RUN;

using cross_platform::NameOf;
using cross_platform::ReadFile;

// A render file of either sample size, widened to double.
template <typename Sample>
std::vector<double> ReadSamples(const std::string& path) {
  const std::vector<Sample> samples = cross_platform::ReadSamples<Sample>(path);
  return std::vector<double>(samples.begin(), samples.end());
}

struct RenderCase {
  const char* file;
  bool doubles;
};
void PrintTo(const RenderCase& c, std::ostream* out) { *out << c.file; }

class RenderAcrossPlatforms : public testing::TestWithParam<RenderCase> {};

// The two C libraries' sine and cosine may differ in the last bit; everything else is plain arithmetic.
TEST_P(RenderAcrossPlatforms, AgreesWithinFloatPrecision) {
  const RenderCase& c = GetParam();
  const std::string linuxPath = kLinuxRun + "/" + c.file, windowsPath = kWindowsRun + "/" + c.file;
  const std::vector<double> onLinux =
      c.doubles ? ReadSamples<double>(linuxPath) : ReadSamples<float>(linuxPath);
  const std::vector<double> onWindows =
      c.doubles ? ReadSamples<double>(windowsPath) : ReadSamples<float>(windowsPath);
  ASSERT_EQ(onLinux.size(), 2u * ConversationFrames(kCheckBlocks));
  ASSERT_EQ(onWindows.size(), onLinux.size());
  const cross_platform::RenderDifference d = cross_platform::CompareRenders(c.file, onLinux, onWindows);
  EXPECT_GT(d.loudest, 0.01) << "the render is silent";
  EXPECT_LE(d.largest, std::ldexp(1.0, -21)) << "at interleaved sample " << d.worst;
}

INSTANTIATE_TEST_SUITE_P(Renders, RenderAcrossPlatforms,
                         testing::Values(RenderCase{"render-float.raw", false},
                                         RenderCase{"render-double.raw", true}),
                         [](const testing::TestParamInfo<RenderCase>& info) {
                           return NameOf(info.param.file);
                         });

class SameBytesAcrossPlatforms : public testing::TestWithParam<const char*> {};

TEST_P(SameBytesAcrossPlatforms, FileIsIdentical) {
  cross_platform::ExpectSameBytes(kLinuxRun, kWindowsRun, GetParam());
}

// Chunks, parameter values and parameter texts after the same conversation.
INSTANTIATE_TEST_SUITE_P(Files, SameBytesAcrossPlatforms,
                         testing::Values("program.chunk", "bank.chunk", "parameters.raw", "parameters.txt"),
                         [](const testing::TestParamInfo<const char*>& info) { return NameOf(info.param); });

struct RunCase {
  const char* platform;
  const char* dir;
};
void PrintTo(const RunCase& c, std::ostream* out) { *out << c.platform; }

class TwoThreadsAtOnce : public testing::TestWithParam<RunCase> {};

// Each run made two instances from two threads at the same moment, eight times.
TEST_P(TwoThreadsAtOnce, MakeDistinctInstancesThatRenderAlike) {
  const std::vector<unsigned char> report = ReadFile(std::string(GetParam().dir) + "/threads.txt");
  EXPECT_EQ(std::string(report.begin(), report.end()), "rounds 8 distinct 8 identical 8\n");
}

INSTANTIATE_TEST_SUITE_P(Runs, TwoThreadsAtOnce,
                         testing::Values(RunCase{"Linux", QUILLMERE_LINUX_RUN},
                                         RunCase{"Windows", QUILLMERE_WINDOWS_RUN}),
                         [](const testing::TestParamInfo<RunCase>& info) { return info.param.platform; });

struct LoadedCase {
  const char* loaded;
  const char* original;
};
void PrintTo(const LoadedCase& c, std::ostream* out) { *out << c.loaded; }

class LinuxChunkOnWindows : public testing::TestWithParam<LoadedCase> {};

TEST_P(LinuxChunkOnWindows, LoadsAndSavesBackTheSame) {
  EXPECT_EQ(ReadFile(kWindowsRun + "/" + GetParam().loaded), ReadFile(kLinuxRun + "/" + GetParam().original));
}

INSTANTIATE_TEST_SUITE_P(Files, LinuxChunkOnWindows,
                         testing::Values(LoadedCase{"loaded-program.chunk", "program.chunk"},
                                         LoadedCase{"loaded-parameters.raw", "parameters.raw"},
                                         LoadedCase{"loaded-parameters.txt", "parameters.txt"}),
                         [](const testing::TestParamInfo<LoadedCase>& info) {
                           return NameOf(info.param.original);
                         });

TEST(WindowsChunkOnLinux, LoadsAndSavesBackTheSame) {
  PluginModule module;
  ASSERT_EQ(module.Open(QUILLMERE_LINUX_PLUGIN), HostStatus::kOk) << module.Error();
  CheckInstance instance(FindVst2Entry(module, Vst2EntryName::kVstPluginMain));
  ASSERT_EQ(instance.Problem(), "");
  Vst2Instance& plug = instance.plug;
  plug.Start(kCheckSampleRate, kCheckBlockSize);
  const std::vector<unsigned char> chunk = ReadFile(kWindowsRun + "/program.chunk");
  ASSERT_FALSE(chunk.empty());
  EXPECT_EQ(plug.SetChunk(Vst2Chunk::kProgram, chunk), 1);
  EXPECT_EQ(plug.GetChunk(Vst2Chunk::kProgram), chunk);
  const std::vector<float> parameters = ReadParameters(plug);
  const std::vector<unsigned char> bytes(
      reinterpret_cast<const unsigned char*>(parameters.data()),
      reinterpret_cast<const unsigned char*>(parameters.data() + parameters.size()));
  EXPECT_EQ(bytes, ReadFile(kWindowsRun + "/parameters.raw"));
  const std::vector<unsigned char> texts = ReadFile(kWindowsRun + "/parameters.txt");
  EXPECT_EQ(DescribeParameters(plug), std::string(texts.begin(), texts.end()));
}

}  // namespace
