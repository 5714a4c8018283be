// SPDX-License-Identifier: GPL-3.0-or-later
// One CLAP plug-in instance, made and driven through a module's clap_entry the way a host does it: the entry
// and the factory, the descriptor, the plug-in record and its audio-ports, params, state and latency
// extensions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ClapEventList.h"
#include "ClapHost.h"
#include "clap/entry.h"
#include "clap/ext/audio-ports.h"
#include "clap/ext/latency.h"
#include "clap/ext/params.h"
#include "clap/ext/state.h"
#include "clap/plugin-factory.h"
#include "host/HostStatus.h"

class ClapInstance {
 public:
  ClapInstance() = default;
  ~ClapInstance() { Close(); }
  ClapInstance(const ClapInstance&) = delete;
  ClapInstance& operator=(const ClapInstance&) = delete;

  // Initialises the entry with the module's path, makes the plug-in with the id given (or the factory's
  // first) for host, which must outlive the instance, and initialises it. kNoEntryPoint for a null entry or
  // one that refuses to start or has no plug-in factory; kNoInstance when the factory makes nothing or init
  // fails; Error() tells more.
  HostStatus Create(const clap_plugin_entry_t* entry, const std::string& modulePath, ClapHost& host,
                    const std::string& pluginId = "");
  // Stops and deactivates as needed, destroys the plug-in and deinitialises the entry.
  void Close();

  bool IsValid() const { return mPlugin != nullptr; }
  const std::string& Error() const { return mError; }
  const clap_plugin_entry_t* Entry() const { return mEntry; }
  const clap_plugin_factory_t* Factory() const { return mFactory; }
  const clap_plugin_t* Plugin() const { return mPlugin; }
  // The plug-in's descriptor as the factory lists it.
  const clap_plugin_descriptor_t* Descriptor() const { return mDescriptor; }
  // The extensions; null for one the plug-in does not offer.
  const clap_plugin_audio_ports_t* AudioPorts() const { return mAudioPorts; }
  const clap_plugin_params_t* Params() const { return mParams; }
  const clap_plugin_state_t* State() const { return mState; }
  const clap_plugin_latency_t* Latency() const { return mLatency; }

  bool Activate(double sampleRate, uint32_t minFrames, uint32_t maxFrames);
  void Deactivate();
  bool StartProcessing();
  void StopProcessing();
  void Reset();
  bool IsActive() const { return mActive; }
  bool IsProcessing() const { return mProcessing; }
  // Activates and starts processing, as hosts do before the first block.
  bool Start(double sampleRate, uint32_t maxFrames);

  std::vector<clap_audio_port_info_t> AudioPortInfos(bool isInput);
  std::vector<clap_param_info_t> ParamInfos();
  // The plain value, or NaN when the plug-in gives none.
  double ParamValue(clap_id id);
  // The text the plug-in writes into a buffer of size bytes; false (and "") when it answers false.
  bool ValueText(clap_id id, double value, std::string* text, uint32_t size = CLAP_NAME_SIZE);
  bool TextValue(clap_id id, const std::string& text, double* value);
  void Flush(const ClapEventList& events);

  // One block on the first input and output port, with the channel counts they declare (two when the plug-in
  // declares none) and the events given; the output events the plug-in pushes are counted. Allocates nothing.
  clap_process_status Process(float** inputs, float** outputs, uint32_t frames,
                              const ClapEventList* events = nullptr);
  clap_process_status Process(double** inputs, double** outputs, uint32_t frames,
                              const ClapEventList* events = nullptr);
  long OutputEventCount() const { return mOutputEvents; }

  // State through streams that move at most bytesPerCall bytes per call (0: any number).
  bool SaveState(std::vector<uint8_t>* bytes, size_t bytesPerCall = 0);
  bool LoadState(const std::vector<uint8_t>& bytes, size_t bytesPerCall = 0);
  uint32_t LatencySamples();

 private:
  // One block from and into the buffers of one sample size; those of the other are null.
  clap_process_status ProcessBuffers(float** inputs32, double** inputs64, float** outputs32, double** outputs64,
                                     uint32_t frames, const ClapEventList* events);
  static bool CLAP_ABI PushOutput(const clap_output_events_t* list, const clap_event_header_t* event);
  template <class Extension>
  const Extension* Query(const char* id);

  const clap_plugin_entry_t* mEntry = nullptr;
  bool mEntryStarted = false;
  const clap_plugin_factory_t* mFactory = nullptr;
  const clap_plugin_descriptor_t* mDescriptor = nullptr;
  const clap_plugin_t* mPlugin = nullptr;
  const clap_plugin_audio_ports_t* mAudioPorts = nullptr;
  const clap_plugin_params_t* mParams = nullptr;
  const clap_plugin_state_t* mState = nullptr;
  const clap_plugin_latency_t* mLatency = nullptr;
  bool mActive = false;
  bool mProcessing = false;
  uint32_t mInputChannels = 2;
  uint32_t mOutputChannels = 2;
  int64_t mSteadyTime = 0;
  // The main ports' buffers and the process record, kept from call to call as hosts keep them: a call sets
  // only what changes.
  clap_audio_buffer_t mInput{};
  clap_audio_buffer_t mOutputBuffer{};
  clap_process_t mProcess{};
  long mOutputEvents = 0;
  ClapEventList mNoEvents;
  clap_output_events_t mOutput{this, PushOutput};
  std::string mError;
};
