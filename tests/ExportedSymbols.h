// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace test_support {

// The names a shared module exports, as `nm -D --defined-only` lists them; the calling test fails when nm
// cannot be started or does not finish cleanly.
inline void ListExportedSymbols(const std::string& nm, const std::string& module,
                                std::set<std::string>* names) {
  const std::string command = nm + " -D --defined-only \"" + module + "\"";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream fields(line);
    std::string address, kind, name;
    if (fields >> address >> kind >> name) names->insert(name);
  }
  EXPECT_EQ(pclose(pipe), 0);
}

}  // namespace test_support
