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

class PluginModule;
class SignalSource;
class Vst2HostCallback;
class Vst2Instance;

class Renderer {
 public:
  explicit Renderer(const RenderOptions& options);

  // Throws RenderError; on any failure no output or state file is left behind.
  void Run();

  // Safe to call from a signal handler: the render stops at the next block.
  static void RequestStop();

  // Quillmere.so beside the executable, else the one in the build tree.
  static std::string DefaultPluginPath();

 private:
  void LoadEffect(PluginModule& module, Vst2HostCallback& host, Vst2Instance& effect);
  void OpenEffect(Vst2Instance& effect, double sampleRate);
  void ApplySettings(Vst2Instance& effect);
  void WarnAboutPartlyReadText(Vst2Instance& effect, int index, const ParamSetting& setting);
  void ListParams(Vst2Instance& effect);
  void Render(Vst2Instance& effect, SignalSource& source, bool doublePrecision, int outputFormat,
              const std::vector<uint8_t>& state);
  void WriteState(const std::vector<uint8_t>& state);

  const RenderOptions& mOptions;
  std::string mPluginPath;
  bool mReplaceOutput = false;

  static std::atomic<bool> sStopRequested;
};
