// SPDX-License-Identifier: GPL-3.0-or-later
// The CLAP plug-in as a host sees it through clap_entry: what it exports and describes, its ports,
// parameters, texts and state, each compared with the VST 2 plug-in where both have the same thing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "effect/ParameterTable.h"
#include "tests/ExportedSymbols.h"
#include "tests/clap/ClapDriver.h"
#include "tests/support/Vst2Reference.h"

namespace {

using test_support::ExactText;
using test_support::Vst2Reference;

// A parameter value in its own unit.
struct Setting {
  clap_id id;
  double value;
};

void AddEvents(ClapEventList& events, const std::vector<Setting>& settings, uint32_t time = 0) {
  for (const Setting& s : settings) events.AddParamValue(time, s.id, s.value);
}

// Gives the VST 2 plug-in each setting by the text of its exact value.
void Apply(Vst2Reference& vst2, const std::vector<Setting>& settings) {
  for (const Setting& s : settings) vst2.SetExactValue(static_cast<int>(s.id), s.value);
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const std::vector<Setting> kSettings = {{0, 2500.5}, {1, -3.25}, {2, 6.5}, {3, 1.75}, {4, -2.5}};

class ClapPlugin : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(clap.Load(), "");
    ASSERT_TRUE(vst2.Ok()) << vst2.Problem();
    vst2.Open();
  }
  // The CLAP plug-in's state bytes; the test fails when it cannot save.
  std::vector<uint8_t> ClapState(size_t bytesPerCall = 0) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(clap.instance.SaveState(&bytes, bytesPerCall));
    return bytes;
  }
  std::vector<uint8_t> Vst2State() { return vst2.GetChunk(Vst2Chunk::kProgram); }
  void SetClap(const std::vector<Setting>& settings) {
    ClapEventList events;
    AddEvents(events, settings);
    clap.instance.Flush(events);
  }

  ClapSubject clap;
  Vst2Reference vst2{QUILLMERE_VST2_PATH};
};

TEST(ClapModule, ExportsOnlyClapEntry) {
  std::set<std::string> names;
  ASSERT_NO_FATAL_FAILURE(test_support::ListExportedSymbols(QUILLMERE_NM, QUILLMERE_CLAP_PATH, &names));
  EXPECT_EQ(names, std::set<std::string>{"clap_entry"});
}

TEST_F(ClapPlugin, FactoryListsOneDescriptorThatNamesThePlugin) {
  const clap_plugin_factory_t* factory = clap.instance.Factory();
  EXPECT_EQ(factory->get_plugin_count(factory), 1u);
  EXPECT_EQ(factory->get_plugin_descriptor(factory, 1), nullptr);
  const clap_plugin_descriptor_t* d = clap.instance.Descriptor();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(clap.instance.Plugin()->desc, d);
  EXPECT_TRUE(clap_version_is_compatible(d->clap_version));
  EXPECT_STREQ(d->id, "org.quillmere.quillmere");
  EXPECT_STREQ(d->name, "Quillmere");
  EXPECT_STREQ(d->vendor, "Quillmere");
  EXPECT_STREQ(d->version, QUILLMERE_VERSION);
  EXPECT_EQ(d->name, vst2.Text(effGetEffectName));
  for (const char* text : {d->url, d->manual_url, d->support_url, d->description}) EXPECT_NE(text, nullptr);
  std::vector<std::string> features;
  for (const char* const* f = d->features; f && *f; ++f) features.push_back(*f);
  EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "stereo"}));
}

TEST_F(ClapPlugin, FactoryAndEntryRefuseWhatTheyDoNotHave) {
  const clap_plugin_factory_t* factory = clap.instance.Factory();
  EXPECT_EQ(factory->create_plugin(factory, clap.host.Record(), "org.quillmere.other"), nullptr);
  EXPECT_EQ(factory->create_plugin(factory, clap.host.Record(), nullptr), nullptr);
  EXPECT_EQ(clap.instance.Entry()->get_factory("clap.preset-discovery-factory"), nullptr);
  EXPECT_EQ(clap.instance.Entry()->get_factory(nullptr), nullptr);
  EXPECT_EQ(clap.instance.Plugin()->get_extension(clap.instance.Plugin(), "clap.gui"), nullptr);
}

TEST_F(ClapPlugin, OneStereoPortEachWayIn64BitsProcessedInPlace) {
  for (bool isInput : {true, false}) {
    SCOPED_TRACE(isInput ? "input" : "output");
    const std::vector<clap_audio_port_info_t> ports = clap.instance.AudioPortInfos(isInput);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].id, 0u);
    EXPECT_STREQ(ports[0].name, isInput ? "Input" : "Output");
    EXPECT_EQ(ports[0].flags, uint32_t{CLAP_AUDIO_PORT_IS_MAIN | CLAP_AUDIO_PORT_SUPPORTS_64BITS |
                                       CLAP_AUDIO_PORT_PREFERS_64BITS});
    EXPECT_EQ(ports[0].channel_count, 2u);
    EXPECT_STREQ(ports[0].port_type, CLAP_PORT_STEREO);
    EXPECT_EQ(ports[0].in_place_pair, 0u);
    clap_audio_port_info_t beyond;
    EXPECT_FALSE(clap.instance.AudioPorts()->get(clap.instance.Plugin(), 1, isInput, &beyond));
  }
  EXPECT_EQ(clap.instance.LatencySamples(), 0u);
}

TEST_F(ClapPlugin, ParametersAreTheTableInTheirOwnUnits) {
  const std::vector<clap_param_info_t> infos = clap.instance.ParamInfos();
  ASSERT_EQ(infos.size(), size_t{kNumParams});
  for (const ParameterDefinition& row : kParameterTable) {
    const clap_param_info_t& info = infos[row.mIndex];
    SCOPED_TRACE(row.mName);
    EXPECT_EQ(info.id, clap_id(row.mIndex));
    EXPECT_EQ(info.flags, clap_param_info_flags{CLAP_PARAM_IS_AUTOMATABLE});
    EXPECT_STREQ(info.name, row.mName);
    EXPECT_EQ(info.name, vst2.ParameterName(row.mIndex));
    EXPECT_STREQ(info.module, "");
    EXPECT_EQ(info.min_value, row.mMin);
    EXPECT_EQ(info.max_value, row.mMax);
    EXPECT_EQ(info.default_value, row.mDefault);
    EXPECT_EQ(clap.instance.ParamValue(info.id), row.mDefault);
  }
  clap_param_info_t beyond;
  EXPECT_FALSE(clap.instance.Params()->get_info(clap.instance.Plugin(), kNumParams, &beyond));
  EXPECT_TRUE(std::isnan(clap.instance.ParamValue(kNumParams)));
}

// The text of a value is the VST 2 plug-in's display text for it, then a space and the label when there is
// one.
TEST_F(ClapPlugin, ValueTextIsTheVst2DisplayAndLabel) {
  const std::vector<double> values[kNumParams] = {
      {100.0, 1000.0, 20000.0, 2000.0, 1234.5678, 100.0004, 19999.9996},
      {-40.0, 0.0, 12.0, -3.5, 0.0005, -0.0004, 11.9999},
      {-40.0, 0.0, 12.0, 6.25, -12.3456},
      {-10.0, 0.0, 10.0, 3.14159, -0.0001},
      {-10.0, 0.0, 10.0, -7.77777, 1.0005}};
  for (int id = 0; id < kNumParams; ++id) {
    for (double value : values[id]) {
      SCOPED_TRACE(testing::Message() << "parameter " << id << " value " << ExactText(value));
      vst2.SetParameterText(id, ExactText(value));
      const std::string label = vst2.ParameterLabel(id);
      const std::string expected = vst2.ParameterDisplay(id) + (label.empty() ? "" : " " + label);
      std::string text;
      EXPECT_TRUE(clap.instance.ValueText(id, value, &text));
      EXPECT_EQ(text, expected);
    }
  }
  std::string text;
  ASSERT_TRUE(clap.instance.ValueText(kSplitHz, 2000.0, &text));
  EXPECT_EQ(text, "2000.000 Hz");
  ASSERT_TRUE(clap.instance.ValueText(kLowQDb, -3.5, &text));
  EXPECT_EQ(text, "-3.500");
  // Out of range: the text of the value the parameter would take. NaN has none.
  ASSERT_TRUE(clap.instance.ValueText(kLowAngle, 1e9, &text));
  EXPECT_EQ(text, "10.000 angular");
  EXPECT_FALSE(clap.instance.ValueText(kLowAngle, kNaN, &text));
  EXPECT_FALSE(clap.instance.ValueText(kNumParams, 0.0, &text));
}

TEST_F(ClapPlugin, ValueTextIsCutToTheHostBuffer) {
  const clap_plugin_params_t* params = clap.instance.Params();
  for (uint32_t size : {1u, 2u, 5u, 11u, 12u}) {
    char display[16];
    std::memset(display, '#', sizeof display);
    ASSERT_TRUE(params->value_to_text(clap.instance.Plugin(), kSplitHz, 2000.0, display, size));
    EXPECT_EQ(std::string(display), std::string("2000.000 Hz").substr(0, size - 1));
    EXPECT_EQ(display[size], '#') << "written beyond " << size << " bytes";
  }
  char display[4] = "abc";
  EXPECT_FALSE(params->value_to_text(clap.instance.Plugin(), kSplitHz, 2000.0, display, 0));
  EXPECT_STREQ(display, "abc");
}

// A typed text gives the value the VST 2 text entry sets, bit for bit (compared through the saved state).
TEST_F(ClapPlugin, TypedTextGivesTheValueTheVst2TextEntrySets) {
  const char* texts[] = {"2000",     "2000.000 Hz",
                         "  -3.5dB", "abc",
                         "1e9",      "-1e9",
                         "0x1p4",    "inf",
                         "-inf",     "",
                         "5,5",      "+7",
                         "1.2e-3",   ".5",
                         "nan",      "1234.56789012345678"};
  for (int id = 0; id < kNumParams; ++id) {
    for (const char* text : texts) {
      SCOPED_TRACE(testing::Message() << "parameter " << id << " text \"" << text << "\"");
      double value = 0.0;
      const bool read = clap.instance.TextValue(id, text, &value);
      EXPECT_EQ(read, std::string(text) != "nan");
      if (read) {
        EXPECT_GE(value, kParameterTable[id].mMin);
        EXPECT_LE(value, kParameterTable[id].mMax);
        SetClap({{clap_id(id), value}});
      }
      vst2.SetParameterText(id, text);
      EXPECT_EQ(ClapState(), Vst2State());
    }
  }
  double value = 0.0;
  EXPECT_FALSE(clap.instance.TextValue(kNumParams, "1", &value));
  EXPECT_FALSE(clap.instance.TextValue(0, "", nullptr));
}

TEST_F(ClapPlugin, HostValuesAreClampedAndNaNIgnored) {
  struct Case {
    double sent;
    double kept;
  } cases[] = {{1e9, 10.0}, {-1e9, -10.0}, {kInf, 10.0}, {-kInf, -10.0},
               {2.5, 2.5},  {kNaN, 2.5},   {-0.0, -0.0}};
  for (const Case& c : cases) {
    SetClap({{kHighAngle, c.sent}});
    EXPECT_EQ(clap.instance.ParamValue(kHighAngle), c.kept) << "sent " << c.sent;
  }
  // Bad ids change nothing.
  const std::vector<uint8_t> before = ClapState();
  SetClap({{kNumParams, 1.0}, {0xFFFFFFFFu, 1.0}});
  EXPECT_EQ(ClapState(), before);
}

// A loaded state shows in the parameters' values. (The state itself is the VST 2 program chunk: the
// cross-format suite holds that.)
TEST_F(ClapPlugin, LoadedStateShowsInTheParameterValues) {
  Apply(vst2, kSettings);
  ASSERT_TRUE(clap.instance.LoadState(Vst2State(), 3));
  for (const Setting& s : kSettings) EXPECT_EQ(clap.instance.ParamValue(s.id), s.value);
}

int64_t CLAP_ABI FailingRead(const clap_istream_t*, void*, uint64_t) { return -1; }
int64_t CLAP_ABI EndlessRead(const clap_istream_t*, void* buffer, uint64_t size) {
  std::memset(buffer, 0, static_cast<size_t>(size));
  return static_cast<int64_t>(size);
}
int64_t CLAP_ABI FailingWrite(const clap_ostream_t*, const void*, uint64_t) { return -1; }
int64_t CLAP_ABI StalledWrite(const clap_ostream_t*, const void*, uint64_t) { return 0; }

TEST_F(ClapPlugin, StateThatCannotBeReadChangesNothing) {
  SetClap(kSettings);
  const std::vector<uint8_t> before = ClapState();
  std::vector<uint8_t> shortChunk = before;
  shortChunk.resize(47);
  // Short chunks, and more than the 64 KiB the plug-in reads.
  const std::vector<std::vector<uint8_t>> bad = {
      {}, {1, 2, 3, 4, 5, 6, 7}, shortChunk, std::vector<uint8_t>(65537, 0)};
  for (const std::vector<uint8_t>& bytes : bad) {
    SCOPED_TRACE(testing::Message() << bytes.size() << " bytes");
    EXPECT_FALSE(clap.instance.LoadState(bytes, 1 + bytes.size() % 5));
    EXPECT_EQ(ClapState(), before);
  }
  const clap_plugin_state_t* state = clap.instance.State();
  const clap_plugin_t* plugin = clap.instance.Plugin();
  const clap_istream_t failing{nullptr, FailingRead}, endless{nullptr, EndlessRead};
  EXPECT_FALSE(state->load(plugin, &failing));
  EXPECT_FALSE(state->load(plugin, &endless));
  EXPECT_FALSE(state->load(plugin, nullptr));
  EXPECT_EQ(ClapState(), before);
  const clap_ostream_t failingOut{nullptr, FailingWrite}, stalled{nullptr, StalledWrite};
  EXPECT_FALSE(state->save(plugin, &failingOut));
  EXPECT_FALSE(state->save(plugin, &stalled));
  EXPECT_FALSE(state->save(plugin, nullptr));
}

}  // namespace
