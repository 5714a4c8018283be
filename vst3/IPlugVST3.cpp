// SPDX-License-Identifier: GPL-3.0-or-later
#include "vst3/IPlugVST3.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "IPlug/HostParamValues.h"
#include "IPlug/IPlugStateBytes.h"
#include "effect/PluginDescription.h"
#include "pluginterfaces/vst/ivsthostapplication.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "pluginterfaces/vst/ivstunits.h"
#include "vst3/Vst3Text.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// Display texts are cut where the VST 2 plug-in cuts them: 31 characters.
constexpr int kDisplayTextSize = 32;
// Parameter queues a process call follows; a host sends one per changed parameter, so more than this many
// with known IDs can only be repeats, and those beyond are ignored.
constexpr int kMaxQueues = 32;

// A parameter defined like source, holding source's value: the controller's view of it, or a scratch copy
// for working out what a value would become.
void DefineLike(IPlugParam* target, const IPlugParam& source) {
  target->DefineContinuous(source.Name(), source.DefaultValue(), source.Min(), source.Max(), source.Step(),
                           source.UnitLabel(), source.Shape());
  target->SetKind(source.Kind());
  target->SetClamped(source.Value());
}

// One parameter queue of a process call as a change list, with its next point read ahead.
struct PointCursor {
  IPlugBase* mPlug;
  IParamValueQueue* mQueue;
  int32 mNext;   // index of the point read ahead
  int32 mCount;  // points in the queue
  int mIndex;    // the parameter
  int32 mOffset;
  ParamValue mValue;

  int64_t Offset() const { return mOffset; }
  void Apply() { ApplyHostNormalizedValue(mPlug, mIndex, mValue); }
  bool Advance() {
    ++mNext;
    return ReadAhead();
  }
  // Reads the point at mNext or, when the host cannot give that one or gives no value, the first after it
  // that is usable; false when the queue is used up. Skipped points make no piece of their own.
  bool ReadAhead() {
    for (; mNext < mCount; ++mNext) {
      double normalized;
      if (mQueue->getPoint(mNext, mOffset, mValue) == kResultOk && ReadHostNormalized(mValue, &normalized))
        return true;
    }
    return false;
  }
};

// The queues of the parameters this plug-in has, in the host's order.
int CollectQueues(IPlugBase* plug, IParameterChanges* changes, PointCursor* cursors) {
  int n = 0;
  const int32 nQueues = changes->getParameterCount();
  for (int32 q = 0; q < nQueues && n < kMaxQueues; ++q) {
    IParamValueQueue* queue = changes->getParameterData(q);
    if (!queue) continue;
    const ParamID id = queue->getParameterId();
    if (id >= static_cast<ParamID>(plug->ParamCount())) continue;
    PointCursor& cursor = cursors[n];
    cursor.mPlug = plug;
    cursor.mQueue = queue;
    cursor.mNext = 0;
    cursor.mCount = queue->getPointCount();
    cursor.mIndex = static_cast<int>(id);
    if (cursor.ReadAhead()) ++n;
  }
  return n;
}

// The first bus's channel array when it holds two set channels, else null.
template <class Sample>
Sample** StereoChannels(const AudioBusBuffers* buses, int32 nBuses);

template <>
float** StereoChannels<float>(const AudioBusBuffers* buses, int32 nBuses) {
  if (!buses || nBuses < 1 || buses[0].numChannels < 2) return nullptr;
  float** channels = buses[0].channelBuffers32;
  return channels && channels[0] && channels[1] ? channels : nullptr;
}

template <>
double** StereoChannels<double>(const AudioBusBuffers* buses, int32 nBuses) {
  if (!buses || nBuses < 1 || buses[0].numChannels < 2) return nullptr;
  double** channels = buses[0].channelBuffers64;
  return channels && channels[0] && channels[1] ? channels : nullptr;
}

float* const* ChannelArray(const AudioBusBuffers& bus, float*) { return bus.channelBuffers32; }
double* const* ChannelArray(const AudioBusBuffers& bus, double*) { return bus.channelBuffers64; }

// Zeroes the first channels of an output bus that cannot be processed (at most two, all the plug-in has).
template <class Sample>
void SilenceOutputs(const AudioBusBuffers* buses, int32 nBuses, int nFrames) {
  if (!buses || nBuses < 1 || nFrames <= 0) return;
  Sample* const* channels = ChannelArray(buses[0], static_cast<Sample*>(nullptr));
  if (!channels) return;
  const int n = buses[0].numChannels < 2 ? buses[0].numChannels : 2;
  for (int c = 0; c < n; ++c) {
    if (channels[c]) std::memset(channels[c], 0, sizeof(Sample) * static_cast<size_t>(nFrames));
  }
}

}  // namespace

IPlugVST3::IPlugVST3(IPlugInstanceInfo /*info*/, int nParams, const char* channelIOStr, int nPresets,
                     const char* effectName, const char* productName, const char* vendorName,
                     int vendorVersion, int uniqueId, int vendorId, int latency, bool doesMidi,
                     bool doesChunks, bool isInstrument, int /*reserved*/)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, vendorName, vendorVersion, uniqueId,
                vendorId, latency, doesMidi, doesChunks, isInstrument, kApiVst3),
      mStateStream(kPluginStateSizeCap) {
  SetInputsConnected(0, InChannelCount(), true);
  SetOutputsConnected(0, OutChannelCount(), true);
  ApplyBlockSize(1024);
}

IPlugVST3::~IPlugVST3() {
  if (mHandler) mHandler->release();
  if (mHostContext) mHostContext->release();
}

void IPlugVST3::PrepareController() {
  IPlugMutexLock lock(this);
  const int n = ParamCount();
  mControllerParams.reset(new IPlugParam[static_cast<size_t>(n)]);
  for (int i = 0; i < n; ++i) DefineLike(&mControllerParams[static_cast<size_t>(i)], *Param(i));
}

void IPlugVST3::HostBeginEdit(int paramIndex) {
  if (mHandler) mHandler->beginEdit(static_cast<ParamID>(paramIndex));
}

void IPlugVST3::HostAutomate(int paramIndex, double normalizedValue) {
  // The effect changed a parameter itself: the controller's view follows, and the host hears of it.
  if (IsParamId(static_cast<ParamID>(paramIndex)) && mControllerParams) {
    mControllerParams[static_cast<size_t>(paramIndex)].SetFromNormalized(normalizedValue);
  }
  if (mHandler) mHandler->performEdit(static_cast<ParamID>(paramIndex), normalizedValue);
}

void IPlugVST3::HostEndEdit(int paramIndex) {
  if (mHandler) mHandler->endEdit(static_cast<ParamID>(paramIndex));
}

void IPlugVST3::HostUpdateDisplay() {
  if (mHandler) mHandler->restartComponent(kParamValuesChanged);
}

bool IPlugVST3::IsOfflineRender() { return mProcessMode == kOffline; }

int IPlugVST3::HostSamplePosition() {
  if (!mContext || !(mContext->projectTimeSamples >= 0)) return 0;
  if (mContext->projectTimeSamples >= INT_MAX) return INT_MAX;
  return static_cast<int>(mContext->projectTimeSamples);
}

double IPlugVST3::HostTempo() {
  if (mContext && (mContext->state & ProcessContext::kTempoValid) && mContext->tempo >= 0.0)
    return mContext->tempo;
  return 0.0;
}

void IPlugVST3::HostTimeSignature(int* numerator, int* denominator) {
  *numerator = 0;
  *denominator = 0;
  if (mContext && (mContext->state & ProcessContext::kTimeSigValid) && mContext->timeSigNumerator >= 0 &&
      mContext->timeSigDenominator >= 0) {
    *numerator = mContext->timeSigNumerator;
    *denominator = mContext->timeSigDenominator;
  }
}

void IPlugVST3::HostTransport(ITransportInfo* info) {
  if (!mContext) return;
  const ProcessContext& c = *mContext;
  info->mSamplePosition = static_cast<double>(c.projectTimeSamples);
  if ((c.state & ProcessContext::kProjectTimeMusicValid) && c.projectTimeMusic >= 0.0) {
    info->mQuarterNotePosition = c.projectTimeMusic;
  }
  if ((c.state & ProcessContext::kTempoValid) && c.tempo > 0.0) info->mBeatsPerMinute = c.tempo;
  if ((c.state & ProcessContext::kBarPositionValid) && c.barPositionMusic >= 0.0) {
    info->mBarStartPosition = c.barPositionMusic;
  }
  if ((c.state & ProcessContext::kCycleValid) && c.cycleStartMusic >= 0.0 && c.cycleEndMusic >= 0.0) {
    info->mLoopStart = c.cycleStartMusic;
    info->mLoopEnd = c.cycleEndMusic;
  }
  if ((c.state & ProcessContext::kTimeSigValid) && c.timeSigNumerator > 0 && c.timeSigDenominator > 0) {
    info->mTimeSigTop = c.timeSigNumerator;
    info->mTimeSigBottom = c.timeSigDenominator;
  }
  info->mIsPlaying = (c.state & ProcessContext::kPlaying) != 0;
  info->mIsLooping = (c.state & ProcessContext::kCycleActive) != 0;
}

// The plug-in has no editor and no event buses.
void IPlugVST3::ResizeEditor(int /*width*/, int /*height*/) {}

bool IPlugVST3::SendMidiMessage(const IMidiMessage* /*message*/) { return false; }

void IPlugVST3::Connect(FUnknown* hostContext) {
  IPlugMutexLock lock(this);
  // A second initialize, as a host makes for the controller side of this object, has nothing new to tell.
  if (mConnected) return;
  mConnected = true;
  if (hostContext) {
    mHostContext = hostContext;
    mHostContext->addRef();
    IHostApplication* application = nullptr;
    if (hostContext->queryInterface(IHostApplication_iid, reinterpret_cast<void**>(&application)) ==
            kResultOk &&
        application) {
      String128 name = {};
      char product[kHostProductTextSize] = {};
      if (application->getName(name) == kResultOk) CopyUtf16ToUtf8(product, sizeof product, name, 128);
      application->release();
      SetHost(product, 0);
    }
  }
  PrepareForHost();
  NotifyAllParamsChanged();
}

void IPlugVST3::Disconnect() {
  IPlugMutexLock lock(this);
  mConnected = false;
  if (mHandler) {
    mHandler->release();
    mHandler = nullptr;
  }
  if (mHostContext) {
    mHostContext->release();
    mHostContext = nullptr;
  }
}

bool IPlugVST3::SetupProcessing(const ProcessSetup& setup) {
  if (setup.symbolicSampleSize != kSample32 && setup.symbolicSampleSize != kSample64) return false;
  if (!(setup.sampleRate > 0.0) || !std::isfinite(setup.sampleRate) || setup.maxSamplesPerBlock < 1)
    return false;
  IPlugMutexLock lock(this);
  mProcessMode = setup.processMode;
  ChangeSampleRate(setup.sampleRate);
  ResetProcessing();
  ApplyBlockSize(setup.maxSamplesPerBlock);
  ResetProcessing();
  return true;
}

void IPlugVST3::SetActive(bool active) {
  IPlugMutexLock lock(this);
  if (active) {
    ActivationChanged(true);
  } else {
    ActivationChanged(false);
    ResetProcessing();
  }
}

int IPlugVST3::TailFrames() const { return PluginTailFrames(SampleRate()); }

// Without outputs (inputs and outputs null) the points are applied and nothing is processed.
template <class Sample>
inline void IPlugVST3::ProcessBuses(ProcessData& data, Sample** inputs, Sample** outputs) {
  IParameterChanges* changes = data.inputParameterChanges;
  if (!changes || changes->getParameterCount() <= 0) {
    // No points: the whole block at once, as most calls come.
    if (outputs && data.numSamples > 0) ProcessHostBlock(inputs, outputs, data.numSamples);
    return;
  }
  const uint32_t nFrames = outputs && data.numSamples > 0 ? static_cast<uint32_t>(data.numSamples) : 0;
  PointCursor cursors[kMaxQueues];
  const int nCursors = CollectQueues(this, changes, cursors);
  ProcessHostBlockAtChanges(inputs, outputs, nFrames, cursors, nCursors);
}

// The host's channel arrays go on as they are: only their first two entries are read.
template <class Sample>
void IPlugVST3::ProcessSampleSize(ProcessData& data) {
  Sample** const outputs = StereoChannels<Sample>(data.outputs, data.numOutputs);
  Sample** const inputs = outputs ? StereoChannels<Sample>(data.inputs, data.numInputs) : nullptr;
  if (inputs) {
    ProcessBuses<Sample>(data, inputs, outputs);
  } else if (outputs) {
    // No input: the effect hears silence, written into the outputs and processed in place.
    SilenceOutputs<Sample>(data.outputs, data.numOutputs, data.numSamples);
    ProcessBuses<Sample>(data, outputs, outputs);
  } else {
    SilenceOutputs<Sample>(data.outputs, data.numOutputs, data.numSamples);
    ProcessBuses<Sample>(data, nullptr, nullptr);
  }
}

// The frequent call, checked in one go: both buses stereo with their two channels set, and no points. False,
// with nothing done, for any other call.
template <class Sample>
inline bool IPlugVST3::ProcessStereoCallWithoutChanges(ProcessData& data) {
  Sample** const outputs = StereoChannels<Sample>(data.outputs, data.numOutputs);
  Sample** const inputs = StereoChannels<Sample>(data.inputs, data.numInputs);
  IParameterChanges* const changes = data.inputParameterChanges;
  if (!outputs || !inputs || (changes && changes->getParameterCount() > 0)) return false;
  if (data.numSamples > 0) ProcessHostBlock(inputs, outputs, data.numSamples);
  data.outputs[0].silenceFlags = 0;
  return true;
}

void IPlugVST3::Process(ProcessData& data) {
  IPlugMutexLock lock(Mutex());
  mContext = data.processContext;
  const bool done = data.symbolicSampleSize == kSample32   ? ProcessStereoCallWithoutChanges<float>(data)
                    : data.symbolicSampleSize == kSample64 ? ProcessStereoCallWithoutChanges<double>(data)
                                                           : false;
  if (done) {
    mContext = nullptr;
    return;
  }
  if (data.symbolicSampleSize == kSample32) {
    ProcessSampleSize<float>(data);
  } else if (data.symbolicSampleSize == kSample64) {
    ProcessSampleSize<double>(data);
  } else {
    // An unknown sample size: no audio, but the points still set their parameters.
    ProcessBuses<float>(data, nullptr, nullptr);
  }
  if (data.outputs && data.numOutputs > 0) data.outputs[0].silenceFlags = 0;
  mContext = nullptr;
}

tresult IPlugVST3::WriteState(IBStream* stream) {
  if (!stream) return kInvalidArgument;
  IPlugMutexLock lock(this);
  const bool saved = mStateStream.Save(this, [stream](const uint8_t* bytes, int n) -> int64_t {
    int32 written = 0;
    if (stream->write(const_cast<uint8_t*>(bytes), n, &written) != kResultOk || written <= 0) return 0;
    // A stream that claims more than it was given has taken what it was given.
    return written > n ? n : written;
  });
  return saved ? kResultOk : kResultFalse;
}

bool IPlugVST3::ReadStateStream(IBStream* stream) {
  // The stream ends where it gives no bytes or, after the bytes of that read, where it reports anything but
  // success: streams differ in how they report their end, and none of that is a failure here.
  bool ended = false;
  return mStateStream.ReadStream([stream, &ended](uint8_t* buffer, int size) -> int64_t {
    if (ended) return 0;
    int32 read = 0;
    const tresult result = stream->read(buffer, size, &read);
    if (read <= 0) return 0;
    ended = result != kResultOk;
    return read > size ? size : read;
  });
}

tresult IPlugVST3::ReadState(IBStream* stream) {
  if (!stream) return kInvalidArgument;
  IPlugMutexLock lock(this);
  if (!ReadStateStream(stream) || !mStateStream.LoadRead(this)) return kResultFalse;
  // The controller side of this object shares the call: its view follows.
  FollowRunningValues();
  return kResultOk;
}

tresult IPlugVST3::ReadControllerState(IBStream* stream) {
  if (!stream) return kInvalidArgument;
  IPlugMutexLock lock(this);
  if (!mControllerParams || !ReadStateStream(stream)) return kResultFalse;
  // The bytes are read by the same core code that reads them for the audio, then the values the audio runs
  // with are put back; the effect hears its own values again, which changes nothing it computes.
  IStateChunk running;
  if (!SaveStateChunk(this, &running, false)) return kResultFalse;
  if (!mStateStream.LoadRead(this)) return kResultFalse;
  FollowRunningValues();
  mStateStream.LoadWhole(this, running);
  return kResultOk;
}

void IPlugVST3::FollowRunningValues() {
  if (!mControllerParams) return;
  for (int i = 0; i < ParamCount(); ++i)
    mControllerParams[static_cast<size_t>(i)].SetClamped(Param(i)->Value());
}

bool IPlugVST3::FillParameterInfo(int index, ParameterInfo& info) {
  IPlugMutexLock lock(this);
  if (index < 0 || index >= ParamCount()) return false;
  const IPlugParam* param = Param(index);
  std::memset(&info, 0, sizeof info);
  info.id = static_cast<ParamID>(index);
  CopyUtf8ToUtf16(info.title, 128, param->Name());
  CopyUtf8ToUtf16(info.shortTitle, 128, param->Name());
  CopyUtf8ToUtf16(info.units, 128, param->DisplayLabel());
  info.stepCount = 0;
  if (param->Kind() != kKindDouble && param->Step() > 0.0) {
    const double steps = std::floor((param->Max() - param->Min()) / param->Step() + 0.5);
    info.stepCount = steps > 0.0 && steps < 1e9 ? static_cast<int32>(steps) : 0;
  }
  info.defaultNormalizedValue = WriteHostNormalized(param->NormalizedOf(param->DefaultValue()));
  info.unitId = kRootUnitId;
  info.flags = ParameterInfo::kCanAutomate;
  return true;
}

double IPlugVST3::ControllerNormalized(ParamID id) {
  IPlugMutexLock lock(this);
  if (!IsParamId(id) || !mControllerParams) return 0.0;
  return WriteHostNormalized(mControllerParams[id].Normalized());
}

bool IPlugVST3::SetControllerNormalized(ParamID id, double value) {
  IPlugMutexLock lock(this);
  double normalized;
  if (!IsParamId(id) || !mControllerParams || !ReadHostNormalized(value, &normalized)) return false;
  mControllerParams[id].SetFromNormalized(normalized);
  return true;
}

double IPlugVST3::PlainOf(ParamID id, double value) {
  IPlugMutexLock lock(this);
  double normalized;
  if (!IsParamId(id)) return 0.0;
  IPlugParam scratch;
  DefineLike(&scratch, *Param(static_cast<int>(id)));
  if (ReadHostNormalized(value, &normalized)) scratch.SetFromNormalized(normalized);
  return scratch.Value();
}

double IPlugVST3::NormalizedOfPlain(ParamID id, double plain) {
  IPlugMutexLock lock(this);
  if (!IsParamId(id)) return 0.0;
  return WriteHostNormalized(Param(static_cast<int>(id))->NormalizedOf(plain));
}

bool IPlugVST3::DisplayText(ParamID id, double value, char* text, int textSize) {
  if (!text || textSize <= 0) return false;
  text[0] = '\0';
  IPlugMutexLock lock(this);
  double normalized;
  if (!IsParamId(id) || !ReadHostNormalized(value, &normalized)) return false;
  const IPlugParam* param = Param(static_cast<int>(id));
  IPlugParam scratch;
  DefineLike(&scratch, *param);
  scratch.SetFromNormalized(normalized);
  const int size = textSize < kDisplayTextSize ? textSize : kDisplayTextSize;
  param->FormatDisplay(scratch.Value(), false, text, true, static_cast<size_t>(size));
  return true;
}

bool IPlugVST3::ParseText(ParamID id, const char* text, double* normalized) {
  IPlugMutexLock lock(this);
  if (!IsParamId(id) || !text) return false;
  const IPlugParam* param = Param(static_cast<int>(id));
  double value;
  if (!PlainValueOfText(*param, text, &value)) return false;
  *normalized = WriteHostNormalized(param->NormalizedOf(value));
  return true;
}

void IPlugVST3::SetComponentHandler(IComponentHandler* handler) {
  IPlugMutexLock lock(this);
  if (handler == mHandler) return;
  if (handler) handler->addRef();
  if (mHandler) mHandler->release();
  mHandler = handler;
}
