// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "dsp/ProcessorFeatures.h"

namespace {

// The kernel's own list of the first processor's flags, or "" where there is none.
std::string CpuInfoFlags() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("flags", 0) == 0) return line.substr(line.find(':') + 1) + " ";
  }
  return "";
}

TEST(ProcessorFeatures, Avx2AnswerAgreesWithTheOperatingSystem) {
  const std::string flags = CpuInfoFlags();
  if (flags.empty()) GTEST_SKIP() << "no /proc/cpuinfo flags on this system";
  EXPECT_EQ(ProcessorHasAvx2(), flags.find(" avx2 ") != std::string::npos);
}

}  // namespace
