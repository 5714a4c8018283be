// SPDX-License-Identifier: GPL-3.0-or-later
// What the CLAP tests share: the built CLAP and VST 2 plug-ins loaded as hosts load them, a test signal, and
// settings given to both formats so that they hold bit-identical values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/PluginModule.h"
#include "host/Vst2HostCallback.h"
#include "host/Vst2Instance.h"
#include "tests/hosts/ClapInstance.h"

namespace clap_test {

// The CLAP plug-in made through the clap_entry its module exports.
struct ClapSubject {
  PluginModule module;
  ClapHost host;
  ClapInstance instance;
  // Loads the module and creates the instance; "" when that worked, else why not.
  std::string Load(const std::string& path = QUILLMERE_CLAP_PATH);
};

// The VST 2 plug-in, the reference every CLAP result is compared with.
struct Vst2Subject {
  PluginModule module;
  Vst2HostCallback host;
  Vst2Instance instance;
  std::string Load(const std::string& path = QUILLMERE_VST2_PATH);
};

// A parameter value in its own unit.
struct Setting {
  clap_id id;
  double value;
};

// The VST 2 text entry of value: every digit a double needs, so the plug-in reads back the same bits.
std::string ExactText(double value);
// Gives the VST 2 plug-in each setting by its text entry.
void Apply(Vst2Instance& vst2, const std::vector<Setting>& settings);
// The same settings as CLAP events at time (for a block or a flush).
void AddEvents(ClapEventList& events, const std::vector<Setting>& settings, uint32_t time = 0);

// Two channels of a deterministic signal (noise and two sines, below full scale).
struct Signal {
  std::vector<double> left, right;
  explicit Signal(size_t frames, uint32_t seed = 1);
  std::vector<float> Float(int channel) const;
};

// The number of leading samples in which two channels agree bit for bit; a.size() when all do.
template <class Sample>
size_t SameBitsUpTo(const std::vector<Sample>& a, const std::vector<Sample>& b);

}  // namespace clap_test
