// SPDX-License-Identifier: GPL-3.0-or-later
// Runs VST 2, VST 3 and CLAP plug-ins the way a host does and measures the calling thread's CPU time per
// second of audio: the built Quillmere libraries beside the peers installed on this machine, in one run, so
// the figures are ratios measured side by side.
#include <benchmark/benchmark.h>
#include <alloca.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "effect/EffectEngine.h"
#include "effect/ParameterTable.h"
#include "tests/hosts/AllocationCounter.h"
#include "tests/hosts/StereoPlugins.h"

namespace {

constexpr double kSampleRate = 44100.0;
constexpr int kBlocks[] = {64, 512, 4096};
// Seconds of audio per measured iteration: 20, or QUILLMERE_BENCH_SECONDS for steadier figures on a busy
// machine.
const double kAudioSecondsPerIteration = [] {
  const char* text = std::getenv("QUILLMERE_BENCH_SECONDS");
  const double seconds = text ? std::atof(text) : 0.0;
  return seconds > 0.0 ? seconds : 20.0;
}();

struct BenchSubject {
  std::string label;
  std::string path;
  std::vector<std::pair<int, float>> normalizedParams;
};

// CLAP subjects are the .clap files; their parameters are set by plain values, in their own units.
bool IsClap(const BenchSubject& subject) {
  const std::string& p = subject.path;
  return p.size() > 5 && p.compare(p.size() - 5, 5, ".clap") == 0;
}

std::vector<std::pair<clap_id, double>> ClapSettings(const BenchSubject& subject) {
  // ZamEQ2 is a mono equaliser: two bells at +6 / -6 dB and both shelves.
  if (subject.label == "ZamEQ2-CLAP") return {{0, 6.0}, {3, -6.0}, {6, 3.0}, {8, -3.0}};
  return {};
}

std::vector<BenchSubject> Plugins() {
  std::vector<BenchSubject> subjects;
  subjects.push_back({"Quillmere", QUILLMERE_PLUGIN_PATH, {}});
  subjects.push_back({"3BandEQ", "/usr/lib/vst/3BandEQ-vst.so", {}});
  BenchSubject eq{"LSP-ParaEQx16", "/usr/lib/vst/lsp-plugins/para-equalizer-x16-stereo.so", {}};
  // Six Bell filters at +6 / -6 dB and Q 1.
  for (int index : {49, 67, 85, 103, 121, 139}) eq.normalizedParams.push_back({index, 0.1875f});
  for (int index : {55, 91, 127}) eq.normalizedParams.push_back({index, 0.5833333f});
  for (int index : {73, 109, 145}) eq.normalizedParams.push_back({index, 0.4166667f});
  for (int index : {56, 74, 92, 110, 128, 146}) eq.normalizedParams.push_back({index, 0.01f});
  subjects.push_back(eq);
  subjects.push_back({"Quillmere-CLAP", QUILLMERE_CLAP_PATH, {}});
  subjects.push_back({"ZamEQ2-CLAP", "/usr/lib/clap/ZamEQ2.clap", {}});
  return subjects;
}

// A VST 2 plug-in loaded the way hosts load it, through the host library. The host keeps no requests, so the
// heap figures are the plug-in's own.
struct BenchPlugin : StereoVst2 {
  BenchPlugin() : StereoVst2(BenchHostAnswers(), false) {}

 private:
  static Vst2HostAnswers BenchHostAnswers() {
    Vst2HostAnswers answers;
    answers.mProduct = "quillmere-bench";
    answers.mSampleRate = 44100.0;
    answers.mBlockSize = 512;
    answers.mProcessLevel = kVstProcessLevelRealtime;
    return answers;
  }
};

double ThreadSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Stereo white noise at -6 dBFS, fed cyclically; its length is a multiple of every block size, so each block
// is handed to the plug-in straight from it.
constexpr size_t kNoiseFrames = 1 << 16;

template <class T>
struct AlignedAlloc;
template <class T>
using AlignedVector = std::vector<T, AlignedAlloc<T>>;
template <class T>
struct AlignedAlloc {
  using value_type = T;
  AlignedAlloc() = default;
  template <class U> AlignedAlloc(const AlignedAlloc<U>&) {}
  T* allocate(size_t n) { return static_cast<T*>(aligned_alloc(64, (n * sizeof(T) + 63) / 64 * 64)); }
  void deallocate(T* p, size_t) { free(p); }
  bool operator==(const AlignedAlloc&) const { return true; }
  bool operator!=(const AlignedAlloc&) const { return false; }
};
struct Noise {
  std::vector<float, AlignedAlloc<float>> floatSamples[2];
  std::vector<double, AlignedAlloc<double>> doubleSamples[2];
  explicit Noise(double amplitude = 0.5) {
    std::mt19937 random(1234);
    std::uniform_real_distribution<double> uniform(-amplitude, amplitude);
    for (int c = 0; c < 2; ++c) {
      floatSamples[c].resize(kNoiseFrames);
      doubleSamples[c].resize(kNoiseFrames);
      for (size_t i = 0; i < kNoiseFrames; ++i) {
        const double x = amplitude > 0.0 ? uniform(random) : 0.0;
        floatSamples[c][i] = static_cast<float>(x);
        doubleSamples[c][i] = static_cast<float>(x);
      }
    }
  }
};

struct Measurement {
  double audioSeconds;
  double cpuSeconds;
};

// Processes about `seconds` of audio in blocks of `block` frames. The thread CPU clock is read once before
// and once after the whole run: reading it costs about a microsecond, as much as a small block itself.
template <class Sample, class Plugin>
Measurement RunAudio(Plugin& plugin, int block, double seconds, const AlignedVector<Sample>* source) {
  std::vector<Sample> out[2];
  for (int c = 0; c < 2; ++c) out[c].assign(static_cast<size_t>(block), Sample(0));
  Sample* outputs[2] = {out[0].data(), out[1].data()};
  const long blocks = std::max(1L, std::lround(seconds * kSampleRate / block));
  size_t cursor = 0;
  const double start = ThreadSeconds();
  for (long b = 0; b < blocks; ++b) {
    // Hosts hand non-const input pointers; none of the plug-ins writes its inputs.
    Sample* inputs[2] = {const_cast<Sample*>(source[0].data()) + cursor,
                         const_cast<Sample*>(source[1].data()) + cursor};
    plugin.Process(inputs, outputs, block);
    benchmark::DoNotOptimize(out[0].data());
    cursor += static_cast<size_t>(block);
    if (cursor == kNoiseFrames) cursor = 0;
  }
  const double cpu = ThreadSeconds() - start;
  return {static_cast<double>(blocks) * block / kSampleRate, cpu};
}

const Noise& SharedNoise() {
  static const Noise noise;
  return noise;
}

std::unique_ptr<BenchPlugin> Open(const BenchSubject& subject, int block) {
  auto plugin = std::make_unique<BenchPlugin>();
  if (!plugin->Load(subject.path).empty()) return nullptr;
  plugin->instance.Start(kSampleRate, block);
  for (const auto& [index, value] : subject.normalizedParams) plugin->instance.SetParameter(index, value);
  return plugin;
}

// Activated at 44100 Hz for blocks of at most block frames and started, the parameters set by a flush first.
std::unique_ptr<StereoClap> OpenClap(const BenchSubject& subject, int block) {
  auto plugin = std::make_unique<StereoClap>();
  if (!plugin->Load(subject.path).empty()) return nullptr;
  ClapEventList settings;
  for (const auto& [id, value] : ClapSettings(subject)) settings.AddParamValue(0, id, value);
  plugin->instance.Flush(settings);
  if (!plugin->instance.Start(kSampleRate, static_cast<uint32_t>(block))) return nullptr;
  return plugin;
}

// Runs the benchmark's iterations, each measuring one stretch of audio, and reports x-realtime over all of
// them.
template <class Measure>
void MeasureIterations(benchmark::State& state, Measure measure) {
  double audio = 0.0, cpu = 0.0;
  for (auto _ : state) {
    const Measurement m = measure();
    state.SetIterationTime(m.cpuSeconds);
    audio += m.audioSeconds;
    cpu += m.cpuSeconds;
  }
  state.counters["x_realtime"] = cpu > 0.0 ? audio / cpu : 0.0;
}

template <class Plugin>
void MeasurePlugin(benchmark::State& state, Plugin& plugin, int block, bool useDouble) {
  const Noise& noise = SharedNoise();
  auto run = [&](double seconds) {
    return useDouble ? RunAudio<double>(plugin, block, seconds, noise.doubleSamples)
                     : RunAudio<float>(plugin, block, seconds, noise.floatSamples);
  };
  run(1.0);  // warm-up
  MeasureIterations(state, [&] { return run(kAudioSecondsPerIteration); });
}

void BM_Plugin(benchmark::State& state, const BenchSubject& subject, bool useDouble) {
  const int block = static_cast<int>(state.range(0));
  if (IsClap(subject)) {
    auto plugin = OpenClap(subject, block);
    if (!plugin) return state.SkipWithError("cannot load the plug-in");
    return MeasurePlugin(state, *plugin, block, useDouble);
  }
  auto plugin = Open(subject, block);
  if (!plugin) return state.SkipWithError("cannot load the plug-in");
  MeasurePlugin(state, *plugin, block, useDouble);
}

// Ten seconds of loud input, then ten seconds of silence: the tail must cost no more than the loud part.
void BM_SilenceTail(benchmark::State& state, const BenchSubject& subject, bool silencePart) {
  static const Noise loud(1.0), silence(0.0);
  if (!Open(subject, 512)) {
    state.SkipWithError("cannot load the plug-in");
    return;
  }
  MeasureIterations(state, [&] {
    auto plugin = Open(subject, 512);
    const Measurement loudPart = RunAudio<float>(*plugin, 512, 10.0, loud.floatSamples);
    return silencePart ? RunAudio<float>(*plugin, 512, 10.0, silence.floatSamples) : loudPart;
  });
}

// The engine alone on 64-bit buffers: the reference for what the host path around it costs.
void BM_EngineAlone(benchmark::State& state) {
  const int block = static_cast<int>(state.range(0));
  const Noise& noise = SharedNoise();
  EffectEngine engine;
  for (const ParameterDefinition& row : kParameterTable) engine.SetParameter(row.mIndex, row.mDefault);
  engine.Reset(kSampleRate);
  std::vector<double> out[2];
  for (int c = 0; c < 2; ++c) out[c].resize(static_cast<size_t>(block));
  double* outputs[2] = {out[0].data(), out[1].data()};
  size_t cursor = 0;
  auto run = [&](double seconds) {
    const long blocks = std::max(1L, std::lround(seconds * kSampleRate / block));
    const double start = ThreadSeconds();
    for (long b = 0; b < blocks; ++b) {
      const double* inputs[2] = {noise.doubleSamples[0].data() + cursor,
                                 noise.doubleSamples[1].data() + cursor};
      engine.ProcessStereoBlock(inputs, outputs, block);
      benchmark::DoNotOptimize(out[0].data());
      cursor += static_cast<size_t>(block);
      if (cursor == kNoiseFrames) cursor = 0;
    }
    return Measurement{static_cast<double>(blocks) * block / kSampleRate, ThreadSeconds() - start};
  };
  run(1.0);  // warm-up
  MeasureIterations(state, [&] { return run(kAudioSecondsPerIteration); });
}

// LV2 plug-ins through lilv, as an LV2 host runs them: the block length offered as an option, every audio
// port connected again before each run.
struct Lv2Subject {
  std::string label;
  std::string bundle;  // the bundle folder, or empty for the installed plug-ins
  std::string uri;
  std::vector<std::pair<std::string, float>> controls;  // in each control's own unit
};

std::vector<Lv2Subject> Lv2Plugins() {
  std::vector<Lv2Subject> subjects;
  subjects.push_back({"Quillmere-LV2", QUILLMERE_LV2_BUNDLE, "urn:quillmere:quillmere", {}});
  // The six Bell filters of the VST 2 benchmark: filters 4 to 14 in steps of 2, +6 / -6 dB in turn, Q 1.
  Lv2Subject eq{"LSP-ParaEQx16-LV2", "", "http://lsp-plug.in/plugins/lv2/para_equalizer_x16_stereo", {}};
  for (int filter = 4; filter <= 14; filter += 2) {
    const std::string n = std::to_string(filter);
    eq.controls.push_back({"ft_" + n, 1.0f});  // Bell
    eq.controls.push_back({"g_" + n, filter % 4 == 0 ? 1.9952623f : 0.50118723f});
    eq.controls.push_back({"q_" + n, 1.0f});
  }
  subjects.push_back(eq);
  // All six sections of the stereo equaliser in use: four bands and two shelves at +6 / -6 dB in turn.
  subjects.push_back({"x42-fil4-LV2",
                      "",
                      "http://gareus.org/oss/lv2/fil4#stereo",
                      {{"gain1", 6.0f},
                       {"gain2", -6.0f},
                       {"gain3", 6.0f},
                       {"gain4", -6.0f},
                       {"LSgain", 6.0f},
                       {"HSgain", -6.0f}}});
  return subjects;
}

std::unique_ptr<StereoLv2> OpenLv2(const Lv2Subject& subject, int block) {
  auto plugin = std::make_unique<StereoLv2>();
  const std::string problem = plugin->Load(subject.bundle, subject.uri, kSampleRate, block, subject.controls);
  return problem.empty() ? std::move(plugin) : nullptr;
}

void BM_Lv2Plugin(benchmark::State& state, const Lv2Subject& subject) {
  const int block = static_cast<int>(state.range(0));
  auto host = OpenLv2(subject, block);
  if (!host) {
    state.SkipWithError("cannot instantiate the LV2 plug-in");
    return;
  }
  const Noise& noise = SharedNoise();
  RunAudio<float>(*host, block, 1.0, noise.floatSamples);  // warm-up
  MeasureIterations(
      state, [&] { return RunAudio<float>(*host, block, kAudioSecondsPerIteration, noise.floatSamples); });
}

// VST 3 plug-ins, loaded from their bundles through the host library and driven as hosts drive them. A mono
// effect runs as two instances, one per channel, as hosts run it on a stereo track. Settings are points at
// the start of the first block.
struct Vst3BenchSubject {
  std::string label;
  std::string bundle;
  std::vector<std::pair<Steinberg::Vst::ParamID, double>> normalizedParams;
};

std::vector<Vst3BenchSubject> Vst3Plugins() {
  // ZamEQ2's two peaks at +6 / -6 dB and its shelves at +3 / -3 dB (-50 ... +20 dB).
  return {{"Quillmere-VST3", QUILLMERE_VST3_BUNDLE, {}},
          {"ZamEQ2-VST3",
           "/usr/lib/vst3/ZamEQ2.vst3",
           {{3, 56.0 / 70}, {6, 44.0 / 70}, {9, 53.0 / 70}, {11, 47.0 / 70}}}};
}

// Started for blocks of at most block frames; the settings go with the first block.
bool LoadVst3(StereoVst3& plugin, const Vst3BenchSubject& subject, int block, Steinberg::int32 sampleSize) {
  if (!plugin.Load(subject.bundle, kSampleRate, block, sampleSize).empty()) return false;
  for (const auto& [id, value] : subject.normalizedParams) plugin.SetAtNextBlock(id, value);
  return true;
}

void BM_Vst3Plugin(benchmark::State& state, const Vst3BenchSubject& subject, bool useDouble) {
  const int block = static_cast<int>(state.range(0));
  StereoVst3 plugin;
  if (!LoadVst3(plugin, subject, block, useDouble ? Steinberg::Vst::kSample64 : Steinberg::Vst::kSample32)) {
    state.SkipWithError("cannot load the plug-in");
    return;
  }
  MeasurePlugin(state, plugin, block, useDouble);
}

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

void PrintOpenAndHeap(const BenchSubject& subject, bool breakdown) {
  std::vector<double> openMs;
  int64_t heapBytes = 0, heapAllocations = 0;
  std::vector<int64_t> sizes(kMaxRecorded);
  int recorded = 0;
  for (int run = 0; run < 21; ++run) {
    BenchPlugin plugin;
    const AllocationSnapshot before = CurrentAllocations();
    if (run == 0) StartRecording();
    const auto start = std::chrono::steady_clock::now();
    if (!plugin.Load(subject.path).empty()) return;
    plugin.instance.Start(kSampleRate, 1024);
    const auto end = std::chrono::steady_clock::now();
    if (run == 0) recorded = StopRecording(sizes.data(), kMaxRecorded);
    const AllocationSnapshot after = CurrentAllocations();
    openMs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    heapBytes = after.liveBytes - before.liveBytes;
    heapAllocations = after.allocations - before.allocations;
  }
  std::sort(openMs.begin(), openMs.end());
  std::printf(
      "%-14s open (create, effOpen, rate, block 1024, resume): median %.3f ms; heap held: %lld bytes "
      "(%.1f KiB) in %lld allocations\n",
      subject.label.c_str(), openMs[openMs.size() / 2], static_cast<long long>(heapBytes),
      static_cast<double>(heapBytes) / 1024.0, static_cast<long long>(heapAllocations));
  if (!breakdown) return;
  // The first instance also holds what a library sets up once per process; the figure above is the last
  // one's.
  std::map<int64_t, int> bySize;
  for (int i = 0; i < recorded; ++i) ++bySize[sizes[static_cast<size_t>(i)]];
  std::printf("%-14s blocks held by the first instance, by usable size:", "");
  for (auto it = bySize.rbegin(); it != bySize.rend(); ++it)
    std::printf(" %d x %lld", it->second, static_cast<long long>(it->first));
  std::printf("\n");
}


// The host paths' cost over the engine, measured in pairs: every round runs the engine and each path for the
// same stretch of audio, in an order drawn at random, so each path's time is compared with the engine's from
// moments before or after it. A shared machine's speed changes by tens of percent from second to second; a
// ratio within one round leaves that out. Reported per path: the median of the rounds' ratios, and the ratio
// of the two 10th-percentile times (the rounds that ran with the processor least shared).
struct PairedSubject {
  std::string label;
  std::function<void(size_t cursor)> process;  // one block from the noise at cursor
};

struct PairedPaths {
  EffectEngine engine64, engine32;
  std::vector<double> out64[2], copies[4];
  std::vector<float> out32[2];
  // Where the output buffers begin in their vectors, in bytes; drawn anew for each round, the same for every
  // path in it. A store and a later load whose addresses agree in their low 12 bits make the load wait, so
  // where the outputs lie against the inputs changes the speed of every path by several percent; each path is
  // measured over the same placements.
  size_t outputOffsetBytes = 0;
  static constexpr size_t kPlacementBytes = 4096;
  double* Out64(int c) { return out64[c].data() + outputOffsetBytes / sizeof(double); }
  float* Out32(int c) { return out32[c].data() + outputOffsetBytes / sizeof(float); }
  std::unique_ptr<BenchPlugin> vst2Float, vst2Double;
  std::unique_ptr<StereoClap> clapFloat, clapDouble;
  StereoVst3 vst3Float, vst3Double;
  std::unique_ptr<StereoLv2> lv2;
  std::vector<PairedSubject> subjects;

  explicit PairedPaths(int block) {
    const Noise& noise = SharedNoise();
    const size_t n = static_cast<size_t>(block);
    for (int c = 0; c < 2; ++c) {
      out64[c].assign(n + kPlacementBytes / sizeof(double), 0.0);
      out32[c].assign(n + kPlacementBytes / sizeof(float), 0.0f);
    }
    for (auto& copy : copies) copy.assign(n, 0.0);
    for (EffectEngine* engine : {&engine64, &engine32}) {
      for (const ParameterDefinition& row : kParameterTable) engine->SetParameter(row.mIndex, row.mDefault);
      engine->Reset(kSampleRate);
    }
    auto float64In = [&noise](size_t cursor, int c) { return noise.doubleSamples[c].data() + cursor; };
    auto float32In = [&noise](size_t cursor, int c) { return noise.floatSamples[c].data() + cursor; };
    subjects.push_back({"engine, 64-bit", [this, block, float64In](size_t cursor) {
                          const double* in[2] = {float64In(cursor, 0), float64In(cursor, 1)};
                          double* out[2] = {Out64(0), Out64(1)};
                          engine64.ProcessStereoBlock(in, out, block);
                        }});
    subjects.push_back({"engine, 32-bit buffers", [this, block, float32In](size_t cursor) {
                          const float* in[2] = {float32In(cursor, 0), float32In(cursor, 1)};
                          float* out[2] = {Out32(0), Out32(1)};
                          double* inCopies[2] = {copies[0].data(), copies[1].data()};
                          double* outCopies[2] = {copies[2].data(), copies[3].data()};
                          engine32.ProcessStereoBlock(in, out, inCopies, outCopies, block);
                        }});
    const BenchSubject vst2{"Quillmere", QUILLMERE_PLUGIN_PATH, {}};
    vst2Float = Open(vst2, block);
    vst2Double = Open(vst2, block);
    if (vst2Float && vst2Double) {
      AddPath("VST 2, 32-bit", *vst2Float, block, float32In);
      AddPath("VST 2, 64-bit", *vst2Double, block, float64In);
    }
    if (LoadVst3(vst3Float, Vst3Plugins()[0], block, Steinberg::Vst::kSample32) &&
        LoadVst3(vst3Double, Vst3Plugins()[0], block, Steinberg::Vst::kSample64)) {
      AddPath("VST 3, 32-bit", vst3Float, block, float32In);
      AddPath("VST 3, 64-bit", vst3Double, block, float64In);
    }
    const BenchSubject clap{"Quillmere-CLAP", QUILLMERE_CLAP_PATH, {}};
    clapFloat = OpenClap(clap, block);
    clapDouble = OpenClap(clap, block);
    if (clapFloat && clapDouble) {
      AddPath("CLAP, 32-bit", *clapFloat, block, float32In);
      AddPath("CLAP, 64-bit", *clapDouble, block, float64In);
    }
    lv2 = OpenLv2(Lv2Plugins()[0], block);
    if (lv2) AddPath("LV2 (32-bit)", *lv2, block, float32In);
  }

  template <class Plugin, class Input>
  void AddPath(const char* label, Plugin& plugin, int block, Input input) {
    using Sample = std::remove_const_t<std::remove_pointer_t<decltype(input(0, 0))>>;
    subjects.push_back({label, [this, &plugin, block, input](size_t cursor) {
                          Sample* in[2] = {const_cast<Sample*>(input(cursor, 0)),
                                           const_cast<Sample*>(input(cursor, 1))};
                          Sample* out[2];
                          if constexpr (std::is_same_v<Sample, float>) {
                            out[0] = Out32(0);
                            out[1] = Out32(1);
                          } else {
                            out[0] = Out64(0);
                            out[1] = Out64(1);
                          }
                          plugin.Process(in, out, block);
                        }});
  }
};

// Runs f with the stack moved down by padBytes: where a plug-in's stack frames lie against the audio buffers
// changes its speed by several percent (a store and a later load whose addresses agree in their low 12 bits
// make the load wait), and the system places the stack anew for every process.
template <class F>
__attribute__((noinline)) double WithStackPad(size_t padBytes, F f) {
  volatile char* pad = static_cast<char*>(alloca(padBytes + 1));
  pad[0] = 0;
  return f();
}

int RunPairedCost() {
  std::mt19937 random(99);
  std::printf("host path cost over the engine, measured in pairs (CPU time of the path / the engine's, minus 1;\n"
              "median of the rounds' ratios, in brackets the ratio of the 10th-percentile times, then the\n"
              "median of each set of instances)\n");
  // Each instance's memory lies differently against the host's buffers, which moves its speed by a few
  // percent; the rounds take turns among several sets of instances, and each round draws where the outputs and
  // the stack lie, the same for every path in it, so no one placement decides a figure.
  constexpr int kSets = 8;
  for (int block : kBlocks) {
    std::vector<std::unique_ptr<PairedPaths>> sets;
    for (int set = 0; set < kSets; ++set) sets.push_back(std::make_unique<PairedPaths>(block));
    const size_t nSubjects = sets[0]->subjects.size();
    // About 0.75 s of audio per subject and round, 1200 rounds.
    const int blocksPerRound = std::max(1, 32768 / block);
    const int rounds = 1200;
    std::vector<std::vector<double>> seconds(nSubjects);
    std::vector<size_t> cursors(nSubjects, 0), order(nSubjects);
    for (size_t k = 0; k < order.size(); ++k) order[k] = k;
    auto runRound = [&](PairedPaths& paths, size_t k) {
      const double start = ThreadSeconds();
      for (int b = 0; b < blocksPerRound; ++b) {
        paths.subjects[k].process(cursors[k]);
        cursors[k] += static_cast<size_t>(block);
        if (cursors[k] == kNoiseFrames) cursors[k] = 0;
      }
      return ThreadSeconds() - start;
    };
    for (auto& paths : sets) {
      for (size_t k = 0; k < nSubjects; ++k) runRound(*paths, k);  // warm-up
    }
    for (int round = 0; round < rounds; ++round) {
      PairedPaths& paths = *sets[static_cast<size_t>(round % kSets)];
      std::shuffle(order.begin(), order.end(), random);
      paths.outputOffsetBytes = 64 * std::uniform_int_distribution<size_t>(0, 63)(random);
      const size_t stackPad = 16 * std::uniform_int_distribution<size_t>(0, 255)(random);
      for (size_t k : order)
        seconds[k].push_back(WithStackPad(stackPad, [&] { return runRound(paths, k); }));
    }
    std::printf("block %d\n", block);
    std::vector<double> engineSorted = seconds[0];
    std::sort(engineSorted.begin(), engineSorted.end());
    const size_t p10 = static_cast<size_t>(rounds / 10);
    for (size_t k = 1; k < nSubjects; ++k) {
      std::vector<double> ratios, sorted = seconds[k];
      for (int round = 0; round < rounds; ++round) ratios.push_back(seconds[k][round] / seconds[0][round]);
      std::sort(ratios.begin(), ratios.end());
      std::sort(sorted.begin(), sorted.end());
      std::printf("  %-24s %+6.1f%%  (%+5.1f%%)", sets[0]->subjects[k].label.c_str(),
                  100.0 * (ratios[ratios.size() / 2] - 1.0), 100.0 * (sorted[p10] / engineSorted[p10] - 1.0));
      // Each set's median: how far one placement of the instances moves the figure.
      std::printf("  sets");
      for (int set = 0; set < kSets; ++set) {
        std::vector<double> setRatios;
        for (int round = set; round < rounds; round += kSets)
          setRatios.push_back(seconds[k][round] / seconds[0][round]);
        std::sort(setRatios.begin(), setRatios.end());
        std::printf(" %+.1f", 100.0 * (setRatios[setRatios.size() / 2] - 1.0));
      }
      std::printf("\n");
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // --paired-cost: only the paired measurement of the host paths' cost over the engine.
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--paired-cost") return RunPairedCost();
  }
  const std::vector<BenchSubject> subjects = Plugins();
  std::vector<const BenchSubject*> present;
  for (const BenchSubject& subject : subjects) {
    if (access(subject.path.c_str(), R_OK) == 0) {
      present.push_back(&subject);
    } else {
      std::printf("%s not installed (%s): left out\n", subject.label.c_str(), subject.path.c_str());
    }
  }
  for (const BenchSubject* subject : present) {
    for (bool useDouble : {false, true}) {
      // The peers have the float path only.
      if (useDouble && subject->label != "Quillmere" && subject->label != "Quillmere-CLAP") continue;
      const std::string name = subject->label + (useDouble ? "/double" : "/float");
      auto* bench = benchmark::RegisterBenchmark(name.c_str(), BM_Plugin, *subject, useDouble);
      for (int block : kBlocks) bench->Arg(block);
      bench->UseManualTime()->Iterations(3)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(
          benchmark::kMillisecond);
    }
  }
  const std::vector<Vst3BenchSubject> vst3Subjects = Vst3Plugins();
  std::vector<std::string> vst3Rows;
  for (const Vst3BenchSubject& subject : vst3Subjects) {
    if (access(subject.bundle.c_str(), R_OK) != 0) {
      std::printf("%s not installed (%s): left out\n", subject.label.c_str(), subject.bundle.c_str());
      continue;
    }
    for (bool useDouble : {false, true}) {
      if (useDouble && subject.label != "Quillmere-VST3") continue;  // the peer has the 32-bit path only
      const std::string name = subject.label + (useDouble ? "/double" : "/float");
      vst3Rows.push_back(name);
      auto* bench = benchmark::RegisterBenchmark(name.c_str(), BM_Vst3Plugin, subject, useDouble);
      for (int block : kBlocks) bench->Arg(block);
      bench->UseManualTime()->Iterations(3)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(
          benchmark::kMillisecond);
    }
  }
  const BenchSubject& quillmere = subjects[0];
  if (access(quillmere.path.c_str(), R_OK) == 0) {
    benchmark::RegisterBenchmark("Quillmere/loud10s", BM_SilenceTail, quillmere, false)
        ->UseManualTime()
        ->Iterations(1)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Quillmere/silence10s_after_loud", BM_SilenceTail, quillmere, true)
        ->UseManualTime()
        ->Iterations(1)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true)
        ->Unit(benchmark::kMillisecond);
  }
  const std::vector<Lv2Subject> lv2Subjects = Lv2Plugins();
  for (const Lv2Subject& subject : lv2Subjects) {
    auto* bench = benchmark::RegisterBenchmark((subject.label + "/float").c_str(), BM_Lv2Plugin, subject);
    for (int block : kBlocks) bench->Arg(block);
    bench->UseManualTime()->Iterations(3)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(
        benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("Engine/alone", BM_EngineAlone)
      ->Arg(64)
      ->Arg(512)
      ->Arg(4096)
      ->UseManualTime()
      ->Iterations(3)
      ->Repetitions(9)
      ->ReportAggregatesOnly(true)
      ->Unit(benchmark::kMillisecond);

  // Repetitions of all benchmarks run in random order, so a change in the machine's load spreads over every
  // plug-in instead of falling on one; flags given on the command line come later and win.
  std::vector<char*> args(argv, argv + argc);
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int nArgs = static_cast<int>(args.size());
  benchmark::Initialize(&nArgs, args.data());
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nx-realtime at 44100 Hz (median thread CPU time; higher is faster)\n");
  std::printf("%-28s", "plug-in / path");
  for (int block : kBlocks) std::printf("%12d", block);
  std::printf("\n");
  std::vector<std::string> rows;
  for (const BenchSubject* subject : present) {
    for (const char* path : {"float", "double"}) rows.push_back(subject->label + "/" + path);
  }
  for (const Lv2Subject& subject : lv2Subjects) rows.push_back(subject.label + "/float");
  rows.insert(rows.end(), vst3Rows.begin(), vst3Rows.end());
  rows.push_back("Engine/alone");
  for (const std::string& row : rows) {
    if (reporter.Get(row + "/512") == 0.0) continue;
    std::printf("%-28s", row.c_str());
    for (int block : kBlocks) std::printf("%12.0f", reporter.Get(row + "/" + std::to_string(block)));
    std::printf("\n");
  }
  auto printRatio = [&](const std::string& label, const std::string& over, const std::string& under,
                        bool cost) {
    std::printf("%-28s", label.c_str());
    for (int block : kBlocks) {
      const double a = reporter.Get(over + "/" + std::to_string(block));
      const double b = reporter.Get(under + "/" + std::to_string(block));
      if (a <= 0.0 || b <= 0.0) {
        std::printf("%12s", "-");
      } else if (cost) {
        std::printf("%11.1f%%", 100.0 * (b / a - 1.0));
      } else {
        std::printf("%12.2f", a / b);
      }
    }
    std::printf("\n");
  };
  std::printf("\nQuillmere float / peer float (ratio > 1: Quillmere faster)\n");
  for (const BenchSubject* subject : present) {
    if (subject->label != "Quillmere" && !IsClap(*subject))
      printRatio("vs " + subject->label, "Quillmere/float", subject->label + "/float", false);
  }
  printRatio("CLAP vs ZamEQ2-CLAP (mono)", "Quillmere-CLAP/float", "ZamEQ2-CLAP/float", false);
  std::printf("\n");
  printRatio("Quillmere double / float", "Quillmere/double", "Quillmere/float", false);
  std::printf("host path cost over the engine (CPU time of the plug-in call / the engine's, minus 1)\n");
  printRatio("  float path", "Quillmere/float", "Engine/alone", true);
  printRatio("  double path", "Quillmere/double", "Engine/alone", true);
  printRatio("  CLAP float path", "Quillmere-CLAP/float", "Engine/alone", true);
  printRatio("  CLAP double path", "Quillmere-CLAP/double", "Engine/alone", true);
  printRatio("  LV2 path", "Quillmere-LV2/float", "Engine/alone", true);
  std::printf("\nQuillmere LV2 / peer (ratio > 1: Quillmere faster)\n");
  printRatio("vs Quillmere VST 2 float", "Quillmere-LV2/float", "Quillmere/float", false);
  for (const Lv2Subject& subject : lv2Subjects) {
    if (subject.label != "Quillmere-LV2")
      printRatio("vs " + subject.label, "Quillmere-LV2/float", subject.label + "/float", false);
  }
  std::printf("\nVST 3 path cost over the engine (CPU time of the plug-in call / the engine's, minus 1)\n");
  printRatio("  VST 3 float path", "Quillmere-VST3/float", "Engine/alone", true);
  printRatio("  VST 3 double path", "Quillmere-VST3/double", "Engine/alone", true);
  std::printf("VST 3 path over the VST 2 path (CPU time of the VST 3 call / the VST 2 call's, minus 1)\n");
  printRatio("  float", "Quillmere-VST3/float", "Quillmere/float", true);
  printRatio("  double", "Quillmere-VST3/double", "Quillmere/double", true);
  std::printf(
      "Quillmere VST 3 float / ZamEQ2 VST 3 float, two mono instances (ratio > 1: Quillmere faster)\n");
  printRatio("  vs ZamEQ2-VST3", "Quillmere-VST3/float", "ZamEQ2-VST3/float", false);
  const double loud = reporter.Get("Quillmere/loud10s");
  const double tail = reporter.Get("Quillmere/silence10s_after_loud");
  if (loud > 0.0 && tail > 0.0) {
    std::printf("10 s silence after loud input costs %.2f x the loud input\n", loud / tail);
  }
  std::printf("\n");
  for (const BenchSubject* subject : present)
    if (!IsClap(*subject)) PrintOpenAndHeap(*subject, subject->label == "Quillmere");
  return 0;
}
