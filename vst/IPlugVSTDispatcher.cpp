// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>
#include <cstring>

#include "IPlug/HostParamValues.h"
#include "IPlug/HostText.h"
#include "IPlug/IPlugStateBytes.h"
#include "vst/IPlugVST.h"

namespace {

constexpr VstIntPtr kIdentifyAnswer = 0x4E764566;  // 'NvEf'
constexpr VstIntPtr kExtensionHandled = 0xBEEF;
constexpr VstIntPtr kExtensionCapable = 0xBEEF0000;
constexpr VstIntPtr kVstVersion = 2400;

}  // namespace

VstIntPtr VSTCALLBACK IPlugVST::VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void* ptr, float opt) {
  IPlugVST* plug = effect ? static_cast<IPlugVST*>(effect->object) : nullptr;
  if (!plug) return 0;
  IPlugMutexLock lock(plug);
  if (opcode == effEditIdle || opcode == effIdle) return 0;
  if (opcode == effClose) {
    // The lock lives inside the object: leave it before the object goes.
    lock.Release();
    delete plug;
    return 0;
  }
  try {
    return plug->Dispatch(opcode, index, value, ptr, opt);
  } catch (...) {
    return 0;
  }
}

VstIntPtr IPlugVST::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    case effOpen:
      PrepareForHost();
      NotifyAllParamsChanged();
      return 0;
    case effSetProgram:
      if (!KeepsStateChunks()) ModifyCurrentPreset();
      SelectPreset(static_cast<VstInt32>(value));
      return 0;
    case effGetProgram:
      return CurrentPresetIndex();
    case effSetProgramName:
      if (text) {
        ModifyCurrentPreset(text);
        PresetChangedHook();
      }
      return 0;
    case effGetProgramName:
      if (text) CopyToHost(text, PresetName(CurrentPresetIndex()), kProgramNameCopySize);
      return 0;
    case effGetParamLabel:
      if (ParamInRange(index) && text) CopyToHost(text, Param(index)->DisplayLabel(), kParamTextCopySize);
      return 0;
    case effGetParamDisplay:
      if (ParamInRange(index) && text) {
        const IPlugParam* param = Param(index);
        param->FormatDisplay(param->Value(), false, text, true, kParamTextCopySize);
      }
      return 0;
    case effGetParamName:
      if (ParamInRange(index) && text) CopyToHost(text, Param(index)->Name(), kParamTextCopySize);
      return 0;
    case effSetSampleRate:
      ChangeSampleRate(static_cast<double>(opt));
      ResetProcessing();
      return 0;
    case effSetBlockSize:
      ApplyBlockSize(static_cast<VstInt32>(value));
      ResetProcessing();
      return 0;
    case effMainsChanged:
      if (value == 0) {
        ActivationChanged(false);
        ResetProcessing();
      } else {
        ActivationChanged(true);
      }
      return 0;
    case effEditGetRect:
    case effEditOpen:
    case effEditClose:
      return 0;
    case effIdentify:
      return kIdentifyAnswer;
    case effGetChunk:
      if (!ptr) return 0;
      return GetChunk(index == 0, static_cast<void**>(ptr));
    case effSetChunk:
      if (!ptr) return 0;
      return SetChunk(index == 0, ptr, static_cast<VstInt32>(value));
    case effProcessEvents:
      return ProcessEvents(static_cast<const VstEvents*>(ptr));
    case effCanBeAutomated:
      return 1;
    case effString2Parameter:
      return TextToParameter(index, text);
    case effGetProgramNameIndexed:
      if (!text) return 0;
      CopyToHost(text, PresetName(index), kProgramNameCopySize);
      return text[0] != '\0' ? 1 : 0;
    case effGetInputProperties:
    case effGetOutputProperties:
      return PinProperties(opcode == effGetInputProperties, index, static_cast<VstPinProperties*>(ptr));
    case effGetPlugCategory:
      return IsInstrument() ? kPlugCategSynth : kPlugCategEffect;
    case effProcessVarIo:
      return 0;
    case effSetSpeakerArrangement:
      ConnectArrangement(true, reinterpret_cast<const VstSpeakerArrangement*>(value));
      ConnectArrangement(false, static_cast<const VstSpeakerArrangement*>(ptr));
      return 1;
    case effGetEffectName:
      if (!text) return 0;
      CopyToHost(text, EffectName(), kEffectNameCopySize);
      return 1;
    case effGetVendorString:
      if (!text) return 0;
      CopyToHost(text, VendorName(), kVendorTextCopySize);
      return 1;
    case effGetProductString:
      if (!text) return 0;
      CopyToHost(text, ProductTitle(), kVendorTextCopySize);
      return 1;
    case effGetVendorVersion:
      return EffectVersion(true);
    case effVendorSpecific:
      return VendorSpecific(index, value, ptr, opt);
    case effCanDo:
      return CanDo(text);
    case effGetVstVersion:
      return kVstVersion;
    case effGetMidiKeyName: {
      MidiKeyName* key = static_cast<MidiKeyName*>(ptr);
      if (!key) return 0;
      key->keyName[0] = '\0';
      return NoteNameFor(key->thisKeyNumber, key->keyName) ? 1 : 0;
    }
    case effGetSpeakerArrangement: {
      VstSpeakerArrangement** inputs = reinterpret_cast<VstSpeakerArrangement**>(value);
      VstSpeakerArrangement** outputs = static_cast<VstSpeakerArrangement**>(ptr);
      if (inputs) *inputs = &mInputArrangement;
      if (outputs) *outputs = &mOutputArrangement;
      return 1;
    }
    default:
      return 0;
  }
}

void IPlugVST::PrepareForHost() {
  if (mHostPrepared) return;
  mHostPrepared = true;
  const EHostId host = HostId();
  if (host == kAppForte || host == kAppAudition || host == kAppOrion || host == kAppSAWStudio) {
    LimitExtraChannels();
  }
  mInputArrangement.numChannels = mDescriptor.numInputs = InChannelCount();
  mOutputArrangement.numChannels = mDescriptor.numOutputs = OutChannelCount();
  HostIdentifiedHook();
}

// The address handed out stays valid until the next chunk request of the same kind or effClose.
VstIntPtr IPlugVST::GetChunk(bool bank, void** data) {
  IStateChunk& chunk = bank ? mBankChunk : mProgramChunk;
  if (!SaveStateChunk(this, &chunk, bank)) return 0;
  *data = chunk.Data();
  return chunk.Size();
}

VstIntPtr IPlugVST::SetChunk(bool bank, const void* data, int size) {
  if (size < 0) return 0;
  IStateChunk& chunk = bank ? mBankChunk : mProgramChunk;
  chunk.Resize(size);
  if (chunk.Size() != size) return 0;
  if (size > 0) std::memcpy(chunk.Data(), data, static_cast<size_t>(size));
  if (LoadStateChunk(this, chunk, bank) < 0) return 0;
  RefreshEditorParams();
  return 1;
}

VstIntPtr IPlugVST::ProcessEvents(const VstEvents* events) {
  if (!events) return 0;
  // The host's list holds numEvents entries, more than the two the record declares.
  VstEvent* const* list = events->events;
  for (VstInt32 i = 0; i < events->numEvents; ++i) {
    const VstEvent* event = list[i];
    if (!event) continue;
    if (event->type == kVstMidiType) {
      const VstMidiEvent* midi = reinterpret_cast<const VstMidiEvent*>(event);
      IMidiMessage message;
      message.mOffset = midi->deltaFrames;
      message.mStatus = static_cast<uint8_t>(midi->midiData[0]);
      message.mData1 = static_cast<uint8_t>(midi->midiData[1]);
      message.mData2 = static_cast<uint8_t>(midi->midiData[2]);
      ReceiveMidiMessage(&message);
    } else if (event->type == kVstSysExType) {
      const VstMidiSysexEvent* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
      ISysExMessage message;
      message.mOffset = sysex->deltaFrames;
      message.mSize = sysex->dumpBytes;
      message.mData = reinterpret_cast<const uint8_t*>(sysex->sysexDump);
      ReceiveSysExMessage(&message);
    }
  }
  return 1;
}

VstIntPtr IPlugVST::TextToParameter(int index, const char* text) {
  if (!ParamInRange(index)) return 0;
  if (!text) return 1;
  return ApplyTextValue(this, index, text) ? 1 : 0;
}

VstIntPtr IPlugVST::PinProperties(bool input, int index, VstPinProperties* pin) {
  const int count = input ? InChannelCount() : OutChannelCount();
  if (!pin || index < 0 || index >= count) return 0;
  pin->flags = kVstPinIsActive;
  // Channels pair up as (0, 1), (2, 3) and so on; a last odd channel is not stereo.
  if (index % 2 == 0 && index < count - 1) pin->flags |= kVstPinIsStereo;
  const char* label =
      input ? InputConnection(index)->mPinLabel.Get() : OutputConnection(index)->mPinLabel.Get();
  if (label[0] != '\0') {
    CopyToHost(pin->label, label, kPinLabelCopySize);
  } else {
    std::snprintf(pin->label, kPinLabelCopySize, input ? "Input %d" : "Output %d", index + 1);
  }
  return 1;
}

// Channels below the arrangement's count are connected, the rest not; a negative count counts as 0.
void IPlugVST::ConnectArrangement(bool input, const VstSpeakerArrangement* arrangement) {
  if (!arrangement) return;
  const int n = arrangement->numChannels > 0 ? arrangement->numChannels : 0;
  const int count = input ? InChannelCount() : OutChannelCount();
  if (input) {
    SetInputsConnected(0, n, true);
    if (n < count) SetInputsConnected(n, count - n, false);
  } else {
    SetOutputsConnected(0, n, true);
    if (n < count) SetOutputsConnected(n, count - n, false);
  }
}

VstIntPtr IPlugVST::CanDo(const char* question) {
  if (!question) return 0;
  if (std::strcmp(question, "receiveVstTimeInfo") == 0) return 1;
  if (WantsMidi() &&
      (std::strcmp(question, "sendVstEvents") == 0 || std::strcmp(question, "sendVstMidiEvent") == 0 ||
       std::strcmp(question, "receiveVstEvents") == 0 || std::strcmp(question, "receiveVstMidiEvent") == 0)) {
    return 1;
  }
  if (std::strcmp(question, "hasCockosExtensions") == 0) {
    mHostExtensionFlags |= 1;
    return kExtensionCapable;
  }
  if (std::strcmp(question, "hasCockosViewAsConfig") == 0) {
    mHostExtensionFlags |= 2;
    return kExtensionCapable;
  }
  return 0;
}

VstIntPtr IPlugVST::VendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  const int paramIndex = static_cast<VstInt32>(value);
  if (index == effGetParamDisplay && ptr) {
    if (ParamInRange(paramIndex)) {
      Param(paramIndex)
          ->FormatDisplay(static_cast<double>(opt), true, static_cast<char*>(ptr), true, kParamTextCopySize);
    }
    return kExtensionHandled;
  }
  if (index == effGetParamName) {
    return ParamInRange(paramIndex) && Param(paramIndex)->Kind() != kKindDouble ? kExtensionHandled : 0;
  }
  return 0;
}
