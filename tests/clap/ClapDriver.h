// SPDX-License-Identifier: GPL-3.0-or-later
// The built CLAP plug-in, made through the clap_entry its module exports, as the cross-format tests drive it:
// values are in the parameters' units, changes inside a block are parameter events (sent with events of other
// types and spaces, which must change nothing), the state is the state extension's.
#pragma once

#include <string>
#include <vector>

#include "tests/hosts/ClapInstance.h"
#include "host/PluginModule.h"
#include "tests/support/FormatDriver.h"

struct ClapSubject {
  PluginModule module;
  ClapHost host;
  ClapInstance instance;
  // Loads the module and creates the instance; "" when that worked, else why not.
  std::string Load(const std::string& path = QUILLMERE_CLAP_PATH);
};

class ClapDriver : public test_support::FormatDriver {
 public:
  ClapInstance& Instance() { return mClap.instance; }

  std::string Load() override { return mClap.Load(); }
  // activate(rate, 1, maxBlock) and start_processing.
  bool Start(double rate, int maxBlock) override;
  // stop_processing and deactivate.
  void Stop() override;
  void Reset() override { mClap.instance.Reset(); }
  double ValueAt(int param, double fraction) override;
  // Flushed at once while the plug-in does not process, else an event at time 0 of the next block.
  void Set(int param, double value) override;
  // The text of the exact value.
  void SetOnReference(test_support::Vst2Reference& reference, int param, double value) override;
  // False also when the plug-in pushes an output event.
  bool Process(float** inputs, float** outputs, int frames,
               const std::vector<test_support::Change>& changes) override;
  bool Process(double** inputs, double** outputs, int frames,
               const std::vector<test_support::Change>& changes) override;
  bool SaveState(std::vector<uint8_t>* bytes, size_t bytesPerCall = 0) override;
  bool LoadState(const std::vector<uint8_t>& bytes, size_t bytesPerCall = 0) override;

 private:
  template <class Sample>
  bool ProcessChanges(Sample** inputs, Sample** outputs, int frames,
                      const std::vector<test_support::Change>& changes);

  ClapSubject mClap;
  std::vector<test_support::Change> mPending;
};
