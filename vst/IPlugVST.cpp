// SPDX-License-Identifier: GPL-3.0-or-later
#include "vst/IPlugVST.h"

#include <cstring>

#include "IPlug/HostParamValues.h"

namespace {

IPlugVST* PlugOf(AEffect* effect) { return static_cast<IPlugVST*>(effect->object); }

}  // namespace

VstInt32 ArrangementTypeFor(int nChannels) {
  switch (nChannels) {
    case 0:
      return kSpeakerArrEmpty;
    case 1:
      return kSpeakerArrMono;
    case 2:
      return kSpeakerArrStereo;
    default:
      return kSpeakerArrUserDefined;
  }
}

IPlugVST::IPlugVST(IPlugInstanceInfo hostCallback, int nParams, const char* channelIOStr, int nPresets,
                   const char* effectName, const char* productName, const char* vendorName, int vendorVersion,
                   int uniqueId, int vendorId, int latency, bool doesMidi, bool doesChunks, bool isInstrument,
                   int /*reserved*/)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, vendorName, vendorVersion, uniqueId,
                vendorId, latency, doesMidi, doesChunks, isInstrument, kApiVst2),
      mHostCallbackFn(hostCallback) {
  const int nInputs = InChannelCount();
  const int nOutputs = OutChannelCount();

  std::memset(&mDescriptor, 0, sizeof(mDescriptor));
  mDescriptor.object = this;
  mDescriptor.magic = kEffectMagic;
  mDescriptor.dispatcher = VSTDispatcher;
  mDescriptor.getParameter = VSTGetParameter;
  mDescriptor.setParameter = VSTSetParameter;
  mDescriptor.numPrograms = nPresets;
  mDescriptor.numParams = nParams;
  mDescriptor.numInputs = nInputs;
  mDescriptor.numOutputs = nOutputs;
  mDescriptor.uniqueID = uniqueId;
  mDescriptor.version = EffectVersion(true);
  mDescriptor.ioRatio = 1.0f;
  mDescriptor.process = VSTProcess<float, &IPlugBase::ProcessHostBlockAccumulating>;
  mDescriptor.processReplacing = VSTProcess<float, &IPlugBase::ProcessHostBlock>;
  mDescriptor.processDoubleReplacing = VSTProcess<double, &IPlugBase::ProcessHostBlock>;
  mDescriptor.initialDelay = latency;
  mDescriptor.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
  if (doesChunks) mDescriptor.flags |= effFlagsProgramChunks;
  if (LegalIO(1, -1)) mDescriptor.flags |= effFlagsCanMono;
  if (isInstrument) mDescriptor.flags |= effFlagsIsSynth;

  std::memset(&mInputArrangement, 0, sizeof(mInputArrangement));
  std::memset(&mOutputArrangement, 0, sizeof(mOutputArrangement));
  mInputArrangement.numChannels = nInputs;
  mInputArrangement.type = ArrangementTypeFor(nInputs);
  mOutputArrangement.numChannels = nOutputs;
  mOutputArrangement.type = ArrangementTypeFor(nOutputs);

  SetInputsConnected(0, nInputs, true);
  SetOutputsConnected(0, nOutputs, true);
  ApplyBlockSize(1024);
}

IPlugVST::~IPlugVST() = default;

template <class Sample, void (IPlugBase::*Process)(Sample**, Sample**, int)>
void VSTCALLBACK IPlugVST::VSTProcess(AEffect* effect, Sample** inputs, Sample** outputs, VstInt32 nFrames) {
  IPlugVST* plug = PlugOf(effect);
  IPlugMutexLock lock(plug->Mutex());
  plug->RequestMidiIfWanted();
  (plug->*Process)(inputs, outputs, nFrames);
}

float VSTCALLBACK IPlugVST::VSTGetParameter(AEffect* effect, VstInt32 index) {
  IPlugVST* plug = PlugOf(effect);
  IPlugMutexLock lock(plug);
  if (!plug->ParamInRange(index)) return 0.0f;
  return static_cast<float>(plug->Param(index)->Normalized());
}

void VSTCALLBACK IPlugVST::VSTSetParameter(AEffect* effect, VstInt32 index, float value) {
  IPlugVST* plug = PlugOf(effect);
  IPlugMutexLock lock(plug);
  // The parameter's own rule: the value is not held to 0 ... 1, only the upper bound of the plain value is
  // enforced. An index outside the list changes nothing.
  ApplyNormalizedValue(plug, index, static_cast<double>(value));
}
