// SPDX-License-Identifier: GPL-3.0-or-later
#include "clap/IPlugClap.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "IPlug/HostParamValues.h"
#include "effect/EffectEngine.h"
#include "effect/PluginDescription.h"

// Pieces of the largest block, and the calls a block beyond the int range goes in, end where the engine's
// chunks end, so splitting a long block changes nothing the engine computes.
static_assert(IPlugClap::kMaxBlockFrames % EffectEngine::kMaxChunkFrames == 0, "largest block");
static_assert(IPlugBase::kMaxCallFrames % EffectEngine::kMaxChunkFrames == 0, "largest call");

IPlugClap::IPlugClap(IPlugInstanceInfo host, int nParams, const char* channelIOStr, int nPresets,
                     const char* effectName, const char* productName, const char* vendorName,
                     int vendorVersion, int uniqueId, int vendorId, int latency, bool doesMidi,
                     bool doesChunks, bool isInstrument, int /*reserved*/)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, vendorName, vendorVersion, uniqueId,
                vendorId, latency, doesMidi, doesChunks, isInstrument, kApiClap),
      mHost(host),
      mStateStream(kPluginStateSizeCap) {
  std::memset(&mPlugin, 0, sizeof mPlugin);
  mPlugin.plugin_data = this;
  ConnectClapEntries(&mPlugin);
  mInputs = static_cast<uint32_t>(InChannelCount());
  mOutputs = static_cast<uint32_t>(OutChannelCount());
  mStereo = mInputs == 2 && mOutputs == 2;
  SetInputsConnected(0, InChannelCount(), true);
  SetOutputsConnected(0, OutChannelCount(), true);
  ApplyBlockSize(1024);
}

IPlugClap::~IPlugClap() = default;

IPlugClap* IPlugClap::FromClap(const clap_plugin_t* plugin) {
  return plugin ? static_cast<IPlugClap*>(plugin->plugin_data) : nullptr;
}

// No editor and no output events: the plug-in itself never changes a parameter.
void IPlugClap::HostBeginEdit(int /*paramIndex*/) {}
void IPlugClap::HostAutomate(int /*paramIndex*/, double /*normalizedValue*/) {}
void IPlugClap::HostEndEdit(int /*paramIndex*/) {}
void IPlugClap::HostUpdateDisplay() {}
int IPlugClap::HostSamplePosition() { return 0; }
double IPlugClap::HostTempo() { return 0.0; }
void IPlugClap::HostTimeSignature(int* numerator, int* denominator) {
  *numerator = 0;
  *denominator = 0;
}
void IPlugClap::HostTransport(ITransportInfo* /*info*/) {}
void IPlugClap::ResizeEditor(int /*width*/, int /*height*/) {}
bool IPlugClap::SendMidiMessage(const IMidiMessage* /*message*/) { return false; }

bool IPlugClap::Init() {
  IPlugMutexLock lock(this);
  if (mHost && mHost->name) SetHost(mHost->name, 0);
  NotifyAllParamsChanged();
  return true;
}

bool IPlugClap::Activate(double sampleRate, uint32_t /*minFrames*/, uint32_t maxFrames) {
  if (!(sampleRate > 0.0) || !std::isfinite(sampleRate) || maxFrames == 0) return false;
  IPlugMutexLock lock(this);
  ChangeSampleRate(sampleRate);
  ResetProcessing();
  ApplyBlockSize(maxFrames < static_cast<uint32_t>(kMaxBlockFrames) ? static_cast<int>(maxFrames)
                                                                    : kMaxBlockFrames);
  ResetProcessing();
  ActivationChanged(true);
  return true;
}

void IPlugClap::Deactivate() {
  IPlugMutexLock lock(this);
  ActivationChanged(false);
  ResetProcessing();
}

void IPlugClap::Reset() {
  IPlugMutexLock lock(this);
  ResetProcessing();
}

const clap_event_param_value_t* IPlugClap::ParamValueEvent(const clap_event_header_t* header) const {
  if (!header || header->space_id != CLAP_CORE_EVENT_SPACE_ID || header->type != CLAP_EVENT_PARAM_VALUE ||
      header->size < sizeof(clap_event_param_value_t)) {
    return nullptr;
  }
  const clap_event_param_value_t* event = reinterpret_cast<const clap_event_param_value_t*>(header);
  if (!ParamIdValid(event->param_id) || std::isnan(event->value)) return nullptr;
  return event;
}

void IPlugClap::ApplyParamValue(const clap_event_param_value_t* event) {
  ApplyPlainValue(this, static_cast<int>(event->param_id), event->value);
}

void IPlugClap::Flush(const clap_input_events_t* events) {
  if (!events || !events->size || !events->get) return;
  IPlugMutexLock lock(this);
  const uint32_t count = events->size(events);
  for (uint32_t i = 0; i < count; ++i) {
    const clap_event_param_value_t* event = ParamValueEvent(events->get(events, i));
    if (event) ApplyParamValue(event);
  }
}

namespace {

// Whether each of the first n channel pointers is set.
template <class Sample>
bool AllSet(Sample* const* channels, uint32_t n) {
  for (uint32_t c = 0; c < n; ++c)
    if (!channels[c]) return false;
  return true;
}

// Whether the first two channel pointers are set.
template <class Sample>
bool BothSet(Sample* const* channels) {
  return channels[0] && channels[1];
}

}  // namespace

bool IPlugClap::BuffersUsable(const clap_process_t* process, bool* doubles) const {
  if (process->audio_inputs_count < 1 || !process->audio_inputs || process->audio_outputs_count < 1 ||
      !process->audio_outputs) {
    return false;
  }
  const clap_audio_buffer_t& in = process->audio_inputs[0];
  const clap_audio_buffer_t& out = process->audio_outputs[0];
  if (in.channel_count < mInputs || out.channel_count < mOutputs) return false;
  // 64 bits when the host gives both ports in 64 bits, else 32 bits when it gives both in 32.
  *doubles = in.data64 && out.data64;
  if (*doubles) return AllSet(in.data64, mInputs) && AllSet(out.data64, mOutputs);
  return in.data32 && out.data32 && AllSet(in.data32, mInputs) && AllSet(out.data32, mOutputs);
}

struct IPlugClap::ChangeEvents {
  IPlugClap* mPlug;
  const clap_input_events_t* mEvents;
  uint32_t mNext;   // index of the event read ahead
  uint32_t mCount;  // events in the list
  const clap_event_param_value_t* mEvent;

  int64_t Offset() const { return mEvent->header.time; }
  void Apply() { mPlug->ApplyParamValue(mEvent); }
  bool Advance() {
    ++mNext;
    return ReadAhead();
  }
  // Reads the parameter value event at mNext or the first after it; false when the list is used up. Other
  // events make no piece of their own.
  bool ReadAhead() {
    for (; mNext < mCount; ++mNext) {
      mEvent = mPlug->ParamValueEvent(mEvents->get(mEvents, mNext));
      if (mEvent) return true;
    }
    return false;
  }
};

// The frequent call, checked in one go: no events, 1 to INT_MAX frames, a stereo plug-in and both ports with
// their two channels set. False, with nothing done, for any other call.
inline bool IPlugClap::ProcessStereoCallWithoutChanges(const clap_process_t* process, uint32_t frames) {
  const clap_audio_buffer_t* const in = process->audio_inputs;
  const clap_audio_buffer_t* const out = process->audio_outputs;
  if (!mStereo || frames - 1 >= static_cast<uint32_t>(INT_MAX) || process->audio_inputs_count < 1 ||
      process->audio_outputs_count < 1 || !in || !out || in->channel_count < 2 || out->channel_count < 2) {
    return false;
  }
  if (in->data64 && out->data64) {
    if (!BothSet(in->data64) || !BothSet(out->data64)) return false;
    process->audio_outputs[0].constant_mask = 0;
    ProcessHostBlock(in->data64, out->data64, static_cast<int>(frames));
    return true;
  }
  if (!in->data32 || !out->data32 || !BothSet(in->data32) || !BothSet(out->data32)) return false;
  process->audio_outputs[0].constant_mask = 0;
  ProcessHostBlock(in->data32, out->data32, static_cast<int>(frames));
  return true;
}

clap_process_status IPlugClap::Process(const clap_process_t* process) {
  if (!process) return CLAP_PROCESS_ERROR;
  IPlugMutexLock lock(Mutex());
  const clap_input_events_t* events = process->in_events;
  const uint32_t count = events && events->size && events->get ? events->size(events) : 0;
  const uint32_t frames = process->frames_count;
  if (count == 0 && ProcessStereoCallWithoutChanges(process, frames)) return CLAP_PROCESS_CONTINUE;
  bool doubles = false;
  if (frames == 0 || !BuffersUsable(process, &doubles)) {
    // No frames, or no buffers to process: the parameter changes still count.
    Flush(events);
    return frames == 0 ? CLAP_PROCESS_CONTINUE : CLAP_PROCESS_ERROR;
  }
  const clap_audio_buffer_t& input = process->audio_inputs[0];
  clap_audio_buffer_t& output = process->audio_outputs[0];
  output.constant_mask = 0;
  ChangeEvents changes{this, events, 0, count, nullptr};
  const int nLists = changes.ReadAhead() ? 1 : 0;
  if (doubles) {
    ProcessHostBlockAtChanges(input.data64, output.data64, frames, &changes, nLists);
  } else {
    ProcessHostBlockAtChanges(input.data32, output.data32, frames, &changes, nLists);
  }
  return CLAP_PROCESS_CONTINUE;
}
