// SPDX-License-Identifier: GPL-3.0-or-later
// quillmere-vst-check PLUGIN OUTDIR [CHUNK]
// Loads a VST 2 plug-in library, holds the fixed host conversation with it in 32-bit and in 64-bit samples,
// makes two instances from two threads at once and one through "main", optionally loads a program chunk saved
// elsewhere, and writes what it rendered and read back into OUTDIR (raw little-endian samples, chunk bytes,
// parameter texts).
// Exits 1 when the plug-in misbehaved, with the reasons on stderr and in OUTDIR/problems.txt.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "ConcurrentRun.h"
#include "HostConversation.h"
#include "host/PluginModule.h"
#include "tests/windows/CheckFiles.h"

namespace {

using namespace check_files;

constexpr int kThreadRounds = 8;
constexpr int kThreadBlocks = 24;

void WriteFloats(const std::string& dir, const std::string& name, const std::vector<double>& samples) {
  std::vector<float> narrow(samples.begin(), samples.end());
  Write(dir, name, narrow);
}

// Each of the two threads counts itself in and waits for the other.
void Meet(std::atomic<int>& count) {
  count.fetch_add(1);
  while (count.load() < 2) LetOthersRun();
}

struct ThreadRun {
  VstPluginMainProc entry = nullptr;
  std::atomic<int>* ready = nullptr;
  std::atomic<int>* made = nullptr;
  AEffect* effect = nullptr;
  void* object = nullptr;
  std::vector<double> samples;
};

void RunInstanceOnThread(void* argument) {
  ThreadRun* run = static_cast<ThreadRun*>(argument);
  Meet(*run->ready);  // both threads call the entry point at the same moment
  CheckInstance instance(run->entry);
  run->effect = instance.plug.Effect();
  Meet(*run->made);  // both instances live before either is used or closed
  if (!instance.Problem().empty()) return;
  run->object = instance.plug.Effect()->object;
  run->samples = RunConversation(instance.plug, SampleWidth::kFloat, kThreadBlocks).samples;
}

// Two instances made on two threads at the same moment are distinct and render what one instance renders.
std::string CheckTwoThreads(VstPluginMainProc entry, const std::vector<double>& reference) {
  const size_t length = 2 * static_cast<size_t>(ConversationFrames(kThreadBlocks));
  const std::vector<double> expected(reference.begin(), reference.begin() + length);
  int distinct = 0, identical = 0;
  for (int round = 0; round < kThreadRounds; ++round) {
    std::atomic<int> ready{0}, made{0};
    ThreadRun a, b;
    a.entry = b.entry = entry;
    a.ready = b.ready = &ready;
    a.made = b.made = &made;
    if (!RunConcurrently(RunInstanceOnThread, &a, &b)) Complain("could not start two threads");
    if (a.effect && b.effect && a.effect != b.effect && a.object && b.object && a.object != b.object)
      ++distinct;
    if (a.samples == expected && b.samples == expected) ++identical;
  }
  if (distinct != kThreadRounds) Complain("instances made on two threads were not distinct");
  if (identical != kThreadRounds) Complain("instances made on two threads rendered differently");
  return "rounds " + std::to_string(kThreadRounds) + " distinct " + std::to_string(distinct) + " identical " +
         std::to_string(identical) + "\n";
}

// Hosts that look for "main" get the same plug-in; it is called with a full-width callback address, which on
// Windows lies above 2^31.
void CheckAlias(VstPluginMainProc alias, const std::vector<double>& reference) {
  CheckInstance instance(alias);
  const std::string problem = instance.Problem();
  if (!problem.empty()) {
    Complain("through main: " + problem);
    return;
  }
  const std::vector<double> samples =
      RunConversation(instance.plug, SampleWidth::kFloat, kThreadBlocks).samples;
  if (samples != std::vector<double>(reference.begin(), reference.begin() + samples.size()))
    Complain("an instance made through main renders differently");
}

void CheckWidthsAgree(const ConversationResult& single, const ConversationResult& twice) {
  double largest = 0.0;
  for (size_t i = 0; i < single.samples.size() && i < twice.samples.size(); ++i)
    largest = std::fmax(largest, std::fabs(single.samples[i] - twice.samples[i]));
  if (single.samples.size() != twice.samples.size() || !(largest <= 1e-6))
    Complain("32-bit and 64-bit renders differ by " + std::to_string(largest));
  if (single.programChunk != twice.programChunk || single.bankChunk != twice.bankChunk)
    Complain("the chunks differ between the 32-bit and the 64-bit instance");
  if (single.programChunk.empty()) Complain("effGetChunk gave no program chunk");
}

void LoadForeignChunk(VstPluginMainProc entry, const std::string& path, const std::string& dir) {
  std::vector<unsigned char> chunk;
  if (!ReadBytes(path, chunk)) {
    Complain("cannot read " + path);
    return;
  }
  CheckInstance instance(entry);
  if (!instance.Problem().empty()) return;  // already reported for the first instance
  Vst2Instance& plug = instance.plug;
  plug.Start(kCheckSampleRate, kCheckBlockSize);
  const VstIntPtr answer = plug.SetChunk(Vst2Chunk::kProgram, chunk);
  if (answer != 1) Complain("effSetChunk of " + path + " answered " + std::to_string(answer));
  const std::vector<unsigned char> saved = plug.GetChunk(Vst2Chunk::kProgram);
  Write(dir, "loaded-program.chunk", saved);
  const std::vector<float> parameters = ReadParameters(plug);
  Write(dir, "loaded-parameters.raw", parameters);
  Write(dir, "loaded-parameters.txt", DescribeParameters(plug));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: quillmere-vst-check PLUGIN OUTDIR [CHUNK]\n");
    return 2;
  }
  const std::string dir = argv[2];
  PluginModule module;
  if (module.Open(argv[1]) != HostStatus::kOk) {
    std::fprintf(stderr, "cannot load %s: %s\n", argv[1], module.Error().c_str());
    return 1;
  }
  const VstPluginMainProc entry = FindVst2Entry(module, Vst2EntryName::kVstPluginMain);
  if (!entry) Complain("no VSTPluginMain export");
  const VstPluginMainProc alias = FindVst2Entry(module, Vst2EntryName::kMain);
  if (!alias) Complain("no main export");

  if (entry) {
    ConversationResult single, twice;
    {
      CheckInstance instance(entry);
      const std::string problem = instance.Problem();
      if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
      }
      single = RunConversation(instance.plug, SampleWidth::kFloat, kCheckBlocks);
    }
    {
      CheckInstance instance(entry);
      twice = RunConversation(instance.plug, SampleWidth::kDouble, kCheckBlocks);
    }
    CheckWidthsAgree(single, twice);
    WriteFloats(dir, "render-float.raw", single.samples);
    Write(dir, "render-double.raw", twice.samples);
    Write(dir, "program.chunk", single.programChunk);
    Write(dir, "bank.chunk", single.bankChunk);
    Write(dir, "parameters.raw", single.parameters);
    Write(dir, "parameters.txt", single.parameterTexts);
    Write(dir, "threads.txt", CheckTwoThreads(entry, single.samples));
    if (alias) CheckAlias(alias, single.samples);
    if (argc == 4) LoadForeignChunk(entry, argv[3], dir);
  }

  return ReportProblems(dir);
}
