// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/ExportedSymbols.h"

namespace {

TEST(PluginLibrary, ExportsOnlyItsTwoEntryPoints) {
  std::set<std::string> names;
  ASSERT_NO_FATAL_FAILURE(test_support::ListExportedSymbols(QUILLMERE_NM, QUILLMERE_VST2_PATH, &names));
  EXPECT_EQ(names, (std::set<std::string>{"VSTPluginMain", "main"}));
}

}  // namespace
