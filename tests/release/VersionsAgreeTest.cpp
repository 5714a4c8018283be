// SPDX-License-Identifier: GPL-3.0-or-later
// The project version is written once, in CMake; every format, the renderer and the manual page report it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "clap/entry.h"
#include "clap/plugin-factory.h"
#include "host/PluginModule.h"
#include "host/Vst3Host.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "tests/support/Vst2Reference.h"

namespace {

const std::string kVersion = QUILLMERE_VERSION;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Output(const std::string& command) {
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    pclose(pipe);
  }
  return text;
}

TEST(Versions, EveryFormatTheRendererAndTheManualReportTheProjectVersion) {
  // VST 2: the vendor version in its decimal form, major * 10000 + minor * 100 + patch.
  test_support::Vst2Reference vst2(QUILLMERE_VST2_PATH);
  ASSERT_TRUE(vst2.Ok()) << vst2.Problem();
  vst2.Open();
  EXPECT_EQ(vst2.Dispatch(effGetVendorVersion),
            QUILLMERE_VERSION_MAJOR * 10000 + QUILLMERE_VERSION_MINOR * 100 + QUILLMERE_VERSION_PATCH);
  vst2.Close();

  // VST 3: the class version.
  Vst3Module vst3Module;
  ASSERT_EQ(vst3Module.Open(QUILLMERE_VST3_BUNDLE), HostStatus::kOk) << vst3Module.Error();
  Steinberg::PClassInfo2 info;
  ASSERT_EQ(vst3Module.Factory2()->getClassInfo2(0, &info), Steinberg::kResultOk);
  EXPECT_EQ(std::string(info.version), kVersion);

  // CLAP: the descriptor's version.
  PluginModule clapModule;
  ASSERT_EQ(clapModule.Open(QUILLMERE_CLAP_PATH), HostStatus::kOk) << clapModule.Error();
  const auto* entry = static_cast<const clap_plugin_entry_t*>(clapModule.Symbol("clap_entry"));
  ASSERT_NE(entry, nullptr);
  ASSERT_TRUE(entry->init(QUILLMERE_CLAP_PATH));
  const auto* factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(std::string(factory->get_plugin_descriptor(factory, 0)->version), kVersion);
  entry->deinit();

  // LV2: minor and micro version in the generated description.
  const std::string ttl = ReadFile(std::string(QUILLMERE_LV2_BUNDLE) + "/quillmere.ttl");
  std::smatch minor, micro;
  ASSERT_TRUE(std::regex_search(ttl, minor, std::regex("lv2:minorVersion ([0-9]+)")));
  ASSERT_TRUE(std::regex_search(ttl, micro, std::regex("lv2:microVersion ([0-9]+)")));
  EXPECT_EQ(std::stoi(minor[1]), QUILLMERE_VERSION_MINOR);
  EXPECT_EQ(std::stoi(micro[1]), QUILLMERE_VERSION_PATCH);

  // The renderer and its manual page.
  EXPECT_EQ(Output(QUILLMERE_RENDER_EXE " --version"), "quillmere-render " + kVersion + "\n");
  EXPECT_NE(ReadFile(QUILLMERE_MANUAL).find("\"Quillmere " + kVersion + "\""), std::string::npos);
}

}  // namespace
