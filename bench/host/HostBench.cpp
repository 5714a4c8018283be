// Runs VST 2 plug-ins the way a host does and measures the calling thread's CPU time per second of audio:
// the built Quillmere library beside the peers installed on this machine, in one run, so the figures are
// ratios measured side by side.
#include "bench/host/AllocationCounter.h"
#include "bench/host/BenchPlugin.h"

#if defined(QUILLMERE_HAVE_ENGINE)
#include "effect/EffectEngine.h"
#endif

#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kSampleRate = 44100.0;
constexpr int kBlocks[] = {64, 512, 4096};
constexpr double kAudioSecondsPerIteration = 5.0;

struct PluginSpec {
  std::string label;
  std::string path;
  std::vector<std::pair<int, float>> normalizedParams;
};

std::vector<PluginSpec> Plugins() {
  std::vector<PluginSpec> specs;
  specs.push_back({"Quillmere", QUILLMERE_PLUGIN_PATH, {}});
  specs.push_back({"3BandEQ", "/usr/lib/vst/3BandEQ-vst.so", {}});
  PluginSpec eq{"LSP-ParaEQx16", "/usr/lib/vst/lsp-plugins/para-equalizer-x16-stereo.so", {}};
  // Six Bell filters at +6 / -6 dB and Q 1.
  for (int index : {49, 67, 85, 103, 121, 139}) eq.normalizedParams.push_back({index, 0.1875f});
  for (int index : {55, 91, 127}) eq.normalizedParams.push_back({index, 0.5833333f});
  for (int index : {73, 109, 145}) eq.normalizedParams.push_back({index, 0.4166667f});
  for (int index : {56, 74, 92, 110, 128, 146}) eq.normalizedParams.push_back({index, 0.01f});
  specs.push_back(eq);
  return specs;
}

double ThreadSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// One second of stereo white noise at -6 dBFS, fed cyclically.
struct Noise {
  std::vector<float> floatSamples[2];
  std::vector<double> doubleSamples[2];
  explicit Noise(double amplitude = 0.5) {
    std::mt19937 random(1234);
    std::uniform_real_distribution<double> uniform(-amplitude, amplitude);
    for (int c = 0; c < 2; ++c) {
      floatSamples[c].resize(static_cast<size_t>(kSampleRate));
      doubleSamples[c].resize(static_cast<size_t>(kSampleRate));
      for (size_t i = 0; i < floatSamples[c].size(); ++i) {
        const double x = uniform(random);
        floatSamples[c][i] = static_cast<float>(x);
        doubleSamples[c][i] = static_cast<float>(x);
      }
    }
  }
};

// Processes `seconds` of audio in blocks of `block` frames; returns the thread CPU seconds it took.
template <class Sample>
double RunAudio(BenchPlugin& plugin, int block, double seconds, const std::vector<Sample>* source,
                bool silent) {
  std::vector<Sample> in[2], out[2];
  for (int c = 0; c < 2; ++c) {
    in[c].assign(static_cast<size_t>(block), Sample(0));
    out[c].assign(static_cast<size_t>(block), Sample(0));
  }
  Sample* inputs[2] = {in[0].data(), in[1].data()};
  Sample* outputs[2] = {out[0].data(), out[1].data()};
  const size_t sourceLength = source[0].size();
  const long total = static_cast<long>(seconds * kSampleRate);
  size_t cursor = 0;
  double cpu = 0.0;
  for (long done = 0; done < total; done += block) {
    if (!silent) {
      for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < block; ++i) in[c][static_cast<size_t>(i)] = source[c][(cursor + i) % sourceLength];
      }
      cursor = (cursor + static_cast<size_t>(block)) % sourceLength;
    }
    const double start = ThreadSeconds();
    if constexpr (sizeof(Sample) == sizeof(float)) {
      plugin.ProcessFloat(inputs, outputs, block);
    } else {
      plugin.ProcessDouble(inputs, outputs, block);
    }
    cpu += ThreadSeconds() - start;
    benchmark::DoNotOptimize(out[0].data());
  }
  return cpu;
}

const Noise& SharedNoise() {
  static const Noise noise;
  return noise;
}

std::unique_ptr<BenchPlugin> Open(const PluginSpec& spec, int block) {
  auto plugin = std::make_unique<BenchPlugin>();
  if (!plugin->Load(spec.path)) return nullptr;
  plugin->Start(kSampleRate, block);
  for (const auto& [index, value] : spec.normalizedParams) plugin->SetNormalized(index, value);
  return plugin;
}

void BM_Plugin(benchmark::State& state, const PluginSpec& spec, bool useDouble) {
  const int block = static_cast<int>(state.range(0));
  auto plugin = Open(spec, block);
  if (!plugin) {
    state.SkipWithError("cannot load the plug-in");
    return;
  }
  const Noise& noise = SharedNoise();
  // Warm-up: one second of audio.
  if (useDouble) {
    RunAudio<double>(*plugin, block, 1.0, noise.doubleSamples, false);
  } else {
    RunAudio<float>(*plugin, block, 1.0, noise.floatSamples, false);
  }
  double audio = 0.0, cpu = 0.0;
  for (auto _ : state) {
    const double seconds = useDouble
                               ? RunAudio<double>(*plugin, block, kAudioSecondsPerIteration, noise.doubleSamples, false)
                               : RunAudio<float>(*plugin, block, kAudioSecondsPerIteration, noise.floatSamples, false);
    state.SetIterationTime(seconds);
    audio += kAudioSecondsPerIteration;
    cpu += seconds;
  }
  state.counters["x_realtime"] = cpu > 0.0 ? audio / cpu : 0.0;
}

// Ten seconds of loud input, then ten seconds of silence: the tail must cost no more than the loud part.
void BM_SilenceTail(benchmark::State& state, const PluginSpec& spec, bool silencePart) {
  const Noise loud(1.0);
  double audio = 0.0, cpu = 0.0;
  for (auto _ : state) {
    auto plugin = Open(spec, 512);
    if (!plugin) {
      state.SkipWithError("cannot load the plug-in");
      return;
    }
    const double loudSeconds = RunAudio<float>(*plugin, 512, 10.0, loud.floatSamples, false);
    const double seconds = silencePart ? RunAudio<float>(*plugin, 512, 10.0, loud.floatSamples, true) : loudSeconds;
    state.SetIterationTime(seconds);
    audio += 10.0;
    cpu += seconds;
  }
  state.counters["x_realtime"] = cpu > 0.0 ? audio / cpu : 0.0;
}

#if defined(QUILLMERE_HAVE_ENGINE)
// The engine alone on 64-bit buffers: the reference for what the host path around it costs.
void BM_EngineAlone(benchmark::State& state) {
  const int block = static_cast<int>(state.range(0));
  const Noise& noise = SharedNoise();
  EffectEngine engine;
  for (int i = 0; i < 5; ++i) engine.SetParameter(i, i == 0 ? 1000.0 : 0.0);
  engine.Reset(kSampleRate);
  std::vector<double> in[2], out[2];
  for (int c = 0; c < 2; ++c) {
    in[c].resize(static_cast<size_t>(block));
    out[c].resize(static_cast<size_t>(block));
  }
  const double* inputs[2] = {in[0].data(), in[1].data()};
  double* outputs[2] = {out[0].data(), out[1].data()};
  size_t cursor = 0;
  const size_t length = noise.doubleSamples[0].size();
  double audio = 0.0, cpu = 0.0;
  for (auto _ : state) {
    double seconds = 0.0;
    const long total = static_cast<long>(kAudioSecondsPerIteration * kSampleRate);
    for (long done = 0; done < total; done += block) {
      for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < block; ++i) in[c][static_cast<size_t>(i)] = noise.doubleSamples[c][(cursor + i) % length];
      }
      cursor = (cursor + static_cast<size_t>(block)) % length;
      const double start = ThreadSeconds();
      engine.ProcessStereoBlock(inputs, outputs, block);
      seconds += ThreadSeconds() - start;
      benchmark::DoNotOptimize(out[0].data());
    }
    state.SetIterationTime(seconds);
    audio += kAudioSecondsPerIteration;
    cpu += seconds;
  }
  state.counters["x_realtime"] = cpu > 0.0 ? audio / cpu : 0.0;
}
#endif

// Collects the median x-realtime of every benchmark for the summary table.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto counter = run.counters.find("x_realtime");
      if (counter == run.counters.end() || run.error_occurred) continue;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      mMedians[run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args)] =
          counter->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Get(const std::string& name) const {
    const auto found = mMedians.find(name);
    return found == mMedians.end() ? 0.0 : found->second;
  }

 private:
  std::map<std::string, double> mMedians;
};

void PrintOpenAndHeap(const PluginSpec& spec) {
  std::vector<double> openMs;
  int64_t heapBytes = 0, heapAllocations = 0;
  for (int run = 0; run < 21; ++run) {
    BenchPlugin plugin;
    const AllocationSnapshot before = CurrentAllocations();
    const auto start = std::chrono::steady_clock::now();
    if (!plugin.Load(spec.path)) return;
    plugin.Start(kSampleRate, 1024);
    const auto end = std::chrono::steady_clock::now();
    const AllocationSnapshot after = CurrentAllocations();
    openMs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    heapBytes = after.liveBytes - before.liveBytes;
    heapAllocations = after.allocations - before.allocations;
  }
  std::sort(openMs.begin(), openMs.end());
  std::printf("%-14s open (create, effOpen, rate, block 1024, resume): median %.3f ms; heap held: %lld bytes "
              "(%.1f KiB) in %lld allocations\n",
              spec.label.c_str(), openMs[openMs.size() / 2], static_cast<long long>(heapBytes),
              static_cast<double>(heapBytes) / 1024.0, static_cast<long long>(heapAllocations));
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<PluginSpec> specs = Plugins();
  std::vector<const PluginSpec*> present;
  for (const PluginSpec& spec : specs) {
    if (access(spec.path.c_str(), R_OK) == 0) {
      present.push_back(&spec);
    } else {
      std::printf("%s not installed (%s): left out\n", spec.label.c_str(), spec.path.c_str());
    }
  }
  for (const PluginSpec* spec : present) {
    for (bool useDouble : {false, true}) {
      if (useDouble && spec->label != "Quillmere") continue;  // the peers have the float path only
      const std::string name = spec->label + (useDouble ? "/double" : "/float");
      auto* bench = benchmark::RegisterBenchmark(name.c_str(), BM_Plugin, *spec, useDouble);
      for (int block : kBlocks) bench->Arg(block);
      bench->UseManualTime()->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
    }
  }
  const PluginSpec& quillmere = specs[0];
  if (access(quillmere.path.c_str(), R_OK) == 0) {
    benchmark::RegisterBenchmark("Quillmere/loud10s", BM_SilenceTail, quillmere, false)
        ->UseManualTime()->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Quillmere/silence10s_after_loud", BM_SilenceTail, quillmere, true)
        ->UseManualTime()->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
  }
#if defined(QUILLMERE_HAVE_ENGINE)
  benchmark::RegisterBenchmark("Engine/alone", BM_EngineAlone)
      ->Arg(512)->UseManualTime()->Iterations(3)->Repetitions(5)->ReportAggregatesOnly(true)
      ->Unit(benchmark::kMillisecond);
#endif

  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nx-realtime at 44100 Hz (median thread CPU time; higher is faster)\n");
  std::printf("%-28s", "plug-in / path");
  for (int block : kBlocks) std::printf("%12d", block);
  std::printf("\n");
  for (const PluginSpec* spec : present) {
    for (const char* path : {"float", "double"}) {
      const std::string base = spec->label + "/" + path;
      if (reporter.Get(base + "/512") == 0.0) continue;
      std::printf("%-28s", base.c_str());
      for (int block : kBlocks) std::printf("%12.0f", reporter.Get(base + "/" + std::to_string(block)));
      std::printf("\n");
    }
  }
  std::printf("\nQuillmere float / peer float (ratio > 1: Quillmere faster)\n");
  for (const PluginSpec* spec : present) {
    if (spec->label == "Quillmere") continue;
    std::printf("%-28s", ("vs " + spec->label).c_str());
    for (int block : kBlocks) {
      const double peer = reporter.Get(spec->label + "/float/" + std::to_string(block));
      const double ours = reporter.Get("Quillmere/float/" + std::to_string(block));
      std::printf("%12.2f", peer > 0.0 ? ours / peer : 0.0);
    }
    std::printf("\n");
  }
  const double floatPath = reporter.Get("Quillmere/float/512");
  const double doublePath = reporter.Get("Quillmere/double/512");
  if (floatPath > 0.0) std::printf("\nQuillmere double / float at 512: %.2f\n", doublePath / floatPath);
  const double engine = reporter.Get("Engine/alone/512");
  if (engine > 0.0 && floatPath > 0.0) {
    std::printf("host path cost over the engine at 512: float %.1f%%, double %.1f%%\n",
                100.0 * (engine / floatPath - 1.0), 100.0 * (engine / doublePath - 1.0));
  }
  const double loud = reporter.Get("Quillmere/loud10s");
  const double tail = reporter.Get("Quillmere/silence10s_after_loud");
  if (loud > 0.0 && tail > 0.0) {
    std::printf("10 s silence after loud input costs %.2f x the loud input\n", loud / tail);
  }
  std::printf("\n");
  for (const PluginSpec* spec : present) PrintOpenAndHeap(*spec);
  return 0;
}
