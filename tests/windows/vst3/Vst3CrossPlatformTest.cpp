// SPDX-License-Identifier: GPL-3.0-or-later
// Compares what the VST 3 check program got from the Linux bundle with what the same source, built for
// Windows, got from the Windows bundle under wine. Both runs happen before these tests (CTest fixtures).
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "tests/windows/CrossPlatformCompare.h"

namespace {

const std::string kLinuxRun = QUILLMERE_LINUX_RUN;
const std::string kWindowsRun = QUILLMERE_WINDOWS_RUN;

using cross_platform::ReadFile;
using cross_platform::ReadSamples;

TEST(Vst3Bundles, ShowTheSameTextsOnBothSystems) {
  const std::vector<unsigned char> onLinux = ReadFile(kLinuxRun + "/texts.txt");
  EXPECT_GT(onLinux.size(), 100u);
  EXPECT_EQ(std::string(onLinux.begin(), onLinux.end()), [] {
    const std::vector<unsigned char> w = ReadFile(kWindowsRun + "/texts.txt");
    return std::string(w.begin(), w.end());
  }());
}

// Each run loaded a state and saved it back the same (else problems.txt says so); the Windows run loaded the
// Linux state. After the same conversation both saved the same bytes.
TEST(Vst3Bundles, SaveTheSameStateAndLoadEachOthers) {
  EXPECT_EQ(ReadFile(kLinuxRun + "/problems.txt").size(), 0u);
  EXPECT_EQ(ReadFile(kWindowsRun + "/problems.txt").size(), 0u);
  EXPECT_EQ(ReadFile(kLinuxRun + "/state.bin").size(), 48u);
  EXPECT_EQ(ReadFile(kLinuxRun + "/state.bin"), ReadFile(kWindowsRun + "/state.bin"));
}

// Windows' pow, sin and cos (the C runtime's) differ from glibc's in the last bit for some arguments: the
// split's filter design (cos, sin of the split, pow of the Q in dB) and the placement gains (cos, sin of the
// angle) may then take a coefficient one unit in the last place apart, and the filters carry that on for a
// while. Everything else is the same arithmetic. So nearly every sample is bit-identical, and the others
// differ by a few units in the last place: of a float at full scale on the 32-bit path, of a double (2^-36 at
// most) on the 64-bit path.
template <typename Sample>
void ExpectClose(const char* file, double tolerance) {
  SCOPED_TRACE(file);
  const std::vector<Sample> onLinux = ReadSamples<Sample>(kLinuxRun + "/" + file);
  const std::vector<Sample> onWindows = ReadSamples<Sample>(kWindowsRun + "/" + file);
  ASSERT_GT(onLinux.size(), 10000u);
  ASSERT_EQ(onWindows.size(), onLinux.size());
  const cross_platform::RenderDifference d = cross_platform::CompareRenders(file, onLinux, onWindows);
  EXPECT_GT(d.loudest, 0.05) << "the render is silent";
  EXPECT_GE(d.equal, onLinux.size() * 9 / 10);
  EXPECT_LE(d.largest, tolerance) << "at interleaved sample " << d.worst;
}

constexpr double kFloatUlps = 4 * 0x1p-24;  // four units in the last place of a float at full scale
constexpr double kDoubleTolerance = 0x1p-36;

TEST(Vst3Bundles, Render32BitAlike) { ExpectClose<float>("float.raw", kFloatUlps); }
TEST(Vst3Bundles, Render64BitAlike) { ExpectClose<double>("double.raw", kDoubleTolerance); }
TEST(Vst3Bundles, RenderFromTheOtherSystemsStateAlike) { ExpectClose<float>("loaded-state.raw", kFloatUlps); }

}  // namespace
