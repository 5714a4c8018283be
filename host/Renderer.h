// SPDX-License-Identifier: GPL-3.0-or-later
// Runs one command: loads the effect, applies state and parameters, and renders
// the input (a file or the demo) into the output, or lists the parameters.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "ProgressPrinter.h"
#include "host/Vst2HostCallback.h"

class PluginModule;
class SignalSource;
class Vst2Instance;

// A render that is one file of a batch: the plug-in module is loaded once for all of them, and the batch
// shows progress, parameter values and warnings once, for all files.
struct BatchPart {
  PluginModule* mModule = nullptr;  // open; owned by the batch
  std::string mPluginPath;
  std::vector<std::string> mProtectedPaths;  // every input of the batch: never written
};

class Renderer {
 public:
  explicit Renderer(const RenderOptions& options, const BatchPart* batch = nullptr);

  // Throws RenderError; on any failure no output or state file is left behind.
  void Run();
  // Loads the effect, applies the state and the settings and prints the values they set (and any warning),
  // then closes it again: the settings a batch gives every file, checked once. Throws RenderError.
  void CheckSettings();

  // What the last Run rendered.
  const RenderSummary& Summary() const { return mSummary; }

  static bool StopRequested() { return sStopRequested.load(); }

  // Safe to call from a signal handler: the render stops at the next block.
  static void RequestStop();

  // Quillmere.so beside the executable, else the one in the build tree.
  static std::string DefaultPluginPath();

 private:
  struct LoadedEffect;

  Vst2HostAnswers HostAnswers(double sampleRate) const;
  // Opens the module (or takes the batch's), makes and opens the effect at sampleRate, checks that it can
  // process as precise as asked and gives it the loaded state, if any; whether to process in 64 bits.
  bool Prepare(LoadedEffect& loaded, double sampleRate, const std::vector<uint8_t>& loadedState);
  void LoadEffect(Vst2HostCallback& host, Vst2Instance& effect);
  void OpenEffect(Vst2Instance& effect, double sampleRate);
  // Prints the values set, and warns about value texts, when report is true.
  void ApplySettings(Vst2Instance& effect, bool report);
  void WarnAboutPartlyReadText(Vst2Instance& effect, int index, const ParamSetting& setting);
  void ListParams(Vst2Instance& effect);
  void Render(Vst2Instance& effect, SignalSource& source, bool doublePrecision, int outputFormat,
              const std::vector<uint8_t>& state);
  void WriteState(const std::vector<uint8_t>& state);

  void OpenModule(PluginModule& own);

  const RenderOptions& mOptions;
  const BatchPart* mBatch;
  PluginModule* mModule = nullptr;
  std::string mPluginPath;
  bool mReplaceOutput = false;
  RenderSummary mSummary;

  static std::atomic<bool> sStopRequested;
};
