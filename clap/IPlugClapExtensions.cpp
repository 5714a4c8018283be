// SPDX-License-Identifier: GPL-3.0-or-later
// The audio-ports, params, state and latency extensions of the CLAP binding.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "IPlug/HostParamValues.h"
#include "IPlug/HostText.h"
#include "clap/IPlugClap.h"
#include "effect/PluginDescription.h"

namespace {

const char* PortTypeFor(int nChannels) {
  if (nChannels == 1) return CLAP_PORT_MONO;
  if (nChannels == 2) return CLAP_PORT_STEREO;
  return nullptr;
}

}  // namespace

uint32_t IPlugClap::AudioPortCount(bool isInput) const {
  return (isInput ? InChannelCount() : OutChannelCount()) > 0 ? 1 : 0;
}

// One port each way holding every channel; input and output may share buffers (in-place pair: port 0).
bool IPlugClap::AudioPortInfo(uint32_t index, bool isInput, clap_audio_port_info_t* info) const {
  if (!info || index >= AudioPortCount(isInput)) return false;
  const int nChannels = isInput ? InChannelCount() : OutChannelCount();
  std::memset(info, 0, sizeof *info);
  info->id = 0;
  CopyToHost(info->name, isInput ? "Input" : "Output", sizeof info->name);
  info->flags = CLAP_AUDIO_PORT_IS_MAIN | CLAP_AUDIO_PORT_SUPPORTS_64BITS | CLAP_AUDIO_PORT_PREFERS_64BITS;
  info->channel_count = static_cast<uint32_t>(nChannels);
  info->port_type = PortTypeFor(nChannels);
  info->in_place_pair = 0;
  return true;
}

bool IPlugClap::ParamInfo(uint32_t index, clap_param_info_t* info) {
  if (!info || !ParamIdValid(index)) return false;
  IPlugMutexLock lock(this);
  const IPlugParam* param = Param(static_cast<int>(index));
  if (!param) return false;
  std::memset(info, 0, sizeof *info);
  info->id = index;
  info->flags = CLAP_PARAM_IS_AUTOMATABLE;
  info->cookie = nullptr;
  CopyToHost(info->name, param->Name(), sizeof info->name);
  info->module[0] = '\0';
  info->min_value = param->Min();
  info->max_value = param->Max();
  info->default_value = param->DefaultValue();
  return true;
}

bool IPlugClap::ParamValue(clap_id id, double* value) {
  if (!value || !ParamIdValid(id)) return false;
  IPlugMutexLock lock(this);
  *value = Param(static_cast<int>(id))->Value();
  return true;
}

// The text of the value the parameter takes when set to value (clamped into its range).
bool IPlugClap::ValueToText(clap_id id, double value, char* display, uint32_t size) {
  if (!display || size == 0 || !ParamIdValid(id) || std::isnan(value)) return false;
  IPlugMutexLock lock(this);
  const IPlugParam* param = Param(static_cast<int>(id));
  if (!param) return false;
  value = param->ClampedValue(value);
  char text[2 * kParamTextSize];
  param->FormatDisplay(value, false, text, true, sizeof text);
  // A value's own text (a parameter with value texts) stands without the unit.
  const char* label = param->LookUpValueText(text, nullptr) ? "" : param->UnitLabel();
  char joined[4 * kParamTextSize];
  if (label[0] != '\0') {
    std::snprintf(joined, sizeof joined, "%s %s", text, label);
  } else {
    std::snprintf(joined, sizeof joined, "%s", text);
  }
  CopyToHost(display, joined, size);
  return true;
}

// As the VST 2 text entry reads a typed value, then clamped into the range.
bool IPlugClap::TextToValue(clap_id id, const char* display, double* value) {
  if (!display || !value || !ParamIdValid(id)) return false;
  IPlugMutexLock lock(this);
  const IPlugParam* param = Param(static_cast<int>(id));
  if (!param) return false;
  return PlainValueOfText(*param, display, value);
}

bool IPlugClap::SaveToStream(const clap_ostream_t* stream) {
  if (!stream || !stream->write) return false;
  IPlugMutexLock lock(this);
  return mStateStream.Save(this, [stream](const uint8_t* bytes, int n) {
    return stream->write(stream, bytes, static_cast<uint64_t>(n));
  });
}

bool IPlugClap::LoadFromStream(const clap_istream_t* stream) {
  if (!stream || !stream->read) return false;
  IPlugMutexLock lock(this);
  return mStateStream.Load(this, [stream](uint8_t* buffer, int size) {
    return stream->read(stream, buffer, static_cast<uint64_t>(size));
  });
}
