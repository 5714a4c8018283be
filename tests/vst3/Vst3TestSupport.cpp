// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/vst3/Vst3TestSupport.h"

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace vst3test {

Signal::Signal(int frames, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> noise(-0.6, 0.6);
  for (int c = 0; c < 2; ++c) {
    channels[c].resize(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
      const double low = 0.35 * std::sin(6.283185307179586 * (55.0 + 30.0 * c) * i / 44100.0);
      // Stored as float values, so the 32-bit and 64-bit paths get the same input.
      channels[c][static_cast<size_t>(i)] = static_cast<float>(noise(random) + low);
    }
  }
}

std::vector<float> Signal::FloatChannel(int c) const {
  return std::vector<float>(channels[c].begin(), channels[c].end());
}

Vst3Side::Vst3Side() {
  if (mModule.Open(QUILLMERE_VST3_BUNDLE) != HostStatus::kOk) {
    mError = "cannot open " + std::string(QUILLMERE_VST3_BUNDLE) + ": " + mModule.Error();
    return;
  }
  TUID cid;
  if (!mModule.FindAudioEffect(cid)) {
    mError = "no audio effect class";
    return;
  }
  if (mInstance.Create(mModule, cid, mApplication, mHandler) != HostStatus::kOk) mError = mInstance.Error();
}

Vst2Side::Vst2Side() {
  if (mModule.Open(QUILLMERE_PLUGIN_PATH) != HostStatus::kOk) {
    mError = "cannot open " + std::string(QUILLMERE_PLUGIN_PATH) + ": " + mModule.Error();
    return;
  }
  if (mInstance.Create(FindVst2Entry(mModule), mHost) != HostStatus::kOk) mError = mInstance.Error();
}

template <class Sample>
void Stereo<Sample>::Append(Sample* const* block, int frames) {
  for (int c = 0; c < 2; ++c) channels[c].insert(channels[c].end(), block[c], block[c] + frames);
}

namespace {

// Host-owned buffers holding frames of the signal from position on, and room for the outputs.
template <class Sample>
struct Buffers {
  std::vector<Sample> in[2], out[2];
  Sample* inputs[2];
  Sample* outputs[2];
  Buffers(const Signal& signal, int position, int frames) {
    for (int c = 0; c < 2; ++c) {
      const auto* from = signal.channels[c].data() + position;
      in[c].assign(from, from + frames);
      // Garbage in the outputs: a plug-in must write every frame.
      out[c].assign(static_cast<size_t>(frames), static_cast<Sample>(1234.5));
      inputs[c] = in[c].data();
      outputs[c] = out[c].data();
    }
  }
};

}  // namespace

template <class Sample>
void PlayVst2(Vst2Instance& vst2, const Signal& signal, const std::vector<Step>& steps, int& position,
              Stereo<Sample>& out) {
  for (const Step& step : steps) {
    if (step.kind == Step::kSet) {
      vst2.SetParameter(step.param, step.value);
      continue;
    }
    Buffers<Sample> buffers(signal, position, step.frames);
    if constexpr (sizeof(Sample) == sizeof(float)) {
      vst2.ProcessFloat(buffers.inputs, buffers.outputs, step.frames);
    } else {
      vst2.ProcessDouble(buffers.inputs, buffers.outputs, step.frames);
    }
    out.Append(buffers.outputs, step.frames);
    position += step.frames;
  }
}

template <class Sample>
tresult ProcessVst3(Vst3Instance& vst3, const Signal& signal, int& position, int frames,
                    IParameterChanges* changes, Stereo<Sample>& out) {
  Buffers<Sample> buffers(signal, position, frames);
  tresult result;
  if constexpr (sizeof(Sample) == sizeof(float)) {
    result = vst3.ProcessFloat(buffers.inputs, buffers.outputs, frames, changes);
  } else {
    result = vst3.ProcessDouble(buffers.inputs, buffers.outputs, frames, changes);
  }
  out.Append(buffers.outputs, frames);
  position += frames;
  return result;
}

template <class Sample>
std::string Difference(const Stereo<Sample>& a, const Stereo<Sample>& b) {
  std::ostringstream message;
  message.precision(17);
  if (a.Frames() != b.Frames()) {
    message << a.Frames() << " frames against " << b.Frames();
    return message.str();
  }
  for (int c = 0; c < 2; ++c) {
    for (size_t i = 0; i < a.Frames(); ++i) {
      const Sample x = a.channels[c][i], y = b.channels[c][i];
      if (std::memcmp(&x, &y, sizeof x) != 0) {
        message << "channel " << c << " frame " << i << ": " << x << " against " << y;
        return message.str();
      }
    }
  }
  return "";
}

template struct Stereo<float>;
template struct Stereo<double>;
template void PlayVst2(Vst2Instance&, const Signal&, const std::vector<Step>&, int&, Stereo<float>&);
template void PlayVst2(Vst2Instance&, const Signal&, const std::vector<Step>&, int&, Stereo<double>&);
template tresult ProcessVst3(Vst3Instance&, const Signal&, int&, int, IParameterChanges*, Stereo<float>&);
template tresult ProcessVst3(Vst3Instance&, const Signal&, int&, int, IParameterChanges*, Stereo<double>&);
template std::string Difference(const Stereo<float>&, const Stereo<float>&);
template std::string Difference(const Stereo<double>&, const Stereo<double>&);

}  // namespace vst3test
