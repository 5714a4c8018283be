// SPDX-License-Identifier: GPL-3.0-or-later
// The built VST 3 bundle and the built VST 2 plug-in side by side, each loaded and driven as a host does, and
// the test signal both are fed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/PluginModule.h"
#include "host/Vst2HostCallback.h"
#include "host/Vst2Instance.h"
#include "tests/hosts/Vst3Host.h"

namespace vst3test {

// Stereo test signal: noise with a low sine under it, peaks near full scale, so the limiter works too.
struct Signal {
  std::vector<double> channels[2];
  explicit Signal(int frames, unsigned seed = 7);
  std::vector<float> FloatChannel(int c) const;
};

// The VST 3 bundle, opened and instantiated; Start as a host starts it.
class Vst3Side {
 public:
  Vst3Side();
  bool Ok() const { return mInstance.IsValid(); }
  const std::string& Error() const { return mError; }
  Vst3Instance& Instance() { return mInstance; }
  Vst3Module& Module() { return mModule; }
  Vst3ComponentHandler& Handler() { return mHandler; }
  Vst3HostApplication& Application() { return mApplication; }

 private:
  Vst3Module mModule;
  Vst3HostApplication mApplication;
  Vst3ComponentHandler mHandler;
  Vst3Instance mInstance;
  std::string mError;
};

// The VST 2 plug-in, opened; Instance().Start as a host starts it.
class Vst2Side {
 public:
  Vst2Side();
  bool Ok() const { return mInstance.IsValid(); }
  const std::string& Error() const { return mError; }
  Vst2Instance& Instance() { return mInstance; }

 private:
  PluginModule mModule;
  Vst2HostCallback mHost;
  Vst2Instance mInstance;
  std::string mError;
};

// One step of a host conversation: process the next frames, or set a parameter (a VST 2 setParameter between
// calls; a VST 3 point).
struct Step {
  enum Kind { kProcess, kSet } kind;
  int frames;  // kProcess
  int param;   // kSet
  float value;
};
inline Step Process(int frames) { return {Step::kProcess, frames, 0, 0.0f}; }
inline Step Set(int param, float value) { return {Step::kSet, 0, param, value}; }

// Two output channels, appended block by block.
template <class Sample>
struct Stereo {
  std::vector<Sample> channels[2];
  void Append(Sample* const* block, int frames);
  size_t Frames() const { return channels[0].size(); }
};

// Processes the steps on the VST 2 plug-in (processReplacing or processDoubleReplacing), taking the signal's
// frames from position on and moving position past them.
template <class Sample>
void PlayVst2(Vst2Instance& vst2, const Signal& signal, const std::vector<Step>& steps, int& position,
              Stereo<Sample>& out);

// One VST 3 process call of frames frames of the signal from position on, with changes as its parameter
// points.
template <class Sample>
Steinberg::tresult ProcessVst3(Vst3Instance& vst3, const Signal& signal, int& position, int frames,
                               Steinberg::Vst::IParameterChanges* changes, Stereo<Sample>& out);

// "" when both runs hold the same bits; otherwise where and how they first differ.
template <class Sample>
std::string Difference(const Stereo<Sample>& a, const Stereo<Sample>& b);

}  // namespace vst3test
