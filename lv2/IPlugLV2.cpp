// SPDX-License-Identifier: GPL-3.0-or-later
#include "lv2/IPlugLV2.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "IPlug/HostParamValues.h"
#include "effect/EffectEngine.h"

// Pieces of the largest block, and the calls a block beyond the int range goes in, end where the engine's
// chunks end, so splitting a long block changes nothing the engine computes.
static_assert(IPlugLV2::kMaxBlockFrames % EffectEngine::kMaxChunkFrames == 0, "largest block");
static_assert(IPlugBase::kMaxCallFrames % EffectEngine::kMaxChunkFrames == 0, "largest call");

namespace {

IPlugLV2* PlugOf(LV2_Handle instance) { return static_cast<IPlugLV2*>(instance); }

uint32_t BitsOf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

const void* FindFeature(const LV2_Feature* const* features, const char* uri) {
  if (!features) return nullptr;
  for (; *features; ++features) {
    if ((*features)->URI && std::strcmp((*features)->URI, uri) == 0) return (*features)->data;
  }
  return nullptr;
}

// A block length option's value in frames: atom:Int in 4 bytes, atom:Long in 8, or atom:Int in 8 bytes, as
// some hosts send a 64-bit integer under that type (all in the machine's byte order); 0 for any other type or
// size. Eight bytes are read whole: their first four alone would misread values from 2^31 on, and every value
// on a big-endian machine. The value may lie unaligned.
int64_t BlockLengthOf(const LV2_Options_Option& option, LV2_URID atomInt, LV2_URID atomLong) {
  if (option.type == atomInt && option.size == sizeof(int32_t)) {
    int32_t frames;
    std::memcpy(&frames, option.value, sizeof frames);
    return frames;
  }
  if ((option.type == atomInt || option.type == atomLong) && option.size == sizeof(int64_t)) {
    int64_t frames;
    std::memcpy(&frames, option.value, sizeof frames);
    return frames;
  }
  return 0;
}

}  // namespace

IPlugLV2::IPlugLV2(IPlugInstanceInfo info, int nParams, const char* channelIOStr, int nPresets,
                   const char* effectName, const char* productName, const char* vendorName, int vendorVersion,
                   int uniqueId, int vendorId, int latency, bool doesMidi, bool doesChunks, bool isInstrument,
                   int /*reserved*/)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, vendorName, vendorVersion, uniqueId,
                vendorId, latency, doesMidi, doesChunks, isInstrument, kApiLv2),
      mHostSampleRate(info.mSampleRate) {
  SetInputsConnected(0, InChannelCount(), true);
  SetOutputsConnected(0, OutChannelCount(), true);
  ApplyBlockSize(kDefaultBlockFrames);
  ReadHostOptions(info.mFeatures);
}

IPlugLV2::~IPlugLV2() = default;

void IPlugLV2::ReadHostOptions(const LV2_Feature* const* features) {
  const auto* map = static_cast<const LV2_URID_Map*>(FindFeature(features, LV2_URID__map));
  const auto* options = static_cast<const LV2_Options_Option*>(FindFeature(features, LV2_OPTIONS__options));
  if (!map || !map->map || !options) return;
  const LV2_URID maxBlockLength = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
  const LV2_URID atomInt = map->map(map->handle, LV2_ATOM__Int);
  const LV2_URID atomLong = map->map(map->handle, LV2_ATOM__Long);
  for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o) {
    if (o->context != LV2_OPTIONS_INSTANCE || o->key != maxBlockLength || !o->value) continue;
    // A length below 1 is unusable, as is one of another type or size: the default pieces stay.
    const int64_t frames = BlockLengthOf(*o, atomInt, atomLong);
    if (frames >= 1) mHostMaxBlockFrames = static_cast<int>(std::min<int64_t>(frames, kMaxBlockFrames));
  }
}

bool IPlugLV2::Open() {
  IPlugMutexLock lock(this);
  if (!(mHostSampleRate > 0.0 && std::isfinite(mHostSampleRate))) return false;
  NotifyAllParamsChanged();
  ChangeSampleRate(mHostSampleRate);
  ResetProcessing();
  if (mHostMaxBlockFrames > 0) {
    ApplyBlockSize(mHostMaxBlockFrames);
    ResetProcessing();
  }
  // A port that still holds the value the parameter has counts as unchanged.
  for (int i = 0; i < kNumParams; ++i) mLastControlBits[i] = BitsOf(static_cast<float>(Param(i)->Value()));
  return true;
}

void IPlugLV2::HostTimeSignature(int* numerator, int* denominator) {
  *numerator = 0;
  *denominator = 0;
}

// Takes no lock: only run reads the port pointers, and a host never calls connect_port and run of one
// instance at the same time (both are in the audio threading class), while hosts call connect_port before
// every run, several times.
void IPlugLV2::ConnectPort(LV2_Handle instance, uint32_t port, void* data) {
  IPlugLV2* plug = PlugOf(instance);
  if (port < kPortFirstControl) {
    plug->mAudioPorts[port] = static_cast<float*>(data);
  } else if (port < kNumLv2Ports) {
    plug->mControlPorts[port - kPortFirstControl] = static_cast<const float*>(data);
  }
}

void IPlugLV2::Activate(LV2_Handle instance) {
  IPlugLV2* plug = PlugOf(instance);
  IPlugMutexLock lock(plug);
  plug->ActivationChanged(true);
}

void IPlugLV2::Deactivate(LV2_Handle instance) {
  IPlugLV2* plug = PlugOf(instance);
  IPlugMutexLock lock(plug);
  plug->ActivationChanged(false);
  plug->ResetProcessing();
}

void IPlugLV2::Cleanup(LV2_Handle instance) { delete PlugOf(instance); }

void IPlugLV2::Run(LV2_Handle instance, uint32_t nFrames) {
  IPlugLV2* plug = PlugOf(instance);
  IPlugMutexLock lock(plug);
  plug->ProcessRun(nFrames);
}

void IPlugLV2::ApplyControlPorts() {
  for (int i = 0; i < kNumParams; ++i) {
    const float* port = mControlPorts[i];
    if (!port) continue;
    const float value = *port;
    const uint32_t bits = BitsOf(value);
    if (bits == mLastControlBits[i]) continue;
    mLastControlBits[i] = bits;
    ApplyPlainValue(this, i, static_cast<double>(value));
  }
}

void IPlugLV2::ProcessRun(uint32_t nFrames) {
  ApplyControlPorts();
  float* inputs[2] = {mAudioPorts[kPortInLeft], mAudioPorts[kPortInRight]};
  float* outputs[2] = {mAudioPorts[kPortOutLeft], mAudioPorts[kPortOutRight]};
  if (!inputs[0] || !inputs[1] || !outputs[0] || !outputs[1]) {
    // Without every audio port there is nothing to process: connected outputs get silence.
    for (float* output : outputs) {
      if (output) std::fill(output, output + nFrames, 0.0f);
    }
    return;
  }
  // The frame widens both inputs before it writes an output, so a host may run in place (input and output
  // ports on one buffer).
  ProcessLongHostBlock(inputs, outputs, nFrames);
}
