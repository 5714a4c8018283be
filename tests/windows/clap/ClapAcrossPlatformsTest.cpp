// SPDX-License-Identifier: GPL-3.0-or-later
// Compares what the CLAP check got from the Linux plug-in with what the same check, built for Windows, got
// from the Windows plug-in under wine. Both runs happen before these tests (CTest fixtures).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/windows/CrossPlatformCompare.h"

namespace {

const std::string kLinuxRun = QUILLMERE_LINUX_RUN;
const std::string kWindowsRun = QUILLMERE_WINDOWS_RUN;

using cross_platform::ReadFile;
using cross_platform::ReadSamples;

class ClapSameBytesAcrossPlatforms : public testing::TestWithParam<const char*> {};

TEST_P(ClapSameBytesAcrossPlatforms, FileIsIdentical) {
  cross_platform::ExpectSameBytes(kLinuxRun, kWindowsRun, GetParam());
}

// Descriptor, ports and parameter ranges; texts both ways; the saved state after the same settings and
// events.
INSTANTIATE_TEST_SUITE_P(Files, ClapSameBytesAcrossPlatforms,
                         testing::Values("descriptor.txt", "texts.txt", "state.bin"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return cross_platform::NameOf(info.param);
                         });

TEST(ClapLinuxStateOnWindows, LoadsAndSavesBackTheSame) {
  EXPECT_EQ(ReadFile(kWindowsRun + "/loaded-state.bin"), ReadFile(kLinuxRun + "/state.bin"));
}

// The filters are designed with pow, sin and cos, and the placement gains with sin and cos; the two C
// libraries round some of those results differently in the last place, and the difference carries into the
// output. Every other step is plain arithmetic, the same on both. The bound is about 5e-13 of full scale in
// 64 bits (a few thousand units in the last place of the coefficients, after the recursion) and one unit in
// the last place of a float at full scale in 32 bits.
template <typename Sample>
void ExpectCloseRenders(const char* file, double bound) {
  const std::vector<Sample> onLinux = ReadSamples<Sample>(kLinuxRun + "/" + file);
  const std::vector<Sample> onWindows = ReadSamples<Sample>(kWindowsRun + "/" + file);
  ASSERT_FALSE(onLinux.empty());
  ASSERT_EQ(onWindows.size(), onLinux.size());
  const cross_platform::RenderDifference d = cross_platform::CompareRenders(file, onLinux, onWindows);
  EXPECT_GT(d.loudest, 0.01) << "the render is silent";
  EXPECT_LE(d.largest, bound) << "at interleaved sample " << d.worst;
}

TEST(ClapRenderAcrossPlatforms, SixtyFourBitAgreesWithinTheLibrariesRounding) {
  ExpectCloseRenders<double>("render-double.raw", 5e-13);
}

TEST(ClapRenderAcrossPlatforms, ThirtyTwoBitAgreesWithinTheLibrariesRounding) {
  ExpectCloseRenders<float>("render-float.raw", std::ldexp(1.0, -23));
}

}  // namespace
