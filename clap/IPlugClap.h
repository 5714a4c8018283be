// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "IPlug/IPlugBase.h"
#include "IPlug/IPlugStateBytes.h"
#include "clap/events.h"
#include "clap/ext/audio-ports.h"
#include "clap/ext/params.h"
#include "clap/host.h"
#include "clap/plugin.h"
#include "clap/process.h"
#include "clap/stream.h"

// IPlugInstanceInfo (IPlug/IPlugFactory.h): what an entry hands MakePlug for a new CLAP instance, the host
// record handed to create_plugin (may be null), through which the instance reaches its host.
using IPlugInstanceInfo = const clap_host_t*;

// The CLAP binding of a plug-in instance: the clap_plugin_t record the host drives, with the audio-ports,
// params, state and latency extensions. Every entry from the host takes the instance lock.
//
// Lifecycle as the VST 2 plug-in's: init announces every parameter (as effOpen); activate(rate, min, max)
// sets the sample rate and then the block size (max frames), each followed by a reset, then resumes;
// deactivate suspends and resets; reset resets; start_processing and stop_processing change nothing.
//
// Parameters are in their own units (Hz, dB, radians) with id = index. A parameter's text is its display
// text, then, when its unit label is not empty, one space and the label: "2000.000 Hz", "-3.500", "1.250
// angular".
class IPlugClap : public IPlugBase {
 public:
  // The largest block size: a host maximum above it is cut to it, and longer blocks go in pieces of it. A
  // multiple of the engine's chunk, so the pieces split the audio where one long call is split anyway.
  static constexpr int kMaxBlockFrames = 65536;

  // The last argument is ignored.
  IPlugClap(IPlugInstanceInfo host, int nParams, const char* channelIOStr, int nPresets,
            const char* effectName, const char* productName, const char* vendorName, int vendorVersion,
            int uniqueId, int vendorId, int latency, bool doesMidi, bool doesChunks, bool isInstrument,
            int reserved);
  ~IPlugClap() override;

  // The record handed to the host: its plugin_data points back here, its desc is what SetDescriptor gave.
  const clap_plugin_t* ClapPlugin() const { return &mPlugin; }
  void SetDescriptor(const clap_plugin_descriptor_t* descriptor) { mPlugin.desc = descriptor; }
  // The instance behind a record made by ClapPlugin(), or none for none.
  static IPlugClap* FromClap(const clap_plugin_t* plugin);

  void HostBeginEdit(int paramIndex) override;
  void HostAutomate(int paramIndex, double normalizedValue) override;
  void HostEndEdit(int paramIndex) override;
  void HostUpdateDisplay() override;
  int HostSamplePosition() override;
  double HostTempo() override;
  void HostTimeSignature(int* numerator, int* denominator) override;
  void HostTransport(ITransportInfo* info) override;
  void ResizeEditor(int width, int height) override;
  bool SendMidiMessage(const IMidiMessage* message) override;

  // What the host's calls do (IPlugClapEntries.cpp forwards them); each takes the instance lock.
  bool Init();
  // False, with nothing changed, for a rate that is not positive and finite or a maximum of 0 frames.
  bool Activate(double sampleRate, uint32_t minFrames, uint32_t maxFrames);
  void Deactivate();
  void Reset();
  clap_process_status Process(const clap_process_t* process);
  // Applies every parameter value event of the list, whatever its time.
  void Flush(const clap_input_events_t* events);

  uint32_t AudioPortCount(bool isInput) const;
  bool AudioPortInfo(uint32_t index, bool isInput, clap_audio_port_info_t* info) const;
  uint32_t ParamInfoCount() const { return static_cast<uint32_t>(ParamCount()); }
  bool ParamInfo(uint32_t index, clap_param_info_t* info);
  bool ParamValue(clap_id id, double* value);
  bool ValueToText(clap_id id, double value, char* display, uint32_t size);
  bool TextToValue(clap_id id, const char* display, double* value);
  // Writes the 48-byte program chunk, the bytes the VST 2 plug-in saves, however few bytes a write takes.
  bool SaveToStream(const clap_ostream_t* stream);
  // Reads until the stream ends, then loads the whole chunk or, answering false, nothing.
  bool LoadFromStream(const clap_istream_t* stream);
  uint32_t Latency() { return static_cast<uint32_t>(LatencySamples()); }

 private:
  // The event as a parameter value this plug-in takes, or none: other spaces and types, short records, bad
  // ids and NaN values are passed over.
  const clap_event_param_value_t* ParamValueEvent(const clap_event_header_t* header) const;
  void ApplyParamValue(const clap_event_param_value_t* event);
  // The frequent call, checked in one go and processed at once; false, with nothing done, for any other.
  bool ProcessStereoCallWithoutChanges(const clap_process_t* process, uint32_t frames);
  // Whether the host's buffers hold every channel in one width; doubles tells which.
  bool BuffersUsable(const clap_process_t* process, bool* doubles) const;
  bool ParamIdValid(clap_id id) const { return id < static_cast<clap_id>(ParamCount()); }
  // The parameter value events of an event list, as a change list for ProcessHostBlockAtChanges.
  struct ChangeEvents;

  const clap_host_t* mHost;
  clap_plugin_t mPlugin;
  // Channel counts, fixed at construction: one port each way holds them all.
  uint32_t mInputs = 0;
  uint32_t mOutputs = 0;
  // Two channels each way: a block without events may take the stereo path of Process.
  bool mStereo = false;
  IPlugStateStream mStateStream;
};

// Points the record's functions at the binding's entries (IPlugClapEntries.cpp).
void ConnectClapEntries(clap_plugin_t* plugin);

// IPlugBinding (IPlug/IPlugFactory.h): the class the effect class derives from when it is built as a CLAP
// plug-in.
using IPlugBinding = IPlugClap;
