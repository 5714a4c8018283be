// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestHost.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace {

Vst2HostAnswers Answers(const std::string& product) {
  Vst2HostAnswers answers;
  answers.mProduct = product;
  answers.mVendorVersion = 5983;
  return answers;
}

}  // namespace

TestPlugin::TestPlugin(Vst2EntryName entry, const std::string& product) : mHost(Answers(product)) {
  // Loaded once and never unloaded: instances of one test must not outlive the code of the library.
  static PluginModule* module = [] {
    auto* opened = new PluginModule;
    if (opened->Open(QUILLMERE_PLUGIN_PATH) != HostStatus::kOk) throw std::runtime_error(opened->Error());
    return opened;
  }();
  if (Create(FindVst2Entry(*module, entry), mHost) != HostStatus::kOk) throw std::runtime_error(Error());
}

std::string WrittenText(Vst2Instance& plug, VstInt32 opcode, VstInt32 index) {
  char text[256];
  std::memset(text, 0x7f, sizeof(text));
  plug.Dispatch(opcode, index, 0, text);
  return std::string(text, strnlen(text, sizeof(text)));
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

std::vector<std::vector<float>> ProcessFloat(Vst2Instance& plug,
                                             const std::vector<std::vector<double>>& input, int blockSize) {
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
    plug.ProcessFloat(inputs, outputs, n);
  }
  return out;
}

std::vector<std::vector<double>> ProcessDouble(Vst2Instance& plug,
                                               const std::vector<std::vector<double>>& input, int blockSize) {
  const int nFrames = static_cast<int>(input[0].size());
  std::vector<std::vector<double>> in = input;
  std::vector<std::vector<double>> out(2, std::vector<double>(nFrames));
  for (int start = 0; start < nFrames; start += blockSize) {
    double* inputs[2] = {in[0].data() + start, in[1].data() + start};
    double* outputs[2] = {out[0].data() + start, out[1].data() + start};
    const int n = std::min(blockSize, nFrames - start);
    plug.ProcessDouble(inputs, outputs, n);
  }
  return out;
}
