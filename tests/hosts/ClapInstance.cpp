// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClapInstance.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Streams over a byte vector that move at most step bytes per call (0: as many as asked).
struct ReadStream {
  const std::vector<uint8_t>* bytes;
  size_t pos;
  size_t step;
  clap_istream_t record;

  static int64_t CLAP_ABI Read(const clap_istream_t* stream, void* buffer, uint64_t size) {
    ReadStream* self = static_cast<ReadStream*>(stream->ctx);
    uint64_t n = self->bytes->size() - self->pos;
    if (self->step > 0 && n > self->step) n = self->step;
    if (n > size) n = size;
    if (n > 0) std::memcpy(buffer, self->bytes->data() + self->pos, static_cast<size_t>(n));
    self->pos += static_cast<size_t>(n);
    return static_cast<int64_t>(n);
  }
};

struct WriteStream {
  std::vector<uint8_t>* bytes;
  size_t step;
  clap_ostream_t record;

  static int64_t CLAP_ABI Write(const clap_ostream_t* stream, const void* buffer, uint64_t size) {
    WriteStream* self = static_cast<WriteStream*>(stream->ctx);
    uint64_t n = size;
    if (self->step > 0 && n > self->step) n = self->step;
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    self->bytes->insert(self->bytes->end(), p, p + n);
    return static_cast<int64_t>(n);
  }
};

}  // namespace

template <class Extension>
const Extension* ClapInstance::Query(const char* id) {
  return mPlugin->get_extension ? static_cast<const Extension*>(mPlugin->get_extension(mPlugin, id))
                                : nullptr;
}

HostStatus ClapInstance::Create(const clap_plugin_entry_t* entry, const std::string& modulePath,
                                ClapHost& host, const std::string& pluginId) {
  Close();
  mError.clear();
  if (!entry || !entry->init || !entry->get_factory) {
    mError = "no clap_entry, or one without init or get_factory";
    return HostStatus::kNoEntryPoint;
  }
  if (!clap_version_is_compatible(entry->clap_version)) {
    mError = "clap_entry is of an incompatible CLAP version";
    return HostStatus::kNoEntryPoint;
  }
  mEntry = entry;
  if (!entry->init(modulePath.c_str())) {
    mError = "clap_entry.init answered false";
    mEntry = nullptr;
    return HostStatus::kNoEntryPoint;
  }
  mEntryStarted = true;
  mFactory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
  if (!mFactory || !mFactory->get_plugin_count || !mFactory->get_plugin_descriptor ||
      !mFactory->create_plugin) {
    mError = "the module has no complete plug-in factory";
    Close();
    return HostStatus::kNoEntryPoint;
  }
  const uint32_t count = mFactory->get_plugin_count(mFactory);
  for (uint32_t i = 0; i < count && !mDescriptor; ++i) {
    const clap_plugin_descriptor_t* descriptor = mFactory->get_plugin_descriptor(mFactory, i);
    if (descriptor && descriptor->id && (pluginId.empty() || pluginId == descriptor->id))
      mDescriptor = descriptor;
  }
  if (!mDescriptor) {
    mError = pluginId.empty() ? "the factory lists no plug-in" : "the factory lists no plug-in " + pluginId;
    Close();
    return HostStatus::kNoInstance;
  }
  mPlugin = mFactory->create_plugin(mFactory, host.Record(), mDescriptor->id);
  if (!mPlugin) {
    mError = std::string("create_plugin made nothing for ") + mDescriptor->id;
    Close();
    return HostStatus::kNoInstance;
  }
  if (!mPlugin->init || !mPlugin->init(mPlugin)) {
    mError = "the plug-in's init answered false";
    Close();
    return HostStatus::kNoInstance;
  }
  mAudioPorts = Query<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS);
  mParams = Query<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  mState = Query<clap_plugin_state_t>(CLAP_EXT_STATE);
  mLatency = Query<clap_plugin_latency_t>(CLAP_EXT_LATENCY);
  const std::vector<clap_audio_port_info_t> inputs = AudioPortInfos(true), outputs = AudioPortInfos(false);
  mInputChannels = inputs.empty() ? 2 : inputs[0].channel_count;
  mOutputChannels = outputs.empty() ? 2 : outputs[0].channel_count;
  // What stays the same from block to block.
  mInput = clap_audio_buffer_t{};
  mInput.channel_count = mInputChannels;
  mOutputBuffer = clap_audio_buffer_t{};
  mOutputBuffer.channel_count = mOutputChannels;
  mProcess = clap_process_t{};
  mProcess.transport = nullptr;
  mProcess.audio_inputs = &mInput;
  mProcess.audio_outputs = &mOutputBuffer;
  mProcess.audio_inputs_count = 1;
  mProcess.audio_outputs_count = 1;
  mProcess.out_events = &mOutput;
  return HostStatus::kOk;
}

void ClapInstance::Close() {
  if (mPlugin) {
    if (mProcessing) StopProcessing();
    if (mActive) Deactivate();
    if (mPlugin->destroy) mPlugin->destroy(mPlugin);
  }
  if (mEntry && mEntryStarted && mEntry->deinit) mEntry->deinit();
  mEntry = nullptr;
  mEntryStarted = false;
  mFactory = nullptr;
  mDescriptor = nullptr;
  mPlugin = nullptr;
  mAudioPorts = nullptr;
  mParams = nullptr;
  mState = nullptr;
  mLatency = nullptr;
  mInputChannels = mOutputChannels = 2;
  mActive = mProcessing = false;
}

bool ClapInstance::Activate(double sampleRate, uint32_t minFrames, uint32_t maxFrames) {
  const bool activated = mPlugin->activate(mPlugin, sampleRate, minFrames, maxFrames);
  mActive = mActive || activated;
  return activated;
}

void ClapInstance::Deactivate() {
  mPlugin->deactivate(mPlugin);
  mActive = false;
}

bool ClapInstance::StartProcessing() {
  mProcessing = mPlugin->start_processing(mPlugin);
  return mProcessing;
}

void ClapInstance::StopProcessing() {
  mPlugin->stop_processing(mPlugin);
  mProcessing = false;
}

void ClapInstance::Reset() { mPlugin->reset(mPlugin); }

bool ClapInstance::Start(double sampleRate, uint32_t maxFrames) {
  return Activate(sampleRate, 1, maxFrames) && StartProcessing();
}

std::vector<clap_audio_port_info_t> ClapInstance::AudioPortInfos(bool isInput) {
  std::vector<clap_audio_port_info_t> infos;
  if (!mAudioPorts) return infos;
  const uint32_t count = mAudioPorts->count(mPlugin, isInput);
  for (uint32_t i = 0; i < count; ++i) {
    clap_audio_port_info_t info;
    std::memset(&info, 0, sizeof info);
    if (mAudioPorts->get(mPlugin, i, isInput, &info)) infos.push_back(info);
  }
  return infos;
}

std::vector<clap_param_info_t> ClapInstance::ParamInfos() {
  std::vector<clap_param_info_t> infos;
  if (!mParams) return infos;
  const uint32_t count = mParams->count(mPlugin);
  for (uint32_t i = 0; i < count; ++i) {
    clap_param_info_t info;
    std::memset(&info, 0, sizeof info);
    if (mParams->get_info(mPlugin, i, &info)) infos.push_back(info);
  }
  return infos;
}

double ClapInstance::ParamValue(clap_id id) {
  double value = 0.0;
  if (!mParams || !mParams->get_value(mPlugin, id, &value)) return std::numeric_limits<double>::quiet_NaN();
  return value;
}

bool ClapInstance::ValueText(clap_id id, double value, std::string* text, uint32_t size) {
  text->clear();
  if (!mParams) return false;
  std::vector<char> buffer(size + 1, '\0');
  if (!mParams->value_to_text(mPlugin, id, value, buffer.data(), size)) return false;
  *text = buffer.data();
  return true;
}

bool ClapInstance::TextValue(clap_id id, const std::string& text, double* value) {
  return mParams && mParams->text_to_value(mPlugin, id, text.c_str(), value);
}

void ClapInstance::Flush(const ClapEventList& events) {
  if (mParams) mParams->flush(mPlugin, events.Input(), &mOutput);
}

bool CLAP_ABI ClapInstance::PushOutput(const clap_output_events_t* list,
                                       const clap_event_header_t* /*event*/) {
  ++static_cast<ClapInstance*>(list->ctx)->mOutputEvents;
  return true;
}

// The process record keeps what Create set; a block sets only what changes.
inline clap_process_status ClapInstance::ProcessBuffers(float** inputs32, double** inputs64, float** outputs32,
                                                       double** outputs64, uint32_t frames,
                                                       const ClapEventList* events) {
  mInput.data32 = inputs32;
  mInput.data64 = inputs64;
  mOutputBuffer.data32 = outputs32;
  mOutputBuffer.data64 = outputs64;
  mProcess.steady_time = mSteadyTime;
  mProcess.frames_count = frames;
  mProcess.in_events = (events ? events : &mNoEvents)->Input();
  mSteadyTime += frames;
  return mPlugin->process(mPlugin, &mProcess);
}

clap_process_status ClapInstance::Process(float** inputs, float** outputs, uint32_t frames,
                                          const ClapEventList* events) {
  return ProcessBuffers(inputs, nullptr, outputs, nullptr, frames, events);
}

clap_process_status ClapInstance::Process(double** inputs, double** outputs, uint32_t frames,
                                          const ClapEventList* events) {
  return ProcessBuffers(nullptr, inputs, nullptr, outputs, frames, events);
}

bool ClapInstance::SaveState(std::vector<uint8_t>* bytes, size_t bytesPerCall) {
  bytes->clear();
  if (!mState) return false;
  WriteStream stream{bytes, bytesPerCall, {}};
  stream.record = {&stream, WriteStream::Write};
  return mState->save(mPlugin, &stream.record);
}

bool ClapInstance::LoadState(const std::vector<uint8_t>& bytes, size_t bytesPerCall) {
  if (!mState) return false;
  ReadStream stream{&bytes, 0, bytesPerCall, {}};
  stream.record = {&stream, ReadStream::Read};
  return mState->load(mPlugin, &stream.record);
}

uint32_t ClapInstance::LatencySamples() { return mLatency ? mLatency->get(mPlugin) : 0; }
