// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace {

TEST(PluginLibrary, ExportsOnlyItsTwoEntryPoints) {
  const std::string command =
      std::string(QUILLMERE_NM) + " -D --defined-only \"" + QUILLMERE_PLUGIN_PATH + "\"";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  char line[512];
  while (std::fgets(line, sizeof(line), pipe)) {
    std::istringstream fields(line);
    std::string address, kind, name;
    if (fields >> address >> kind >> name) names.insert(name);
  }
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(names, (std::set<std::string>{"VSTPluginMain", "main"}));
}

}  // namespace
