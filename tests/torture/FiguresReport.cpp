// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "tests/torture/TortureHost.h"

namespace {

// Prints what the run put the plug-in through, once all tests have run.
class FiguresReport : public ::testing::Environment {
 public:
  // Without the library no test can run; stop before any of them dereferences a missing instance.
  void SetUp() override {
    const PluginModule& module = torture::ModuleUnderTest();
    if (!module.IsOpen() || FindVst2Entry(module) == nullptr) {
      std::fprintf(stderr, "cannot load the plug-in \"%s\": %s\n", torture::PluginPathUnderTest().c_str(),
                   module.IsOpen() ? "no entry point exported" : module.Error().c_str());
      std::exit(1);
    }
  }

  void TearDown() override {
    const torture::Figures& f = torture::Totals();
    std::printf(
        "torture figures: %ld instances created, %ld opened, %ld blocks (%ld frames), %ld chunks loaded, "
        "%ld host requests\n",
        f.instancesCreated.load(), f.instancesOpened.load(), f.blocksProcessed.load(),
        f.framesProcessed.load(), f.chunksLoaded.load(),
        static_cast<long>(torture::Host().Requests().size()));
  }
};

const ::testing::Environment* const gReport = ::testing::AddGlobalTestEnvironment(new FiguresReport);

}  // namespace
