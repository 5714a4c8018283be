// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

std::mutex RecordingHost::sMutex;
std::vector<HostRequest> RecordingHost::sRequests;
std::string RecordingHost::sProduct = "Test Host";
VstIntPtr RecordingHost::sVendorVersion = 5983;

VstIntPtr VSTCALLBACK RecordingHost::Callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void* ptr, float opt) {
  std::lock_guard<std::mutex> lock(sMutex);
  HostRequest request{effect, opcode, index, value, opt, 0, {}};
  if (opcode == audioMasterProcessEvents && ptr) {
    const VstEvents* events = static_cast<const VstEvents*>(ptr);
    request.mNumEvents = events->numEvents;
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
      VstMidiEvent copy;
      std::memcpy(&copy, events->events[i], sizeof(copy));
      request.mMidiEvents.push_back(copy);
    }
  }
  sRequests.push_back(request);
  if (opcode == audioMasterGetProductString) {
    std::strcpy(static_cast<char*>(ptr), sProduct.c_str());
    return 1;
  }
  if (opcode == audioMasterGetVendorVersion) return sVendorVersion;
  if (opcode == audioMasterProcessEvents) return 1;
  return 0;
}

void RecordingHost::Answer(const std::string& product, VstIntPtr vendorVersion) {
  std::lock_guard<std::mutex> lock(sMutex);
  sProduct = product;
  sVendorVersion = vendorVersion;
}

std::vector<HostRequest> RecordingHost::Requests(const AEffect* effect) {
  std::lock_guard<std::mutex> lock(sMutex);
  std::vector<HostRequest> found;
  for (const HostRequest& r : sRequests) {
    if (r.mEffect == effect) found.push_back(r);
  }
  return found;
}

int RecordingHost::Count(const AEffect* effect, VstInt32 opcode) {
  int n = 0;
  for (const HostRequest& r : Requests(effect)) n += r.mOpcode == opcode;
  return n;
}

VstPluginMainProc PluginLibrary::Entry(const char* name) {
  static void* handle = dlopen(QUILLMERE_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!handle) throw std::runtime_error(dlerror());
  return reinterpret_cast<VstPluginMainProc>(dlsym(handle, name));
}

PluginInstance::PluginInstance(const char* entry)
    : mEffect(PluginLibrary::Entry(entry)(RecordingHost::Callback)) {
  if (!mEffect) throw std::runtime_error("no instance");
}

PluginInstance::~PluginInstance() { Close(); }

void PluginInstance::Close() {
  if (mEffect) mEffect->dispatcher(mEffect, effClose, 0, 0, nullptr, 0.0f);
  mEffect = nullptr;
}

VstIntPtr PluginInstance::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

std::string PluginInstance::Text(VstInt32 opcode, VstInt32 index) {
  char text[256];
  std::memset(text, 0x7f, sizeof(text));
  Dispatch(opcode, index, 0, text);
  return std::string(text, strnlen(text, sizeof(text)));
}

void PluginInstance::Start(float sampleRate, int blockSize) {
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
  Dispatch(effSetBlockSize, 0, blockSize);
  Dispatch(effMainsChanged, 0, 1);
}

std::vector<std::vector<double>> TestSignal(int nFrames, unsigned seed) {
  std::vector<std::vector<double>> signal(2, std::vector<double>(nFrames));
  unsigned state = seed;
  for (int i = 0; i < nFrames; ++i) {
    state = state * 1664525u + 1013904223u;
    const double noise = static_cast<double>(state >> 8) / 16777216.0 - 0.5;
    signal[0][i] = 0.4 * std::sin(0.031 * i) + 0.2 * std::sin(0.5 * i) + 0.2 * noise;
    signal[1][i] = 0.3 * std::sin(0.007 * i + 1.0) + 0.3 * std::sin(0.9 * i) - 0.1 * noise;
  }
  return signal;
}

std::vector<std::vector<float>> ProcessFloat(AEffect* effect, const std::vector<std::vector<double>>& input,
                                             int blockSize) {
  const int nFrames = static_cast<int>(input[0].size());
  std::vector<std::vector<float>> in(2, std::vector<float>(nFrames));
  std::vector<std::vector<float>> out(2, std::vector<float>(nFrames));
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < nFrames; ++i) in[c][i] = static_cast<float>(input[c][i]);
  }
  for (int start = 0; start < nFrames; start += blockSize) {
    float* inputs[2] = {in[0].data() + start, in[1].data() + start};
    float* outputs[2] = {out[0].data() + start, out[1].data() + start};
    const int n = std::min(blockSize, nFrames - start);
    effect->processReplacing(effect, inputs, outputs, n);
  }
  return out;
}

std::vector<std::vector<double>> ProcessDouble(AEffect* effect, const std::vector<std::vector<double>>& input,
                                               int blockSize) {
  const int nFrames = static_cast<int>(input[0].size());
  std::vector<std::vector<double>> in = input;
  std::vector<std::vector<double>> out(2, std::vector<double>(nFrames));
  for (int start = 0; start < nFrames; start += blockSize) {
    double* inputs[2] = {in[0].data() + start, in[1].data() + start};
    double* outputs[2] = {out[0].data() + start, out[1].data() + start};
    const int n = std::min(blockSize, nFrames - start);
    effect->processDoubleReplacing(effect, inputs, outputs, n);
  }
  return out;
}
