// SPDX-License-Identifier: GPL-3.0-or-later
// What the cross-platform comparisons share: the files a check run left, read back, and renders of the same
// conversation compared sample by sample.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace cross_platform {

// A file's bytes; the calling test fails when it cannot be read.
inline std::vector<unsigned char> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  EXPECT_TRUE(file.good()) << "cannot read " << path;
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A file of raw samples in the machine's order (a partial sample at the end is left out).
template <typename Sample>
std::vector<Sample> ReadSamples(const std::string& path) {
  const std::vector<unsigned char> bytes = ReadFile(path);
  std::vector<Sample> samples(bytes.size() / sizeof(Sample));
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(Sample));
  return samples;
}

// The file name that each run wrote into its folder: not empty, and the same bytes on both systems.
inline void ExpectSameBytes(const std::string& linuxRun, const std::string& windowsRun, const std::string& name) {
  const std::vector<unsigned char> onLinux = ReadFile(linuxRun + "/" + name);
  EXPECT_FALSE(onLinux.empty());
  EXPECT_EQ(ReadFile(windowsRun + "/" + name), onLinux);
}

// Test names from file names: letters and digits kept, everything else as "_".
inline std::string NameOf(const std::string& file) {
  std::string name = file;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

// How the Linux and the Windows render of one file differ.
struct RenderDifference {
  size_t equal = 0;      // samples with the same bits on both
  double largest = 0.0;  // the largest difference, NaN when a difference is not a number
  size_t worst = 0;      // the interleaved sample where it is
  double loudest = 0.0;  // the peak of the Linux render
};

// Compares two renders of the same length sample by sample and prints the outcome under the file's name.
template <typename Sample>
RenderDifference CompareRenders(const char* file, const std::vector<Sample>& onLinux,
                                const std::vector<Sample>& onWindows) {
  RenderDifference d;
  for (size_t i = 0; i < onLinux.size() && i < onWindows.size(); ++i) {
    const double difference = std::fabs(static_cast<double>(onLinux[i]) - static_cast<double>(onWindows[i]));
    if (std::memcmp(&onLinux[i], &onWindows[i], sizeof(Sample)) == 0) ++d.equal;
    if (!(difference <= d.largest)) d.largest = difference, d.worst = i;
    d.loudest = std::fmax(d.loudest, std::fabs(static_cast<double>(onLinux[i])));
  }
  std::printf(
      "%s: %zu of %zu samples bit-identical, largest difference %.3g at interleaved sample %zu, peak %.6f\n",
      file, d.equal, onLinux.size(), d.largest, d.worst, d.loudest);
  return d;
}

}  // namespace cross_platform
