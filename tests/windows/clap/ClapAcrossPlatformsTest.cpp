// SPDX-License-Identifier: GPL-3.0-or-later
// Compares what the CLAP check got from the Linux plug-in with what the same check, built for Windows, got
// from the Windows plug-in under wine. Both runs happen before these tests (CTest fixtures).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kLinuxRun = QUILLMERE_CLAP_LINUX_RUN;
const std::string kWindowsRun = QUILLMERE_CLAP_WINDOWS_RUN;

std::vector<unsigned char> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  EXPECT_TRUE(file.good()) << "cannot read " << path;
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

template <typename Sample>
std::vector<Sample> ReadSamples(const std::string& path) {
  const std::vector<unsigned char> bytes = ReadFile(path);
  std::vector<Sample> samples(bytes.size() / sizeof(Sample));
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(Sample));
  return samples;
}

class ClapSameBytesAcrossPlatforms : public testing::TestWithParam<const char*> {};

TEST_P(ClapSameBytesAcrossPlatforms, FileIsIdentical) {
  const std::vector<unsigned char> onLinux = ReadFile(kLinuxRun + "/" + GetParam());
  EXPECT_FALSE(onLinux.empty());
  EXPECT_EQ(ReadFile(kWindowsRun + "/" + GetParam()), onLinux);
}

// Descriptor, ports and parameter ranges; texts both ways; the saved state after the same settings and
// events.
INSTANTIATE_TEST_SUITE_P(Files, ClapSameBytesAcrossPlatforms,
                         testing::Values("descriptor.txt", "texts.txt", "state.bin"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (c == '.') c = '_';
                           return name;
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
  double largest = 0.0, loudest = 0.0;
  size_t equal = 0, worst = 0;
  for (size_t i = 0; i < onLinux.size(); ++i) {
    const double difference = std::fabs(static_cast<double>(onLinux[i]) - static_cast<double>(onWindows[i]));
    if (std::memcmp(&onLinux[i], &onWindows[i], sizeof(Sample)) == 0) ++equal;
    if (difference > largest) largest = difference, worst = i;
    loudest = std::fmax(loudest, std::fabs(static_cast<double>(onLinux[i])));
  }
  std::printf(
      "%s: %zu of %zu samples bit-identical, largest difference %.3g at interleaved sample %zu, peak %.6f\n",
      file, equal, onLinux.size(), largest, worst, loudest);
  EXPECT_GT(loudest, 0.01) << "the render is silent";
  EXPECT_LE(largest, bound) << "at interleaved sample " << worst;
}

TEST(ClapRenderAcrossPlatforms, SixtyFourBitAgreesWithinTheLibrariesRounding) {
  ExpectCloseRenders<double>("render-double.raw", 5e-13);
}

TEST(ClapRenderAcrossPlatforms, ThirtyTwoBitAgreesWithinTheLibrariesRounding) {
  ExpectCloseRenders<float>("render-float.raw", std::ldexp(1.0, -23));
}

}  // namespace
