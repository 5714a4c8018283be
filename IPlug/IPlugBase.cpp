// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/IPlugBase.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

// Appends an element the list owns; on failure the element is deleted and the constructor fails.
template <class T>
void AddOwned(IPtrList<T>& list, T* element) {
  if (!list.Add(element)) {
    delete element;
    throw std::bad_alloc();
  }
}

template <class T>
void SizeOrFail(ITypedBuffer<T>& buffer, int count) {
  if (!buffer.Resize(count)) throw std::bad_alloc();
}

void CopyName(char* field, const char* name) { std::snprintf(field, kPlugNameSize, "%s", name ? name : ""); }

template <class Sample>
void PassThrough(Sample** inputs, Sample** outputs, int nIn, int nOut, int nFrames) {
  if (nFrames <= 0) return;
  const size_t bytes = sizeof(Sample) * static_cast<size_t>(nFrames);
  for (int i = 0; i < nOut; ++i) {
    // The host may hand the same buffer for an input and an output.
    if (i < nIn) {
      std::memmove(outputs[i], inputs[i], bytes);
    } else {
      std::fill(outputs[i], outputs[i] + nFrames, Sample(0));
    }
  }
}

}  // namespace

// The default processing passes the audio through. It is kept apart from the processing frame, which calls it
// only through the virtual call.
void IPlugBase::ProcessDoubleBlock(double** inputs, double** outputs, int nFrames) {
  PassThrough(inputs, outputs, InChannelCount(), OutChannelCount(), nFrames);
}

void IPlugBase::ProcessFloatBlock(float** inputs, float** outputs, int nFrames) {
  PassThrough(inputs, outputs, InChannelCount(), OutChannelCount(), nFrames);
}

IPlugBase::IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                     const char* productName, const char* vendorName, int vendorVersion, int uniqueId,
                     int vendorId, int latency, bool doesMidi, bool doesChunks, bool isInstrument,
                     EPlugApi plugApi)
    : mPluginId(uniqueId),
      mVendorId(vendorId),
      mPackedVersion(vendorVersion),
      mApiKind(plugApi),
      mKeepsChunks(doesChunks),
      mInstrument(isInstrument),
      mMidiFlag(doesMidi),
      mLatencySamples(latency) {
  for (int i = 0; i < nParams; ++i) AddOwned(mParamList, new IPlugParam());
  for (int i = 0; i < nPresets; ++i) AddOwned(mPresetList, new IPlugPreset());

  CopyName(mPluginName, effectName);
  CopyName(mProductTitle, productName);
  CopyName(mVendorName, vendorName);

  // Entries are "in-out" pairs separated by single spaces; the largest counts size the channels.
  int nIn = 0, nOut = 0;
  for (const char* cursor = channelIOStr; cursor;) {
    IChannelConfig* config = new IChannelConfig();
    const int converted = std::sscanf(cursor, "%d-%d", &config->mInCount, &config->mOutCount);
    assert(converted == 2 && "channelIOStrValid");
    (void)converted;
    if (config->mInCount > nIn) nIn = config->mInCount;
    if (config->mOutCount > nOut) nOut = config->mOutCount;
    AddOwned(mConfigs, config);
    cursor = std::strchr(cursor, ' ');
    if (cursor) ++cursor;
  }

  SizeOrFail(mInputSlots, nIn);
  SizeOrFail(mOutputSlots, nOut);
  for (int i = 0; i < nIn; ++i) {
    IInputConnection* connection = new IInputConnection();
    connection->mSlot = mInputSlots.Get() + i;
    *connection->mSlot = nullptr;
    AddOwned(mInputConnections, connection);
  }
  for (int i = 0; i < nOut; ++i) {
    IOutputConnection* connection = new IOutputConnection();
    connection->mSlot = mOutputSlots.Get() + i;
    *connection->mSlot = nullptr;
    AddOwned(mOutputConnections, connection);
  }
  mPieceFloatInputs.reset(new float*[static_cast<size_t>(nIn)]);
  mPieceFloatOutputs.reset(new float*[static_cast<size_t>(nOut)]);
  mPieceDoubleInputs.reset(new double*[static_cast<size_t>(nIn)]);
  mPieceDoubleOutputs.reset(new double*[static_cast<size_t>(nOut)]);
}

IPlugBase::~IPlugBase() {
  if (mEditor) {
    delete mEditor;
    mEditor = nullptr;
  }
  mParamList.Empty(true);
  mPresetList.Empty(true);
  mInputConnections.Empty(true);
  mOutputConnections.Empty(true);
  mConfigs.Empty(true);
}

void IPlugBase::ResetProcessing() { IPlugMutexLock lock(this); }

void IPlugBase::ParamChanged(int /*paramIndex*/) { IPlugMutexLock lock(this); }

void IPlugBase::ActivationChanged(bool /*active*/) { IPlugMutexLock lock(this); }

void IPlugBase::ReceiveMidiMessage(const IMidiMessage* message) { SendMidiMessage(message); }

bool IPlugBase::NoteNameFor(int /*noteNumber*/, char* text) {
  if (text) text[0] = '\0';
  return false;
}

bool IPlugBase::SaveState(IStateChunk* chunk) { return SerializeParams(chunk); }

int IPlugBase::LoadState(const IStateChunk* chunk, int pos) { return UnserializeParams(chunk, pos); }

bool IPlugBase::StateMatches(const IStateChunk* stored, int pos) {
  for (int i = 0; i < ParamCount(); ++i) {
    double value = 0.0;
    pos = stored->ReadDouble(&value, pos);
    if (pos < 0) return false;
    const float current = static_cast<float>(Param(i)->Value());
    if (std::fabs(static_cast<double>(current) - static_cast<double>(static_cast<float>(value))) > 1e-5) {
      return false;
    }
  }
  return true;
}

void IPlugBase::SetParameterFromGUI(int paramIndex, double normalizedValue) {
  IPlugMutexLock lock(this);
  Param(paramIndex)->SetFromNormalized(normalizedValue);
  // The host hears of the change before the effect does.
  HostAutomate(paramIndex, normalizedValue);
  ParamChanged(paramIndex);
}

void IPlugBase::AttachEditor(IPlugEditor* editor) {
  IPlugMutexLock lock(this);
  if (editor) {
    for (int i = 0; i < ParamCount(); ++i) editor->SetParameterFromPlug(i, Param(i)->Normalized());
  }
  mEditor = editor;
}

void IPlugBase::RefreshEditorParams() {
  if (!mEditor) return;
  for (int i = 0; i < ParamCount(); ++i) mEditor->SetParameterFromPlug(i, Param(i)->Normalized());
}

int IPlugBase::EffectVersion(bool decimal) const {
  return decimal ? VersionAsDecimal(mPackedVersion) : mPackedVersion;
}

void IPlugBase::ChangeSampleRate(double sampleRate) {
  // A rate of 0, below 0, infinite or NaN would make every filter design meaningless.
  if (std::isfinite(sampleRate) && sampleRate > 0.0) mHostSampleRate = sampleRate;
}

void IPlugBase::SetHost(const char* productText, int packedVersion) {
  mHostApp = FindHostId(productText);
  mHostVersionPacked = packedVersion;
}

void IPlugBase::NotifyAllParamsChanged() {
  for (int i = 0; i < ParamCount(); ++i) ParamChanged(i);
}

bool IPlugBase::SerializeParams(IStateChunk* chunk) {
  IPlugMutexLock lock(this);
  bool ok = true;
  for (int i = 0; i < ParamCount() && ok; ++i) ok = chunk->AppendDouble(Param(i)->Value()) > 0;
  return ok;
}

int IPlugBase::UnserializeParams(const IStateChunk* chunk, int pos) {
  IPlugMutexLock lock(this);
  for (int i = 0; i < ParamCount() && pos >= 0; ++i) {
    double value = 0.0;
    pos = chunk->ReadDouble(&value, pos);
    if (pos >= 0) Param(i)->SetClamped(value);
  }
  // Every parameter is announced, also when the walk failed or read nothing.
  NotifyAllParamsChanged();
  return pos;
}

bool IPlugBase::LegalIO(int nIn, int nOut) const {
  for (int i = 0; i < mConfigs.Count(); ++i) {
    const IChannelConfig* config = mConfigs.Get(i);
    if ((nIn < 0 || nIn == config->mInCount) && (nOut < 0 || nOut == config->mOutCount)) return true;
  }
  return false;
}
