// SPDX-License-Identifier: GPL-3.0-or-later
// A plug-in file of each format loaded as that format's hosts load it and run on the two channels of a stereo
// track, one block at a time. Modules stay loaded until the process ends, as hosts keep libraries that may
// hold process-wide state. Members close in reverse order: the instances first.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/PluginModule.h"
#include "host/Vst2HostCallback.h"
#include "host/Vst2Instance.h"
#include "tests/hosts/ClapInstance.h"
#include "tests/hosts/Lv2Host.h"
#include "tests/hosts/Vst3Host.h"

// VST 2: the module's entry point with a host of the answers given.
struct StereoVst2 {
  explicit StereoVst2(Vst2HostAnswers answers = {}, bool keepRequests = true)
      : host(std::move(answers), keepRequests) {}
  // Opens the module and makes the instance; "" when that worked, else why not.
  std::string Load(const std::string& path);
  void Process(float** inputs, float** outputs, int frames) {
    instance.ProcessFloat(inputs, outputs, frames);
  }
  void Process(double** inputs, double** outputs, int frames) {
    instance.ProcessDouble(inputs, outputs, frames);
  }

  PluginModule module;
  Vst2HostCallback host;
  Vst2Instance instance;
};

// CLAP: the module's clap_entry, the factory's first plug-in.
struct StereoClap {
  // Opens the module and makes the plug-in; "" when that worked, else why not.
  std::string Load(const std::string& path);
  template <class Sample>
  void Process(Sample** inputs, Sample** outputs, int frames) {
    instance.Process(inputs, outputs, static_cast<uint32_t>(frames));
  }

  PluginModule module;
  ClapHost host;
  ClapInstance instance;
};

// VST 3: the bundle's first audio effect. A mono effect runs as two instances, one per channel, as hosts run
// it on a stereo track.
class StereoVst3 {
 public:
  // Opens the bundle, makes the instances and starts them at sampleRate (Hz) for blocks of at most maxBlock
  // frames of sampleSize (kSample32 or kSample64); "" when that worked, else why not.
  std::string Load(const std::string& bundle, double sampleRate, int maxBlock, Steinberg::int32 sampleSize);
  // A point at the start of the next block, for every instance.
  void SetAtNextBlock(Steinberg::Vst::ParamID id, double normalized) {
    mNext.Add(id, 0, normalized);
    mNextPending = true;
  }
  // One block: one stereo instance, or one mono instance per channel.
  template <class Sample>
  void Process(Sample** inputs, Sample** outputs, int frames) {
    Steinberg::Vst::IParameterChanges* changes = mNextPending ? &mNext : nullptr;
    for (int k = 0; k < mCount; ++k) {
      if constexpr (sizeof(Sample) == sizeof(float)) {
        mInstances[k].ProcessFloat(inputs + k, outputs + k, frames, changes);
      } else {
        mInstances[k].ProcessDouble(inputs + k, outputs + k, frames, changes);
      }
    }
    if (changes) {
      mNext.Clear();
      mNextPending = false;
    }
  }
  int InstanceCount() const { return mCount; }
  Vst3Instance& Instance(int k) { return mInstances[k]; }

 private:
  Vst3Module mModule;
  Vst3HostApplication mApplication;
  Vst3ComponentHandler mHandler;
  Vst3Instance mInstances[2];
  int mCount = 0;
  Vst3ParameterChanges mNext;
  bool mNextPending = false;  // whether mNext still waits for its block
};

// LV2 through lilv: the block length offered as an option, the audio ports connected again before each run.
struct StereoLv2 {
  // Reads the bundle folder (or, when it is empty, every installed bundle), instantiates the plug-in with
  // this URI at sampleRate (Hz) for blocks of at most maxBlock frames, sets the controls (each in its own
  // unit) and activates it; "" when that worked, else why not (also for a plug-in that is not stereo).
  std::string Load(const std::string& bundle, const std::string& uri, double sampleRate, int maxBlock,
                   const std::vector<std::pair<std::string, float>>& controls = {});
  void Process(float** inputs, float** outputs, int frames) {
    host.ConnectAudio(inputs, outputs);
    host.Run(static_cast<uint32_t>(frames));
  }

  Lv2Host host;
};
