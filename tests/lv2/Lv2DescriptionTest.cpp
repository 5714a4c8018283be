// SPDX-License-Identifier: GPL-3.0-or-later
// What the bundle tells hosts, read with lilv: the plug-in's identity and every port, with the numbers of the
// parameter table exactly; and the module's exported symbols.
#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <cstdlib>
#include <set>
#include <string>

#include "effect/ParameterTable.h"
#include "tests/ExportedSymbols.h"

namespace {

constexpr const char kUri[] = "urn:quillmere:quillmere";
constexpr const char kLv2[] = "http://lv2plug.in/ns/lv2core#";
constexpr const char kUnits[] = "http://lv2plug.in/ns/extensions/units#";

// A lilv world holding the bundle, with helpers that free every node they make.
class Bundle {
 public:
  Bundle() : mWorld(lilv_world_new()) {
    LilvNode* bundle = lilv_new_file_uri(mWorld, nullptr, (std::string(QUILLMERE_LV2_BUNDLE) + "/").c_str());
    lilv_world_load_bundle(mWorld, bundle);
    lilv_node_free(bundle);
    LilvNode* uri = Uri(kUri);
    mPlugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(mWorld), uri);
    lilv_node_free(uri);
  }
  ~Bundle() { lilv_world_free(mWorld); }

  const LilvPlugin* Plugin() const { return mPlugin; }
  LilvNode* Uri(const std::string& uri) const { return lilv_new_uri(mWorld, uri.c_str()); }

  // True when the statement (subject, predicate, object) is in the bundle.
  bool Holds(const LilvNode* subject, const std::string& predicate, const std::string& objectUri) const {
    LilvNode* p = Uri(predicate);
    LilvNode* o = Uri(objectUri);
    const bool found = lilv_world_ask(mWorld, subject, p, o);
    lilv_node_free(p);
    lilv_node_free(o);
    return found;
  }
  // The text of the one object of (subject, predicate), or "" when there is none.
  std::string Text(const LilvNode* subject, const std::string& predicate, bool* isFloat = nullptr) const {
    LilvNode* p = Uri(predicate);
    LilvNode* value = lilv_world_get(mWorld, subject, p, nullptr);
    lilv_node_free(p);
    std::string text = value ? lilv_node_as_string(value) : "";
    if (isFloat) *isFloat = value && lilv_node_is_float(value);
    lilv_node_free(value);
    return text;
  }
  // The object node of (subject, predicate); the caller frees it.
  LilvNode* Object(const LilvNode* subject, const std::string& predicate) const {
    LilvNode* p = Uri(predicate);
    LilvNode* value = lilv_world_get(mWorld, subject, p, nullptr);
    lilv_node_free(p);
    return value;
  }

 private:
  LilvWorld* mWorld;
  const LilvPlugin* mPlugin = nullptr;
};

TEST(Lv2Description, NamesThePluginItsClassMaintainerLicenceAndVersion) {
  Bundle bundle;
  const LilvPlugin* plugin = bundle.Plugin();
  ASSERT_NE(plugin, nullptr) << "no " << kUri << " in " << QUILLMERE_LV2_BUNDLE;
  const LilvNode* uri = lilv_plugin_get_uri(plugin);
  LilvNode* name = lilv_plugin_get_name(plugin);
  EXPECT_STREQ(lilv_node_as_string(name), "Quillmere");
  lilv_node_free(name);
  LilvNode* author = lilv_plugin_get_author_name(plugin);
  ASSERT_NE(author, nullptr);
  EXPECT_STREQ(lilv_node_as_string(author), "Quillmere");
  lilv_node_free(author);
  const std::string rdfType = "http://www.w3.org/1999/02/22-rdf-syntax-ns#type";
  EXPECT_TRUE(bundle.Holds(uri, rdfType, std::string(kLv2) + "SpatialPlugin"));
  EXPECT_TRUE(
      bundle.Holds(uri, "http://usefulinc.com/ns/doap#license", "http://spdx.org/licenses/GPL-3.0-or-later"));
  EXPECT_EQ(bundle.Text(uri, std::string(kLv2) + "minorVersion"), std::to_string(QUILLMERE_VERSION_MINOR));
  EXPECT_EQ(bundle.Text(uri, std::string(kLv2) + "microVersion"), std::to_string(QUILLMERE_VERSION_PATCH));

  LilvNodes* required = lilv_plugin_get_required_features(plugin);
  EXPECT_EQ(lilv_nodes_size(required), 0u) << "a host that offers nothing must be able to load it";
  lilv_nodes_free(required);
  std::set<std::string> optional;
  LilvNodes* features = lilv_plugin_get_optional_features(plugin);
  LILV_FOREACH(nodes, i, features) optional.insert(lilv_node_as_uri(lilv_nodes_get(features, i)));
  lilv_nodes_free(features);
  EXPECT_EQ(optional,
            (std::set<std::string>{std::string(kLv2) + "hardRTCapable", "http://lv2plug.in/ns/ext/urid#map",
                                   "http://lv2plug.in/ns/ext/options#options"}));
  EXPECT_TRUE(bundle.Holds(uri, "http://lv2plug.in/ns/ext/options#supportedOption",
                           "http://lv2plug.in/ns/ext/buf-size#maxBlockLength"));
}

struct ExpectedPort {
  const char* mSymbol;
  const char* mName;
  const char* mClass;  // AudioPort or ControlPort
  bool mInput;
  int mParam;         // parameter table row of a control port, else -1
  const char* mUnit;  // units: term, "rad" for the plug-in's own radian unit, "" for none
};

// Index order, symbols and units are fixed for good: sessions store control values by symbol.
const ExpectedPort kExpectedPorts[] = {
    {"in_l", "Input 1", "AudioPort", true, -1, ""},
    {"in_r", "Input 2", "AudioPort", true, -1, ""},
    {"out_l", "Output 1", "AudioPort", false, -1, ""},
    {"out_r", "Output 2", "AudioPort", false, -1, ""},
    {"split", kParameterTable[kSplitHz].mName, "ControlPort", true, kSplitHz, "hz"},
    {"low_q", kParameterTable[kLowQDb].mName, "ControlPort", true, kLowQDb, "db"},
    {"high_q", kParameterTable[kHighQDb].mName, "ControlPort", true, kHighQDb, "db"},
    {"low_angle", kParameterTable[kLowAngle].mName, "ControlPort", true, kLowAngle, "rad"},
    {"high_angle", kParameterTable[kHighAngle].mName, "ControlPort", true, kHighAngle, "rad"},
};

TEST(Lv2Description, PortsCarryTheParameterTableExactly) {
  Bundle bundle;
  const LilvPlugin* plugin = bundle.Plugin();
  ASSERT_NE(plugin, nullptr);
  ASSERT_EQ(lilv_plugin_get_num_ports(plugin), sizeof kExpectedPorts / sizeof kExpectedPorts[0]);
  LilvNode* logarithmic = bundle.Uri("http://lv2plug.in/ns/ext/port-props#logarithmic");
  for (uint32_t index = 0; index < lilv_plugin_get_num_ports(plugin); ++index) {
    const ExpectedPort& expected = kExpectedPorts[index];
    SCOPED_TRACE(expected.mSymbol);
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
    EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(plugin, port)), expected.mSymbol);
    LilvNode* name = lilv_port_get_name(plugin, port);
    EXPECT_STREQ(lilv_node_as_string(name), expected.mName);
    lilv_node_free(name);
    LilvNode* kind = bundle.Uri(std::string(kLv2) + expected.mClass);
    LilvNode* direction = bundle.Uri(std::string(kLv2) + (expected.mInput ? "InputPort" : "OutputPort"));
    EXPECT_TRUE(lilv_port_is_a(plugin, port, kind) && lilv_port_is_a(plugin, port, direction));
    lilv_node_free(kind);
    lilv_node_free(direction);
    if (expected.mParam < 0) continue;

    // The numbers are written so that they read back as exactly the table's doubles, and as decimals.
    const ParameterDefinition& row = kParameterTable[expected.mParam];
    LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
    lilv_port_get_range(plugin, port, &def, &min, &max);
    ASSERT_TRUE(def && min && max);
    const struct {
      const LilvNode* mNode;
      double mValue;
    } numbers[] = {{def, row.mDefault}, {min, row.mMin}, {max, row.mMax}};
    for (const auto& n : numbers) {
      EXPECT_TRUE(lilv_node_is_float(n.mNode)) << lilv_node_as_string(n.mNode) << " is not a decimal";
      EXPECT_EQ(std::strtod(lilv_node_as_string(n.mNode), nullptr), n.mValue) << lilv_node_as_string(n.mNode);
    }
    lilv_node_free(def);
    lilv_node_free(min);
    lilv_node_free(max);

    // The split frequency follows the table's exponential curve.
    EXPECT_EQ(lilv_port_has_property(plugin, port, logarithmic), row.mShape == 0.0);
    LilvNode* unitPredicate = bundle.Uri(std::string(kUnits) + "unit");
    LilvNodes* units = lilv_port_get_value(plugin, port, unitPredicate);
    lilv_node_free(unitPredicate);
    ASSERT_EQ(lilv_nodes_size(units), 1u);
    const LilvNode* unit = lilv_nodes_get_first(units);
    if (std::string(expected.mUnit) == "rad") {
      ASSERT_TRUE(lilv_node_is_blank(unit));
      EXPECT_EQ(bundle.Text(unit, std::string(kUnits) + "symbol"), "rad");
      EXPECT_EQ(bundle.Text(unit, std::string(kUnits) + "render"), "%.3f angular");
    } else {
      EXPECT_EQ(std::string(lilv_node_as_uri(unit)), std::string(kUnits) + expected.mUnit);
    }
    lilv_nodes_free(units);
  }
  lilv_node_free(logarithmic);
}

TEST(Lv2Description, ModuleExportsOnlyItsDescriptorFunction) {
  std::set<std::string> names;
  ASSERT_NO_FATAL_FAILURE(test_support::ListExportedSymbols(QUILLMERE_NM, QUILLMERE_LV2_MODULE, &names));
  EXPECT_EQ(names, std::set<std::string>{"lv2_descriptor"});
}

}  // namespace
