// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/Vst2Reference.h"

#include <algorithm>
#include <cstdio>

namespace test_support {

Vst2Reference::Vst2Reference(const std::string& path, const Options& options)
    : mHost(options.answers, options.keepRequests) {
  mModule.Keep();
  if (mModule.Open(path) != HostStatus::kOk) {
    mStatus = HostStatus::kCannotLoad;
    mProblem = "cannot open " + path + ": " + mModule.Error();
    return;
  }
  mStatus = Create(FindVst2Entry(mModule, options.entry), mHost);
  if (mStatus != HostStatus::kOk) mProblem = "no VST 2 instance from " + path + ": " + Error();
}

Vst2Reference::Vst2Reference(VstPluginMainProc entry, const Options& options)
    : mHost(options.answers, options.keepRequests) {
  mStatus = Create(entry, mHost);
  if (mStatus != HostStatus::kOk) mProblem = Error();
}

Vst2Reference::Vst2Reference(AEffect* effect, const Options& options)
    : mHost(options.answers, options.keepRequests) {
  mStatus = Adopt(effect, mHost);
  if (mStatus != HostStatus::kOk) mProblem = Error();
}

VstIntPtr Vst2Reference::SetExactValue(int index, double value) {
  return SetParameterText(index, ExactText(value));
}

std::string ExactText(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

template <>
void ProcessBlock(Vst2Instance& plug, float** inputs, float** outputs, int frames) {
  plug.ProcessFloat(inputs, outputs, frames);
}

template <>
void ProcessBlock(Vst2Instance& plug, double** inputs, double** outputs, int frames) {
  plug.ProcessDouble(inputs, outputs, frames);
}

template <class Sample>
Stereo<Sample> ProcessInBlocks(Vst2Instance& plug, const Stereo<Sample>& input, int blockSize) {
  Stereo<Sample> in = input;
  const size_t frames = in[0].size();
  Stereo<Sample> out{std::vector<Sample>(frames), std::vector<Sample>(frames)};
  for (size_t start = 0; start < frames; start += static_cast<size_t>(blockSize)) {
    Sample* inputs[2] = {in[0].data() + start, in[1].data() + start};
    Sample* outputs[2] = {out[0].data() + start, out[1].data() + start};
    ProcessBlock(plug, inputs, outputs,
                 static_cast<int>(std::min(static_cast<size_t>(blockSize), frames - start)));
  }
  return out;
}

template Stereo<float> ProcessInBlocks(Vst2Instance&, const Stereo<float>&, int);
template Stereo<double> ProcessInBlocks(Vst2Instance&, const Stereo<double>&, int);

}  // namespace test_support
