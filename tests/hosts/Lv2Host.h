// SPDX-License-Identifier: GPL-3.0-or-later
// An LV2 plug-in loaded and driven with lilv the way an LV2 host does it: the host offers the features it is
// told to (none at all, a URI map, block-length options), connects every port to a buffer of its own and runs
// the instance in blocks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class Lv2Host {
 public:
  // What the host offers at instantiation.
  struct Features {
    bool mUridMap = true;     // urid:map and urid:unmap
    int mMaxBlockLength = 0;  // above 0: options with minimum 1, this maximum and nominal length, in frames
  };
  // A host that offers nothing at all, as a minimal command-line host does.
  static Features NoFeatures() { return {false, 0}; }

  Lv2Host();
  ~Lv2Host();
  Lv2Host(const Lv2Host&) = delete;
  Lv2Host& operator=(const Lv2Host&) = delete;

  // Reads one bundle folder (holding manifest.ttl); false when it cannot be read.
  bool LoadBundle(const std::string& bundleFolder);
  // Reads every bundle on the LV2 search path (LV2_PATH, else the system's folders).
  void LoadInstalled();

  // Creates an instance of the plug-in with this URI, connects every port and sets each control input to its
  // default. False, with Error() set, when the plug-in is unknown or refuses to be instantiated.
  bool Instantiate(const std::string& uri, double sampleRate, const Features& features);
  // Cleans the instance up (deactivating it first when it is active); nothing when there is none.
  void Close();
  bool HasInstance() const;
  const std::string& Error() const { return mError; }

  // The instantiated plug-in's presets as URI and label, as lilv finds them.
  std::vector<std::pair<std::string, std::string>> Presets();
  // Loads a preset through lilv's state API and sets the control inputs to its values, as hosts load one.
  // False, with Error() set, when lilv cannot make a state of it.
  bool ApplyPreset(const std::string& presetUri);

  // Ports, by index; -1 for an unknown symbol.
  uint32_t PortCount() const;
  int FindPort(const std::string& symbol) const;
  // Audio ports in index order.
  const std::vector<uint32_t>& AudioInputs() const { return mAudioInputs; }
  const std::vector<uint32_t>& AudioOutputs() const { return mAudioOutputs; }

  // The value a control port holds (read by the plug-in at the next run); the symbol must name a control
  // port.
  void SetControl(const std::string& symbol, float value);
  // The same by port index, which allocates nothing.
  void SetControl(uint32_t port, float value);
  float Control(const std::string& symbol) const;
  // Points a port at data, which may be null, as connect_port does; the host's own buffer for the port is no
  // longer used.
  void ConnectPort(uint32_t port, void* data);
  // Points the audio ports at these buffers, in the order of AudioInputs() and AudioOutputs().
  void ConnectAudio(float* const* inputs, float* const* outputs);

  void Activate();
  void Deactivate();
  bool IsActive() const { return mActive; }
  // One run of nFrames frames; atom ports get an empty input sequence and a fresh output buffer first.
  void Run(uint32_t nFrames);

 private:
  struct World;
  struct UridMap;
  std::unique_ptr<World> mWorld;
  std::unique_ptr<UridMap> mUrids;
  std::string mError;
  bool mActive = false;
  std::vector<uint32_t> mAudioInputs;
  std::vector<uint32_t> mAudioOutputs;
  std::vector<uint32_t> mAtomInputs;
  std::vector<uint32_t> mAtomOutputs;
  std::vector<float> mControlValues;                // one per port; used by control ports
  std::vector<std::vector<uint64_t>> mPortBuffers;  // atom and CV ports, 8-byte aligned
  int32_t mBlockOptionValues[3] = {};               // minimum, maximum, nominal block length
  uint32_t mAtomSequence = 0;                       // URIDs of atom:Sequence and atom:Chunk
  uint32_t mAtomChunk = 0;
};
