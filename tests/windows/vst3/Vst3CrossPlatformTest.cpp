// SPDX-License-Identifier: GPL-3.0-or-later
// Compares what the VST 3 check program got from the Linux bundle with what the same source, built for
// Windows, got from the Windows bundle under wine. Both runs happen before these tests (CTest fixtures).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kLinuxRun = QUILLMERE_LINUX_RUN;
const std::string kWindowsRun = QUILLMERE_WINDOWS_RUN;

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
  double largest = 0.0, loudest = 0.0;
  size_t equal = 0, worst = 0;
  for (size_t i = 0; i < onLinux.size(); ++i) {
    const double difference = std::fabs(static_cast<double>(onLinux[i]) - static_cast<double>(onWindows[i]));
    if (std::memcmp(&onLinux[i], &onWindows[i], sizeof(Sample)) == 0) ++equal;
    if (!(difference <= largest)) largest = difference, worst = i;
    loudest = std::fmax(loudest, std::fabs(static_cast<double>(onLinux[i])));
  }
  std::printf("%s: %zu of %zu samples bit-identical, largest difference %.3g at sample %zu, peak %.6f\n",
              file, equal, onLinux.size(), largest, worst, loudest);
  EXPECT_GT(loudest, 0.05) << "the render is silent";
  EXPECT_GE(equal, onLinux.size() * 9 / 10);
  EXPECT_LE(largest, tolerance) << "at interleaved sample " << worst;
}

constexpr double kFloatUlps = 4 * 0x1p-24;  // four units in the last place of a float at full scale
constexpr double kDoubleTolerance = 0x1p-36;

TEST(Vst3Bundles, Render32BitAlike) { ExpectClose<float>("float.raw", kFloatUlps); }
TEST(Vst3Bundles, Render64BitAlike) { ExpectClose<double>("double.raw", kDoubleTolerance); }
TEST(Vst3Bundles, RenderFromTheOtherSystemsStateAlike) { ExpectClose<float>("loaded-state.raw", kFloatUlps); }

}  // namespace
