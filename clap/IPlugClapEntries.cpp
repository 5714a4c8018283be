// SPDX-License-Identifier: GPL-3.0-or-later
// The functions of the clap_plugin_t record and of its extensions: each finds the instance, forwards, and
// keeps every exception on this side of the interface.
#include <cstring>

#include "clap/IPlugClap.h"
#include "clap/ext/latency.h"
#include "clap/ext/state.h"

namespace {

IPlugClap* PlugOf(const clap_plugin_t* plugin) { return IPlugClap::FromClap(plugin); }

// Runs call on the instance; failure when there is none or the call throws.
template <class Result, class Call>
Result Forward(const clap_plugin_t* plugin, Result failure, Call call) {
  IPlugClap* plug = PlugOf(plugin);
  if (!plug) return failure;
  try {
    return call(plug);
  } catch (...) {
    return failure;
  }
}

template <class Call>
void ForwardVoid(const clap_plugin_t* plugin, Call call) {
  IPlugClap* plug = PlugOf(plugin);
  if (!plug) return;
  try {
    call(plug);
  } catch (...) {
  }
}

bool CLAP_ABI Init(const clap_plugin_t* plugin) {
  return Forward(plugin, false, [](IPlugClap* plug) { return plug->Init(); });
}

void CLAP_ABI Destroy(const clap_plugin_t* plugin) {
  IPlugClap* plug = PlugOf(plugin);
  if (!plug) return;
  // The lock lives inside the object: a call still running on another thread finishes before the object goes.
  IPlugMutexLock lock(plug);
  lock.Release();
  delete plug;
}

bool CLAP_ABI Activate(const clap_plugin_t* plugin, double sampleRate, uint32_t minFrames,
                       uint32_t maxFrames) {
  return Forward(plugin, false,
                 [&](IPlugClap* plug) { return plug->Activate(sampleRate, minFrames, maxFrames); });
}

void CLAP_ABI Deactivate(const clap_plugin_t* plugin) {
  ForwardVoid(plugin, [](IPlugClap* plug) { plug->Deactivate(); });
}

bool CLAP_ABI StartProcessing(const clap_plugin_t* plugin) { return PlugOf(plugin) != nullptr; }

void CLAP_ABI StopProcessing(const clap_plugin_t* /*plugin*/) {}

void CLAP_ABI Reset(const clap_plugin_t* plugin) {
  ForwardVoid(plugin, [](IPlugClap* plug) { plug->Reset(); });
}

clap_process_status CLAP_ABI Process(const clap_plugin_t* plugin, const clap_process_t* process) {
  return Forward(plugin, static_cast<clap_process_status>(CLAP_PROCESS_ERROR),
                 [process](IPlugClap* plug) { return plug->Process(process); });
}

void CLAP_ABI OnMainThread(const clap_plugin_t* /*plugin*/) {}

uint32_t CLAP_ABI AudioPortCount(const clap_plugin_t* plugin, bool isInput) {
  return Forward(plugin, 0u, [isInput](IPlugClap* plug) { return plug->AudioPortCount(isInput); });
}

bool CLAP_ABI AudioPortInfo(const clap_plugin_t* plugin, uint32_t index, bool isInput,
                            clap_audio_port_info_t* info) {
  return Forward(plugin, false, [&](IPlugClap* plug) { return plug->AudioPortInfo(index, isInput, info); });
}

uint32_t CLAP_ABI ParamCount(const clap_plugin_t* plugin) {
  return Forward(plugin, 0u, [](IPlugClap* plug) { return plug->ParamInfoCount(); });
}

bool CLAP_ABI ParamInfo(const clap_plugin_t* plugin, uint32_t index, clap_param_info_t* info) {
  return Forward(plugin, false, [&](IPlugClap* plug) { return plug->ParamInfo(index, info); });
}

bool CLAP_ABI ParamValue(const clap_plugin_t* plugin, clap_id id, double* value) {
  return Forward(plugin, false, [&](IPlugClap* plug) { return plug->ParamValue(id, value); });
}

bool CLAP_ABI ValueToText(const clap_plugin_t* plugin, clap_id id, double value, char* display,
                          uint32_t size) {
  return Forward(plugin, false, [&](IPlugClap* plug) { return plug->ValueToText(id, value, display, size); });
}

bool CLAP_ABI TextToValue(const clap_plugin_t* plugin, clap_id id, const char* display, double* value) {
  return Forward(plugin, false, [&](IPlugClap* plug) { return plug->TextToValue(id, display, value); });
}

void CLAP_ABI Flush(const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t*) {
  ForwardVoid(plugin, [in](IPlugClap* plug) { plug->Flush(in); });
}

bool CLAP_ABI SaveState(const clap_plugin_t* plugin, const clap_ostream_t* stream) {
  return Forward(plugin, false, [stream](IPlugClap* plug) { return plug->SaveToStream(stream); });
}

bool CLAP_ABI LoadState(const clap_plugin_t* plugin, const clap_istream_t* stream) {
  return Forward(plugin, false, [stream](IPlugClap* plug) { return plug->LoadFromStream(stream); });
}

uint32_t CLAP_ABI Latency(const clap_plugin_t* plugin) {
  return Forward(plugin, 0u, [](IPlugClap* plug) { return plug->Latency(); });
}

const clap_plugin_audio_ports_t kAudioPorts = {AudioPortCount, AudioPortInfo};
const clap_plugin_params_t kParams = {ParamCount, ParamInfo, ParamValue, ValueToText, TextToValue, Flush};
const clap_plugin_state_t kState = {SaveState, LoadState};
const clap_plugin_latency_t kLatency = {Latency};

const void* CLAP_ABI Extension(const clap_plugin_t* /*plugin*/, const char* id) {
  if (!id) return nullptr;
  if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &kAudioPorts;
  if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &kParams;
  if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &kState;
  if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &kLatency;
  return nullptr;
}

}  // namespace

void ConnectClapEntries(clap_plugin_t* plugin) {
  plugin->init = Init;
  plugin->destroy = Destroy;
  plugin->activate = Activate;
  plugin->deactivate = Deactivate;
  plugin->start_processing = StartProcessing;
  plugin->stop_processing = StopProcessing;
  plugin->reset = Reset;
  plugin->process = Process;
  plugin->get_extension = Extension;
  plugin->on_main_thread = OnMainThread;
}
