// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/hosts/Lv2Host.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/presets/presets.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>

namespace {

// Bytes of each atom port's buffer.
constexpr size_t kAtomBufferBytes = 65536;

// Frees a lilv node when it goes out of scope.
struct NodeHolder {
  LilvNode* mNode;
  explicit NodeHolder(LilvNode* node) : mNode(node) {}
  ~NodeHolder() { lilv_node_free(mNode); }
  NodeHolder(const NodeHolder&) = delete;
  NodeHolder& operator=(const NodeHolder&) = delete;
};

}  // namespace

// URIs to integers and back for the urid features: identifiers start at 1 and never change. Mapping happens
// while the plug-in is instantiated, not in run.
struct Lv2Host::UridMap {
  std::deque<std::string> mUris;  // a deque keeps every string in place, so unmap can hand out its text
  LV2_URID_Map mMap{this, Map};
  LV2_URID_Unmap mUnmap{this, Unmap};

  static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri) {
    auto* self = static_cast<UridMap*>(handle);
    if (!uri) return 0;
    for (size_t i = 0; i < self->mUris.size(); ++i) {
      if (self->mUris[i] == uri) return static_cast<LV2_URID>(i + 1);
    }
    self->mUris.emplace_back(uri);
    return static_cast<LV2_URID>(self->mUris.size());
  }

  static const char* Unmap(LV2_URID_Unmap_Handle handle, LV2_URID urid) {
    auto* self = static_cast<UridMap*>(handle);
    if (urid == 0 || urid > self->mUris.size()) return nullptr;
    return self->mUris[urid - 1].c_str();
  }
};

struct Lv2Host::World {
  LilvWorld* mWorld = lilv_world_new();
  const LilvPlugin* mPlugin = nullptr;
  LilvInstance* mInstance = nullptr;
  LV2_Options_Option mOptions[4] = {};
  LV2_Feature mFeatureRecords[4] = {};
  const LV2_Feature* mFeatures[5] = {};

  ~World() {
    if (mInstance) lilv_instance_free(mInstance);
    lilv_world_free(mWorld);
  }
};

Lv2Host::Lv2Host() : mWorld(new World()), mUrids(new UridMap()) {}

Lv2Host::~Lv2Host() { Close(); }

bool Lv2Host::LoadBundle(const std::string& bundleFolder) {
  const std::string folder =
      bundleFolder.empty() || bundleFolder.back() == '/' ? bundleFolder : bundleFolder + "/";
  NodeHolder uri(lilv_new_file_uri(mWorld->mWorld, nullptr, folder.c_str()));
  if (!uri.mNode) {
    mError = "cannot make a URI of " + folder;
    return false;
  }
  // lilv reports nothing about a bundle it cannot read; a folder without a manifest is refused here.
  std::FILE* manifest = std::fopen((folder + "manifest.ttl").c_str(), "rb");
  if (!manifest) {
    mError = "no manifest.ttl in " + folder;
    return false;
  }
  std::fclose(manifest);
  lilv_world_load_bundle(mWorld->mWorld, uri.mNode);
  return true;
}

void Lv2Host::LoadInstalled() { lilv_world_load_all(mWorld->mWorld); }

bool Lv2Host::HasInstance() const { return mWorld->mInstance != nullptr; }

bool Lv2Host::Instantiate(const std::string& uri, double sampleRate, const Features& features) {
  Close();
  World& w = *mWorld;
  NodeHolder uriNode(lilv_new_uri(w.mWorld, uri.c_str()));
  w.mPlugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(w.mWorld), uriNode.mNode);
  if (!w.mPlugin) {
    mError = "no plug-in " + uri;
    return false;
  }

  int nFeatures = 0;
  if (features.mUridMap) {
    w.mFeatureRecords[nFeatures++] = {LV2_URID__map, &mUrids->mMap};
    w.mFeatureRecords[nFeatures++] = {LV2_URID__unmap, &mUrids->mUnmap};
  }
  if (features.mMaxBlockLength > 0) {
    // Options carry URIDs, so they come with the map.
    const LV2_URID atomInt = UridMap::Map(mUrids.get(), LV2_ATOM__Int);
    mBlockOptionValues[0] = 1;
    mBlockOptionValues[1] = features.mMaxBlockLength;
    mBlockOptionValues[2] = features.mMaxBlockLength;
    const char* keys[3] = {LV2_BUF_SIZE__minBlockLength, LV2_BUF_SIZE__maxBlockLength,
                           LV2_BUF_SIZE__nominalBlockLength};
    for (int i = 0; i < 3; ++i) {
      w.mOptions[i] = {LV2_OPTIONS_INSTANCE, 0,       UridMap::Map(mUrids.get(), keys[i]),
                       sizeof(int32_t),      atomInt, &mBlockOptionValues[i]};
    }
    w.mOptions[3] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    w.mFeatureRecords[nFeatures++] = {LV2_OPTIONS__options, w.mOptions};
    w.mFeatureRecords[nFeatures++] = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
  }
  for (int i = 0; i < nFeatures; ++i) w.mFeatures[i] = &w.mFeatureRecords[i];
  w.mFeatures[nFeatures] = nullptr;

  w.mInstance = lilv_plugin_instantiate(w.mPlugin, sampleRate, w.mFeatures);
  if (!w.mInstance) {
    mError = uri + " refused to be instantiated";
    return false;
  }

  const uint32_t nPorts = lilv_plugin_get_num_ports(w.mPlugin);
  mControlValues.assign(nPorts, 0.0f);
  std::vector<float> defaults(nPorts, NAN);
  lilv_plugin_get_port_ranges_float(w.mPlugin, nullptr, nullptr, defaults.data());
  mPortBuffers.assign(nPorts, {});
  NodeHolder audio(lilv_new_uri(w.mWorld, LILV_URI_AUDIO_PORT));
  NodeHolder control(lilv_new_uri(w.mWorld, LILV_URI_CONTROL_PORT));
  NodeHolder atom(lilv_new_uri(w.mWorld, LILV_URI_ATOM_PORT));
  NodeHolder input(lilv_new_uri(w.mWorld, LILV_URI_INPUT_PORT));
  for (uint32_t i = 0; i < nPorts; ++i) {
    const LilvPort* port = lilv_plugin_get_port_by_index(w.mPlugin, i);
    const bool isInput = lilv_port_is_a(w.mPlugin, port, input.mNode);
    if (lilv_port_is_a(w.mPlugin, port, audio.mNode)) {
      (isInput ? mAudioInputs : mAudioOutputs).push_back(i);
      lilv_instance_connect_port(w.mInstance, i, nullptr);
    } else if (lilv_port_is_a(w.mPlugin, port, control.mNode)) {
      mControlValues[i] = std::isnan(defaults[i]) ? 0.0f : defaults[i];
      lilv_instance_connect_port(w.mInstance, i, &mControlValues[i]);
    } else if (lilv_port_is_a(w.mPlugin, port, atom.mNode)) {
      (isInput ? mAtomInputs : mAtomOutputs).push_back(i);
      mPortBuffers[i].assign(kAtomBufferBytes / sizeof(uint64_t), 0);
      lilv_instance_connect_port(w.mInstance, i, mPortBuffers[i].data());
    } else {
      // Other port kinds (CV) stay unconnected: no plug-in driven here has one.
      lilv_instance_connect_port(w.mInstance, i, nullptr);
    }
  }
  // Atom buffers are typed with URIDs mapped now, not during run.
  mAtomSequence = UridMap::Map(mUrids.get(), LV2_ATOM__Sequence);
  mAtomChunk = UridMap::Map(mUrids.get(), LV2_ATOM__Chunk);
  return true;
}

void Lv2Host::Close() {
  World& w = *mWorld;
  if (!w.mInstance) return;
  if (mActive) Deactivate();
  lilv_instance_free(w.mInstance);
  w.mInstance = nullptr;
  w.mPlugin = nullptr;
  mAudioInputs.clear();
  mAudioOutputs.clear();
  mAtomInputs.clear();
  mAtomOutputs.clear();
  mControlValues.clear();
  mPortBuffers.clear();
}

uint32_t Lv2Host::PortCount() const {
  return mWorld->mPlugin ? lilv_plugin_get_num_ports(mWorld->mPlugin) : 0;
}

int Lv2Host::FindPort(const std::string& symbol) const {
  if (!mWorld->mPlugin) return -1;
  NodeHolder node(lilv_new_string(mWorld->mWorld, symbol.c_str()));
  const LilvPort* port = lilv_plugin_get_port_by_symbol(mWorld->mPlugin, node.mNode);
  return port ? static_cast<int>(lilv_port_get_index(mWorld->mPlugin, port)) : -1;
}

void Lv2Host::SetControl(const std::string& symbol, float value) {
  const int port = FindPort(symbol);
  if (port >= 0) mControlValues[static_cast<size_t>(port)] = value;
}

void Lv2Host::SetControl(uint32_t port, float value) {
  if (port < mControlValues.size()) mControlValues[port] = value;
}

float Lv2Host::Control(const std::string& symbol) const {
  const int port = FindPort(symbol);
  return port >= 0 ? mControlValues[static_cast<size_t>(port)] : NAN;
}

void Lv2Host::ConnectPort(uint32_t port, void* data) {
  lilv_instance_connect_port(mWorld->mInstance, port, data);
}

void Lv2Host::ConnectAudio(float* const* inputs, float* const* outputs) {
  for (size_t i = 0; i < mAudioInputs.size(); ++i) ConnectPort(mAudioInputs[i], inputs[i]);
  for (size_t i = 0; i < mAudioOutputs.size(); ++i) ConnectPort(mAudioOutputs[i], outputs[i]);
}

void Lv2Host::Activate() {
  lilv_instance_activate(mWorld->mInstance);
  mActive = true;
}

void Lv2Host::Deactivate() {
  lilv_instance_deactivate(mWorld->mInstance);
  mActive = false;
}

void Lv2Host::Run(uint32_t nFrames) {
  for (uint32_t port : mAtomInputs) {
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(mPortBuffers[port].data());
    seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
    seq->atom.type = mAtomSequence;
    seq->body.unit = 0;
    seq->body.pad = 0;
  }
  for (uint32_t port : mAtomOutputs) {
    auto* atom = reinterpret_cast<LV2_Atom*>(mPortBuffers[port].data());
    atom->size = static_cast<uint32_t>(kAtomBufferBytes - sizeof(LV2_Atom));
    atom->type = mAtomChunk;
  }
  lilv_instance_run(mWorld->mInstance, nFrames);
}

std::vector<std::pair<std::string, std::string>> Lv2Host::Presets() {
  std::vector<std::pair<std::string, std::string>> found;
  World& w = *mWorld;
  if (!w.mPlugin) return found;
  NodeHolder presetClass(lilv_new_uri(w.mWorld, LV2_PRESETS__Preset));
  NodeHolder label(lilv_new_uri(w.mWorld, LILV_NS_RDFS "label"));
  LilvNodes* presets = lilv_plugin_get_related(w.mPlugin, presetClass.mNode);
  LILV_FOREACH(nodes, i, presets) {
    const LilvNode* preset = lilv_nodes_get(presets, i);
    lilv_world_load_resource(w.mWorld, preset);
    LilvNode* text = lilv_world_get(w.mWorld, preset, label.mNode, nullptr);
    found.emplace_back(lilv_node_as_uri(preset), text ? lilv_node_as_string(text) : "");
    lilv_node_free(text);
  }
  lilv_nodes_free(presets);
  return found;
}

bool Lv2Host::ApplyPreset(const std::string& presetUri) {
  World& w = *mWorld;
  NodeHolder uri(lilv_new_uri(w.mWorld, presetUri.c_str()));
  lilv_world_load_resource(w.mWorld, uri.mNode);
  LilvState* state = lilv_state_new_from_world(w.mWorld, &mUrids->mMap, uri.mNode);
  if (!state) {
    mError = "lilv has no state for " + presetUri;
    return false;
  }
  // Port values come as atoms of the types lilv read them as.
  auto setValue = [](const char* symbol, void* data, const void* value, uint32_t size, uint32_t type) {
    auto* host = static_cast<Lv2Host*>(data);
    const LV2_URID_Map* map = &host->mUrids->mMap;
    float number = NAN;
    if (type == map->map(map->handle, LV2_ATOM__Float) && size == sizeof(float)) {
      number = *static_cast<const float*>(value);
    } else if (type == map->map(map->handle, LV2_ATOM__Double) && size == sizeof(double)) {
      number = static_cast<float>(*static_cast<const double*>(value));
    } else if (type == map->map(map->handle, LV2_ATOM__Int) && size == sizeof(int32_t)) {
      number = static_cast<float>(*static_cast<const int32_t*>(value));
    }
    host->SetControl(symbol, number);
  };
  lilv_state_restore(state, w.mInstance, setValue, this, 0, nullptr);
  lilv_state_free(state);
  return true;
}
