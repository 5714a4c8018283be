// SPDX-License-Identifier: GPL-3.0-or-later
// Frames per second and multiples of real time at 44100 Hz for the engine and for the plain model.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "PlainReferenceEngine.h"
#include "dsp/DenormalGuard.h"
#include "effect/EffectEngine.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kSignalFrames = 1 << 16;

struct Signal {
  std::vector<double> left, right;
};

const Signal& LoudNoise() {
  static const Signal signal = [] {
    std::mt19937 gen(1);
    std::uniform_real_distribution<double> dist(-1.5, 1.5);
    Signal s{std::vector<double>(kSignalFrames), std::vector<double>(kSignalFrames)};
    for (int i = 0; i < kSignalFrames; ++i) {
      s.left[i] = dist(gen);
      s.right[i] = dist(gen);
    }
    return s;
  }();
  return signal;
}

const Signal& Silence() {
  static const Signal signal{std::vector<double>(kSignalFrames), std::vector<double>(kSignalFrames)};
  return signal;
}

enum class Guard { kNone, kFlushDenormals };

template <typename Engine>
void ProcessBlock(Engine& engine, const double* const* in, double* const* out, int n, Guard guard) {
  if (guard == Guard::kFlushDenormals) {
    DenormalGuard denormalGuard;
    engine.ProcessStereoBlock(in, out, n);
  } else {
    engine.ProcessStereoBlock(in, out, n);
  }
}

template <typename Engine>
void Feed(Engine& engine, const Signal& signal, int frames, Guard guard) {
  std::vector<double> l(4096), r(4096);
  double* out[2] = {l.data(), r.data()};
  for (int done = 0; done < frames; done += 4096) {
    const int start = done % kSignalFrames;
    const double* in[2] = {signal.left.data() + start, signal.right.data() + start};
    ProcessBlock(engine, in, out, 4096, guard);
  }
}

// Frames per second, and how many times faster than real time, at n frames per iteration.
void CountRate(benchmark::State& state, int n) {
  const double frames = static_cast<double>(state.iterations()) * n;
  state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["x-realtime"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

// Processes one block per iteration, walking through the signal.
template <typename Engine>
void RunBlocks(benchmark::State& state, Engine& engine, const Signal& signal, Guard guard) {
  const int n = static_cast<int>(state.range(0));
  std::vector<double> l(n), r(n);
  double* out[2] = {l.data(), r.data()};
  int start = 0;
  for (auto _ : state) {
    if (start + n > kSignalFrames) start = 0;
    const double* in[2] = {signal.left.data() + start, signal.right.data() + start};
    ProcessBlock(engine, in, out, n, guard);
    benchmark::DoNotOptimize(l.data());
    benchmark::ClobberMemory();
    start += n;
  }
  CountRate(state, n);
}

template <typename Engine>
void Loud(benchmark::State& state, Guard guard) {
  Engine engine;
  engine.Reset(kRate);
  RunBlocks(state, engine, LoudNoise(), guard);
}

// The engine with one particular filter kernel, on noise loud enough that every chunk is limited.
void EngineKernelLoud(benchmark::State& state, FilterKernel::EKind kind) {
  EffectEngine engine;
  if (!engine.SelectKernel(kind)) {
    state.SkipWithError("this processor cannot run the kernel");
    return;
  }
  engine.Reset(kRate);
  RunBlocks(state, engine, LoudNoise(), Guard::kNone);
}

// Silence after loud input, measured once the filter tails have decayed for 20 seconds, where the
// tails would be denormal numbers without flushing.
template <typename Engine>
void SilenceTail(benchmark::State& state, Guard guard) {
  Engine engine;
  engine.Reset(kRate);
  Feed(engine, LoudNoise(), 4096 * 10, guard);
  Feed(engine, Silence(), static_cast<int>(20 * kRate), guard);
  RunBlocks(state, engine, Silence(), guard);
}

// The 32-bit entry on the same noise in 32 bits, with the 64-bit copies a processing frame keeps.
void EngineLoud32(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Signal& signal = LoudNoise();
  const std::vector<float> left(signal.left.begin(), signal.left.end()),
      right(signal.right.begin(), signal.right.end());
  std::vector<float> l(n), r(n);
  std::vector<double> copies[4];
  for (std::vector<double>& copy : copies) copy.resize(static_cast<size_t>(n));
  float* out[2] = {l.data(), r.data()};
  double* inCopies[2] = {copies[0].data(), copies[1].data()};
  double* outCopies[2] = {copies[2].data(), copies[3].data()};
  EffectEngine engine;
  engine.Reset(kRate);
  int start = 0;
  for (auto _ : state) {
    if (start + n > kSignalFrames) start = 0;
    const float* in[2] = {left.data() + start, right.data() + start};
    engine.ProcessStereoBlock(in, out, inCopies, outCopies, n);
    benchmark::DoNotOptimize(l.data());
    benchmark::ClobberMemory();
    start += n;
  }
  CountRate(state, n);
}

void EngineLoud(benchmark::State& s) { Loud<EffectEngine>(s, Guard::kNone); }
void BaselineLoud(benchmark::State& s) { Loud<PlainReferenceEngine>(s, Guard::kFlushDenormals); }
void EngineSilenceTail(benchmark::State& s) { SilenceTail<EffectEngine>(s, Guard::kNone); }
void BaselineSilenceTail(benchmark::State& s) {
  SilenceTail<PlainReferenceEngine>(s, Guard::kFlushDenormals);
}
void BaselineSilenceTailUnflushed(benchmark::State& s) { SilenceTail<PlainReferenceEngine>(s, Guard::kNone); }

BENCHMARK(EngineLoud)->Arg(64)->Arg(512)->Arg(4096)->Arg(10000);
BENCHMARK(EngineLoud32)->Arg(64)->Arg(512)->Arg(4096)->Arg(10000);
BENCHMARK(BaselineLoud)->Arg(64)->Arg(512)->Arg(4096)->Arg(10000);
BENCHMARK(EngineSilenceTail)->Arg(512)->Arg(4096);
BENCHMARK(BaselineSilenceTail)->Arg(4096);
BENCHMARK(BaselineSilenceTailUnflushed)->Arg(4096);

const struct {
  const char* name;
  FilterKernel::EKind kind;
} kKernels[] = {{"Portable", FilterKernel::EKind::kPortable},
                {"Sse2", FilterKernel::EKind::kSse2},
                {"Avx2", FilterKernel::EKind::kAvx2}};

// The comparison is only meaningful if both produce the same bits.
bool OutputsIdentical(FilterKernel::EKind kind) {
  EffectEngine engine;
  engine.SelectKernel(kind);
  PlainReferenceEngine baseline;
  engine.Reset(kRate);
  baseline.Reset(kRate);
  const Signal& in = LoudNoise();
  Signal a{std::vector<double>(kSignalFrames), std::vector<double>(kSignalFrames)};
  Signal b = a;
  for (int start = 0; start + 10000 <= kSignalFrames; start += 10000) {
    const double* ins[2] = {in.left.data() + start, in.right.data() + start};
    double* outA[2] = {a.left.data() + start, a.right.data() + start};
    double* outB[2] = {b.left.data() + start, b.right.data() + start};
    ProcessBlock(engine, ins, outA, 10000, Guard::kNone);
    ProcessBlock(baseline, ins, outB, 10000, Guard::kFlushDenormals);
  }
  return std::memcmp(a.left.data(), b.left.data(), kSignalFrames * sizeof(double)) == 0 &&
         std::memcmp(a.right.data(), b.right.data(), kSignalFrames * sizeof(double)) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool identical = true;
  for (const auto& kernel : kKernels) {
    if (!FilterKernel::Supported(kernel.kind)) {
      std::printf("%s kernel: not supported by this processor\n", kernel.name);
      continue;
    }
    const bool same = OutputsIdentical(kernel.kind);
    identical = identical && same;
    std::printf("%s kernel: engine output %s the baseline's\n", kernel.name,
                same ? "is bit-identical to" : "DIFFERS from");
    benchmark::RegisterBenchmark((std::string("EngineKernelLoud/") + kernel.name).c_str(), EngineKernelLoud,
                                 kernel.kind)
        ->Arg(64)
        ->Arg(512)
        ->Arg(4096);
  }
  std::printf("default kernel: %s\n", kKernels[static_cast<int>(EffectEngine().Kernel())].name);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return identical ? 0 : 1;
}
