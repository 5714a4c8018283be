// SPDX-License-Identifier: GPL-3.0-or-later
// The project version is written once, in CMake; every format, the renderer and the manual page report it.
// The plug-in is described once too: every format names it alike, and a format that reports a tail reports
// the effect's one figure.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "clap/entry.h"
#include "clap/plugin-factory.h"
#include "host/PluginModule.h"
#include "tests/hosts/Vst3Host.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "tests/support/Vst2Reference.h"

namespace {

const std::string kVersion = QUILLMERE_VERSION;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The text of the first Turtle statement "predicate "text"" in ttl, or "" when there is none.
std::string TurtleText(const std::string& ttl, const std::string& predicate) {
  std::smatch match;
  return std::regex_search(ttl, match, std::regex(predicate + " \"([^\"]*)\"")) ? match[1].str() : "";
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

// The built CLAP module's entry, initialised, and its plug-in factory; the entry is deinitialised when this
// goes, before the module closes.
struct ClapFactory {
  PluginModule module;
  const clap_plugin_entry_t* entry = nullptr;
  const clap_plugin_factory_t* factory = nullptr;

  // "" when the module opened and gave its factory, else what failed.
  std::string Open() {
    if (module.Open(QUILLMERE_CLAP_PATH) != HostStatus::kOk) return module.Error();
    const auto* exported = static_cast<const clap_plugin_entry_t*>(module.Symbol("clap_entry"));
    if (!exported) return "no clap_entry";
    if (!exported->init(QUILLMERE_CLAP_PATH)) return "clap_entry's init answered false";
    entry = exported;
    factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
    return factory ? "" : "no plug-in factory";
  }
  ~ClapFactory() {
    if (entry) entry->deinit();
  }
};

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
  ClapFactory clapFactory;
  ASSERT_EQ(clapFactory.Open(), "");
  const clap_plugin_factory_t* factory = clapFactory.factory;
  EXPECT_EQ(std::string(factory->get_plugin_descriptor(factory, 0)->version), kVersion);

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

TEST(Identity, EveryFormatNamesThePluginAlikeAndReportsOneTail) {
  // Name and vendor as each format's hosts see them; a VST 2 host asks for vendor and product separately.
  PluginModule vst2Module;
  ASSERT_EQ(vst2Module.Open(QUILLMERE_VST2_PATH), HostStatus::kOk) << vst2Module.Error();
  Vst2HostCallback host;
  Vst2Instance vst2;
  ASSERT_EQ(vst2.Create(FindVst2Entry(vst2Module), host), HostStatus::kOk);
  vst2.Open();
  EXPECT_EQ(vst2.Text(effGetVendorString), "");
  const std::string vst2Vendor = vst2.Text(effGetProductString);

  Vst3Module vst3Module;
  ASSERT_EQ(vst3Module.Open(QUILLMERE_VST3_BUNDLE), HostStatus::kOk) << vst3Module.Error();
  Steinberg::PClassInfo2 info;
  ASSERT_EQ(vst3Module.Factory2()->getClassInfo2(0, &info), Steinberg::kResultOk);
  Steinberg::PFactoryInfo factoryInfo;
  ASSERT_EQ(vst3Module.Factory()->getFactoryInfo(&factoryInfo), Steinberg::kResultOk);

  ClapFactory clapFactory;
  ASSERT_EQ(clapFactory.Open(), "");
  const clap_plugin_factory_t* factory = clapFactory.factory;
  const clap_plugin_descriptor_t* clap = factory->get_plugin_descriptor(factory, 0);
  ASSERT_NE(clap, nullptr);

  const std::string ttl = ReadFile(std::string(QUILLMERE_LV2_BUNDLE) + "/quillmere.ttl");

  struct Named {
    const char* mFormat;
    std::string mName, mVendor;
  } const formats[] = {
      {"VST 2", vst2.Text(effGetEffectName), vst2Vendor},
      {"VST 3 class", info.name, info.vendor},
      {"VST 3 factory", info.name, factoryInfo.vendor},
      {"CLAP", clap->name, clap->vendor},
      {"LV2", TurtleText(ttl, "doap:name"), TurtleText(ttl, "foaf:name")},
  };
  for (const Named& f : formats) {
    EXPECT_EQ(f.mName, "Quillmere") << f.mFormat;
    EXPECT_EQ(f.mVendor, "Quillmere") << f.mFormat;
  }

  // The tail: 0.4 s and 10000 frames, rounded up, where VST 3 asks for it; a VST 2 plug-in answers 0.
  EXPECT_EQ(vst2.Dispatch(effGetTailSize), 0);
  vst2.Close();
  Steinberg::TUID cid;
  ASSERT_TRUE(vst3Module.FindAudioEffect(cid));
  Vst3HostApplication application;
  Vst3ComponentHandler handler;
  Vst3Instance vst3;
  ASSERT_EQ(vst3.Create(vst3Module, cid, application, handler), HostStatus::kOk) << vst3.Error();
  const struct {
    double mRate;
    Steinberg::uint32 mTail;
  } tails[] = {{44100.0, 27640}, {48000.0, 29200}, {22050.5, 18821}, {192000.0, 86800}};
  for (const auto& t : tails) {
    ASSERT_EQ(vst3.Setup(t.mRate, 512, Steinberg::Vst::kSample32), Steinberg::kResultOk);
    EXPECT_EQ(vst3.Processor()->getTailSamples(), t.mTail) << t.mRate << " Hz";
  }
}

}  // namespace
