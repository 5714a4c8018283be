// SPDX-License-Identifier: GPL-3.0-or-later
// quillmere-vst3-check BUNDLE OUTDIR [STATE]
// Opens a VST 3 bundle through the host library and holds a fixed conversation with its effect: the factory's
// and parameters' texts, then the same signal in 32-bit and in 64-bit samples with settings at the start and
// parameter points inside blocks of changing length, then its state, saved and loaded back (and, given STATE,
// a state saved elsewhere or this run's own, loaded and processed). Writes what it got into OUTDIR (texts,
// raw little-endian samples, state bytes). The input is made without the C library's mathematics, so both
// systems feed the same bits. Exits 1 when the effect misbehaved, with the reasons on stderr and in
// OUTDIR/problems.txt.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/hosts/Vst3Host.h"
#include "tests/support/TestSignal.h"
#include "tests/windows/CheckFiles.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

using namespace check_files;

constexpr double kSampleRate = 44100.0;
constexpr int kMaxBlock = 512;
constexpr int kBlocks[] = {512, 100, 1, 512, 1500, 333, 512, 64, 512, 257};
constexpr int kRounds = 8;  // the block pattern is played this many times
constexpr float kSettings[] = {0.31f, 0.82f, 0.17f, 0.71f, 0.09f};

int TotalFrames() {
  int total = 0;
  for (int b : kBlocks) total += b;
  return kRounds * total;
}

// One effect instance, started; false with a complaint when that fails.
struct Effect {
  Vst3Module& module;
  Vst3HostApplication application;
  Vst3ComponentHandler handler;
  Vst3Instance instance;
  explicit Effect(Vst3Module& m) : module(m) {}
  bool Start(int32 sampleSize) {
    TUID cid;
    if (!module.FindAudioEffect(cid)) {
      Complain("the factory has no audio effect class");
      return false;
    }
    if (instance.Create(module, cid, application, handler) != HostStatus::kOk) {
      Complain("no instance: " + instance.Error());
      return false;
    }
    if (instance.Start(kSampleRate, kMaxBlock, sampleSize) != kResultOk) {
      Complain("the effect did not start");
      return false;
    }
    return true;
  }
};

// The conversation: settings at the start, a ramp of points on two parameters through every block, blocks of
// the pattern; the output interleaved.
template <class Sample>
std::vector<Sample> Converse(Vst3Instance& instance, const test_support::Stereo<double>& input,
                             bool settings) {
  std::vector<Sample> out;
  std::vector<Sample> in[2], block[2];
  Vst3ParameterChanges changes;
  int position = 0, index = 0;
  const int total = TotalFrames();
  for (int round = 0; round < kRounds; ++round) {
    for (int frames : kBlocks) {
      changes.Clear();
      if (settings && index == 0) {
        for (int i = 0; i < 5; ++i) changes.Add(i, 0, kSettings[i]);
      }
      for (int offset = 7 * (index % 3); offset < frames; offset += 96) {
        const double ramp = static_cast<double>(position + offset) / total;
        changes.Add(0, offset, 0.2 + 0.6 * ramp);
        changes.Add(4, offset, 1.0 - ramp);
      }
      Sample* inputs[2];
      Sample* outputs[2];
      for (int c = 0; c < 2; ++c) {
        in[c].assign(input[c].begin() + position, input[c].begin() + position + frames);
        block[c].assign(static_cast<size_t>(frames), Sample(0));
        inputs[c] = in[c].data();
        outputs[c] = block[c].data();
      }
      tresult result;
      if constexpr (sizeof(Sample) == sizeof(float)) {
        result = instance.ProcessFloat(inputs, outputs, frames, &changes);
      } else {
        result = instance.ProcessDouble(inputs, outputs, frames, &changes);
      }
      if (result != kResultOk) Complain("a process call failed");
      for (int i = 0; i < frames; ++i) {
        out.push_back(block[0][static_cast<size_t>(i)]);
        out.push_back(block[1][static_cast<size_t>(i)]);
      }
      position += frames;
      ++index;
    }
  }
  return out;
}

std::string Texts(Vst3Module& module, Vst3Instance& instance) {
  std::string text;
  char line[512];
  PFactoryInfo factory;
  if (module.Factory()->getFactoryInfo(&factory) == kResultOk)
    text += std::string("vendor ") + factory.vendor + "\n";
  PClassInfo2 info;
  if (module.Factory2() && module.Factory2()->getClassInfo2(0, &info) == kResultOk) {
    std::snprintf(line, sizeof line, "class %s, %s, %s, %s, %s\n", info.name, info.category,
                  info.subCategories, info.vendor, info.version);
    text += line;
  }
  const double values[] = {0.0, 0.1, 0.25, 1.0 / 3.0, 0.5, 0.77, 1.0};
  const char* typed[] = {"1234.5", "-7.25", "abc", "20000"};
  for (int p = 0; p < instance.ParameterCount(); ++p) {
    ParameterInfo parameter{};
    instance.ParameterInfo(p, &parameter);
    std::snprintf(line, sizeof line, "parameter %d '%s' '%s' default %.9g:", p,
                  Vst3Utf8(parameter.title).c_str(), Vst3Utf8(parameter.units).c_str(),
                  parameter.defaultNormalizedValue);
    text += line;
    for (double v : values) text += " '" + instance.ValueText(p, v) + "'";
    for (const char* t : typed) {
      double normalized = -1.0;
      instance.ValueOfText(p, t, &normalized);
      std::snprintf(line, sizeof line, " %s=%.9g", t, normalized);
      text += line;
    }
    text += "\n";
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: quillmere-vst3-check BUNDLE OUTDIR [STATE]\n");
    return 2;
  }
  const std::string bundle = argv[1], dir = argv[2];
  Vst3Module module;
  if (module.Open(bundle) != HostStatus::kOk) {
    std::fprintf(stderr, "cannot open %s: %s\n", bundle.c_str(), module.Error().c_str());
    return 1;
  }
  const test_support::Stereo<double> input = test_support::TestSignal(static_cast<size_t>(TotalFrames()));
  {
    Effect effect(module);
    if (effect.Start(kSample32)) {
      const std::string texts = Texts(module, effect.instance);
      Write(dir, "texts.txt", texts);
      const std::vector<float> out = Converse<float>(effect.instance, input, true);
      Write(dir, "float.raw", out);
      const std::vector<uint8_t> state = effect.instance.GetState();
      if (state.size() != 48) Complain("the state is not 48 bytes");
      Write(dir, "state.bin", state);
      if (effect.instance.SetState(state, 5) != kResultOk || effect.instance.GetState() != state)
        Complain("the state did not load back");
    }
  }
  {
    Effect effect(module);
    if (effect.Start(kSample64)) {
      const std::vector<double> out = Converse<double>(effect.instance, input, true);
      Write(dir, "double.raw", out);
    }
  }
  {
    // A state saved by the other system (or without STATE, this run's own): loaded, saved back the same, and
    // played without settings of its own.
    const std::string path = argc > 3 ? argv[3] : dir + "/state.bin";
    std::vector<uint8_t> state;
    Effect effect(module);
    if (!ReadBytes(path, state)) {
      Complain("cannot read " + path);
    } else if (effect.Start(kSample32)) {
      if (effect.instance.SetState(state, 1) != kResultOk) Complain("the other system's state did not load");
      if (effect.instance.GetState() != state)
        Complain("the other system's state did not save back the same");
      const std::vector<float> out = Converse<float>(effect.instance, input, false);
      Write(dir, "loaded-state.raw", out);
    }
  }
  return ReportProblems(dir);
}
