// SPDX-License-Identifier: GPL-3.0-or-later
#include <climits>
#include <cstring>

#include "vst/IPlugVST.h"

namespace {

// Every byte of the event 0 but its type, its size and its frame offset in the block.
template <class Event>
void StartEvent(Event* event, VstInt32 type, VstInt32 offset) {
  std::memset(event, 0, sizeof(*event));
  event->type = type;
  event->byteSize = static_cast<VstInt32>(sizeof(Event));
  event->deltaFrames = offset;
}

}  // namespace

VstIntPtr IPlugVST::SendHostRequest(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (!mHostCallbackFn) return 0;
  return mHostCallbackFn(&mDescriptor, opcode, index, value, ptr, opt);
}

const VstTimeInfo* IPlugVST::QueryTimeInfo(VstInt32 filter) {
  const VstIntPtr answer = SendHostRequest(audioMasterGetTime, 0, filter, nullptr, 0.0f);
  const VstTimeInfo* info = reinterpret_cast<const VstTimeInfo*>(answer);
  if (!info) return nullptr;
  if (filter == 0 || (info->flags & filter) != 0) return info;
  return nullptr;
}

void IPlugVST::HostBeginEdit(int paramIndex) {
  SendHostRequest(audioMasterBeginEdit, paramIndex, 0, nullptr, 0.0f);
}

void IPlugVST::HostAutomate(int paramIndex, double normalizedValue) {
  SendHostRequest(audioMasterAutomate, paramIndex, 0, nullptr, static_cast<float>(normalizedValue));
}

void IPlugVST::HostEndEdit(int paramIndex) {
  SendHostRequest(audioMasterEndEdit, paramIndex, 0, nullptr, 0.0f);
}

void IPlugVST::HostUpdateDisplay() { SendHostRequest(audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f); }

bool IPlugVST::IsOfflineRender() {
  return SendHostRequest(audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f) == kVstProcessLevelOffline;
}

int IPlugVST::HostSamplePosition() {
  const VstTimeInfo* info = QueryTimeInfo(0);
  if (!info || !(info->samplePos >= 0.0)) return 0;
  const double rounded = info->samplePos + 0.5;
  // Positions beyond the int range answer the largest int.
  if (rounded >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(rounded);
}

double IPlugVST::HostTempo() {
  if (!mHostCallbackFn) return 0.0;
  const VstTimeInfo* info = QueryTimeInfo(kVstTempoValid);
  if (info && info->tempo >= 0.0) return info->tempo;
  return 0.0;
}

void IPlugVST::HostTimeSignature(int* numerator, int* denominator) {
  *numerator = 0;
  *denominator = 0;
  const VstTimeInfo* info = QueryTimeInfo(kVstTimeSigValid);
  if (info && info->timeSigNumerator >= 0 && info->timeSigDenominator >= 0) {
    *numerator = info->timeSigNumerator;
    *denominator = info->timeSigDenominator;
  }
}

void IPlugVST::HostTransport(ITransportInfo* info) {
  const VstTimeInfo* time =
      QueryTimeInfo(kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid);
  if (!time) return;
  const VstInt32 flags = time->flags;
  info->mSamplePosition = time->samplePos;
  if ((flags & kVstPpqPosValid) && time->ppqPos >= 0.0) info->mQuarterNotePosition = time->ppqPos;
  if ((flags & kVstTempoValid) && time->tempo > 0.0) info->mBeatsPerMinute = time->tempo;
  if ((flags & kVstBarsValid) && time->barStartPos >= 0.0) info->mBarStartPosition = time->barStartPos;
  if ((flags & kVstCyclePosValid) && time->cycleStartPos >= 0.0 && time->cycleEndPos >= 0.0) {
    info->mLoopStart = time->cycleStartPos;
    info->mLoopEnd = time->cycleEndPos;
  }
  if ((flags & kVstTimeSigValid) && time->timeSigNumerator > 0 && time->timeSigDenominator > 0) {
    info->mTimeSigTop = time->timeSigNumerator;
    info->mTimeSigBottom = time->timeSigDenominator;
  }
  info->mIsPlaying = (flags & kVstTransportPlaying) != 0;
  info->mIsLooping = (flags & kVstTransportCycleActive) != 0;
}

EHostId IPlugVST::HostId() {
  const EHostId known = IPlugBase::HostId();
  if (known != kAppNotAsked) return known;

  char product[kHostProductTextSize] = {};
  SendHostRequest(audioMasterGetProductString, 0, 0, product, 0.0f);
  product[kHostProductTextSize - 1] = '\0';

  int32_t packed = 0;
  if (product[0] != '\0') {
    const auto version =
        static_cast<int32_t>(SendHostRequest(audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f));
    const int32_t major = version / 10000;
    const int32_t minor = (version - major * 10000) / 100;
    const int32_t patch = version - major * 10000 - minor * 100;
    // Wraps like 32-bit arithmetic for versions whose major part does not fit 16 bits.
    packed = static_cast<int32_t>(static_cast<uint32_t>(major) * 65536u +
                                  static_cast<uint32_t>(minor) * 256u + static_cast<uint32_t>(patch));
  }
  SetHost(product, packed);
  return IPlugBase::HostId();
}

void IPlugVST::ResizeEditor(int width, int height) {
  if (!AttachedEditor()) return;
  SendHostRequest(audioMasterSizeWindow, width, height, nullptr, 0.0f);
  EditorResizedHook();
}

void IPlugVST::AttachEditor(IPlugEditor* editor) {
  mDescriptor.flags |= effFlagsHasEditor;
  IPlugBase::AttachEditor(editor);
}

void IPlugVST::ChangeLatency(int samples) {
  mDescriptor.initialDelay = samples;
  IPlugBase::ChangeLatency(samples);
}

bool IPlugVST::SendMidiMessage(const IMidiMessage* message) {
  VstMidiEvent event;
  StartEvent(&event, kVstMidiType, message->mOffset);
  event.midiData[0] = static_cast<char>(message->mStatus);
  event.midiData[1] = static_cast<char>(message->mData1);
  event.midiData[2] = static_cast<char>(message->mData2);
  return SendEventToHost(reinterpret_cast<VstEvent*>(&event));
}

bool IPlugVST::SendSysExMessage(const ISysExMessage* message) {
  VstMidiSysexEvent event;
  StartEvent(&event, kVstSysExType, message->mOffset);
  event.dumpBytes = message->mSize;
  event.sysexDump = reinterpret_cast<char*>(const_cast<uint8_t*>(message->mData));
  return SendEventToHost(reinterpret_cast<VstEvent*>(&event));
}

bool IPlugVST::SendEventToHost(VstEvent* event) {
  VstEvents events;
  std::memset(&events, 0, sizeof(events));
  events.numEvents = 1;
  events.events[0] = event;
  return SendHostRequest(audioMasterProcessEvents, 0, 0, &events, 0.0f) == 1;
}
