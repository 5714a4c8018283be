// SPDX-License-Identifier: GPL-3.0-or-later
#include "vst3/Vst3Effect.h"

#include <cstring>

#include "vst3/Vst3Text.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

bool SameIid(const TUID a, const TUID b) { return std::memcmp(a, b, sizeof(TUID)) == 0; }

// Runs a host call's work; an exception that escapes it is answered with fallback instead of reaching the
// host.
template <class Result, class Work>
Result Guarded(Result fallback, Work work) noexcept {
  try {
    return work();
  } catch (...) {
    return fallback;
  }
}

}  // namespace

Vst3Effect::Vst3Effect(IPlugVST3* plug) : mPlug(plug) {}

Vst3Effect::~Vst3Effect() = default;

tresult PLUGIN_API Vst3Effect::queryInterface(const TUID iid, void** object) {
  if (!object) return kInvalidArgument;
  *object = nullptr;
  if (!iid) return kNoInterface;
  if (SameIid(iid, FUnknown_iid) || SameIid(iid, IPluginBase_iid) || SameIid(iid, IComponent_iid)) {
    *object = static_cast<IComponent*>(this);
  } else if (SameIid(iid, IAudioProcessor_iid)) {
    *object = static_cast<IAudioProcessor*>(this);
  } else if (SameIid(iid, IProcessContextRequirements_iid)) {
    *object = static_cast<IProcessContextRequirements*>(this);
  } else if (SameIid(iid, IEditController_iid)) {
    *object = static_cast<IEditController*>(this);
  } else {
    return kNoInterface;
  }
  addRef();
  return kResultOk;
}

uint32 PLUGIN_API Vst3Effect::addRef() { return ++mReferences; }

uint32 PLUGIN_API Vst3Effect::release() {
  const uint32 left = --mReferences;
  if (left == 0) delete this;
  return left;
}

tresult PLUGIN_API Vst3Effect::initialize(FUnknown* context) {
  return Guarded<tresult>(kInternalError, [&] {
    mPlug->Connect(context);
    return kResultOk;
  });
}

tresult PLUGIN_API Vst3Effect::terminate() {
  return Guarded<tresult>(kInternalError, [&] {
    mPlug->Disconnect();
    return kResultOk;
  });
}

// IComponent

tresult PLUGIN_API Vst3Effect::getControllerClassId(TUID /*classId*/) {
  // This object is its own controller.
  return kNotImplemented;
}

tresult PLUGIN_API Vst3Effect::setIoMode(IoMode /*mode*/) { return kNotImplemented; }

int32 PLUGIN_API Vst3Effect::getBusCount(MediaType type, BusDirection dir) {
  if (type != kAudio) return 0;
  return (dir == kInput || dir == kOutput) ? 1 : 0;
}

tresult PLUGIN_API Vst3Effect::getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) {
  if (type != kAudio || index != 0 || (dir != kInput && dir != kOutput)) return kInvalidArgument;
  std::memset(&bus, 0, sizeof bus);
  bus.mediaType = kAudio;
  bus.direction = dir;
  bus.channelCount = dir == kInput ? mPlug->InChannelCount() : mPlug->OutChannelCount();
  CopyUtf8ToUtf16(bus.name, 128, dir == kInput ? "Input" : "Output");
  bus.busType = kMain;
  bus.flags = BusInfo::kDefaultActive;
  return kResultOk;
}

tresult PLUGIN_API Vst3Effect::getRoutingInfo(RoutingInfo& /*inInfo*/, RoutingInfo& /*outInfo*/) {
  return kNotImplemented;
}

// Both buses stay as they are: a host that leaves a bus without buffers gets silence in, nothing out.
tresult PLUGIN_API Vst3Effect::activateBus(MediaType type, BusDirection dir, int32 index, TBool /*state*/) {
  if (type != kAudio || index != 0 || (dir != kInput && dir != kOutput)) return kInvalidArgument;
  return kResultOk;
}

tresult PLUGIN_API Vst3Effect::setActive(TBool state) {
  return Guarded<tresult>(kInternalError, [&] {
    mPlug->SetActive(state != 0);
    return kResultOk;
  });
}

// The same two calls serve the component and the controller side: the controller's state is the component's.
tresult PLUGIN_API Vst3Effect::setState(IBStream* state) {
  return Guarded<tresult>(kInternalError, [&] { return mPlug->ReadState(state); });
}

tresult PLUGIN_API Vst3Effect::getState(IBStream* state) {
  return Guarded<tresult>(kInternalError, [&] { return mPlug->WriteState(state); });
}

// IAudioProcessor

tresult PLUGIN_API Vst3Effect::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                  SpeakerArrangement* outputs, int32 numOuts) {
  // One stereo bus each way, nothing else.
  if (numIns != 1 || numOuts != 1 || !inputs || !outputs) return kResultFalse;
  return inputs[0] == SpeakerArr::kStereo && outputs[0] == SpeakerArr::kStereo ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API Vst3Effect::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) {
  if (index != 0 || (dir != kInput && dir != kOutput)) return kInvalidArgument;
  arr = SpeakerArr::kStereo;
  return kResultOk;
}

tresult PLUGIN_API Vst3Effect::canProcessSampleSize(int32 symbolicSampleSize) {
  return symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64 ? kResultTrue : kResultFalse;
}

uint32 PLUGIN_API Vst3Effect::getLatencySamples() {
  IPlugMutexLock lock(mPlug.get());
  const int latency = mPlug->LatencySamples();
  return latency > 0 ? static_cast<uint32>(latency) : 0;
}

tresult PLUGIN_API Vst3Effect::setupProcessing(ProcessSetup& setup) {
  return Guarded<tresult>(kInternalError,
                          [&] { return mPlug->SetupProcessing(setup) ? kResultOk : kResultFalse; });
}

tresult PLUGIN_API Vst3Effect::setProcessing(TBool /*state*/) { return kResultOk; }

tresult PLUGIN_API Vst3Effect::process(ProcessData& data) {
  return Guarded<tresult>(kInternalError, [&] {
    mPlug->Process(data);
    return kResultOk;
  });
}

uint32 PLUGIN_API Vst3Effect::getTailSamples() {
  IPlugMutexLock lock(mPlug.get());
  return static_cast<uint32>(mPlug->TailFrames());
}

// IEditController

tresult PLUGIN_API Vst3Effect::setComponentState(IBStream* state) {
  return Guarded<tresult>(kInternalError, [&] { return mPlug->ReadControllerState(state); });
}

int32 PLUGIN_API Vst3Effect::getParameterCount() { return mPlug->ParamCount(); }

tresult PLUGIN_API Vst3Effect::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
  return Guarded<tresult>(kInternalError, [&] {
    return mPlug->FillParameterInfo(paramIndex, info) ? kResultOk : kInvalidArgument;
  });
}

tresult PLUGIN_API Vst3Effect::getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                     String128 string) {
  if (!string) return kInvalidArgument;
  return Guarded<tresult>(kInternalError, [&] {
    char text[128];
    if (!mPlug->DisplayText(id, valueNormalized, text, sizeof text)) return kInvalidArgument;
    CopyUtf8ToUtf16(string, 128, text);
    return kResultOk;
  });
}

tresult PLUGIN_API Vst3Effect::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) {
  if (!string) return kInvalidArgument;
  return Guarded<tresult>(kInternalError, [&] {
    // A host's text is terminated within the 128 units of a String128.
    char text[4 * 128 + 1];
    CopyUtf16ToUtf8(text, sizeof text, string, 128);
    double normalized;
    if (!mPlug->ParseText(id, text, &normalized)) return kResultFalse;
    valueNormalized = normalized;
    return kResultOk;
  });
}

ParamValue PLUGIN_API Vst3Effect::normalizedParamToPlain(ParamID id, ParamValue valueNormalized) {
  return Guarded<ParamValue>(0.0, [&] { return mPlug->PlainOf(id, valueNormalized); });
}

ParamValue PLUGIN_API Vst3Effect::plainParamToNormalized(ParamID id, ParamValue plainValue) {
  return Guarded<ParamValue>(0.0, [&] { return mPlug->NormalizedOfPlain(id, plainValue); });
}

ParamValue PLUGIN_API Vst3Effect::getParamNormalized(ParamID id) {
  return Guarded<ParamValue>(0.0, [&] { return mPlug->ControllerNormalized(id); });
}

tresult PLUGIN_API Vst3Effect::setParamNormalized(ParamID id, ParamValue value) {
  return Guarded<tresult>(kInternalError, [&] {
    return mPlug->SetControllerNormalized(id, value) ? kResultOk : kInvalidArgument;
  });
}

tresult PLUGIN_API Vst3Effect::setComponentHandler(IComponentHandler* handler) {
  return Guarded<tresult>(kInternalError, [&] {
    mPlug->SetComponentHandler(handler);
    return kResultOk;
  });
}

IPlugView* PLUGIN_API Vst3Effect::createView(FIDString /*name*/) { return nullptr; }
