// SPDX-License-Identifier: GPL-3.0-or-later
// The built LV2 bundle through lilv as the cross-format tests drive it: values are control port values in the
// parameters' units, set between runs; the plug-in keeps no state beyond its ports.
#pragma once

#include <string>
#include <vector>

#include "tests/hosts/Lv2Host.h"
#include "tests/support/FormatDriver.h"

class Lv2Driver : public test_support::FormatDriver {
 public:
  Lv2Host& Host() { return mHost; }

  std::string Load() override;
  // The first start instantiates at rate with the features maxBlock names (options with that maximum, none
  // for kHostWithoutFeatures, the URI map only for kHostWithoutBlockLengths) and activates; later ones only
  // activate, as LV2 fixes the rate at instantiation.
  bool Start(double rate, int maxBlock) override;
  void Stop() override { mHost.Deactivate(); }
  // deactivate and activate.
  void Reset() override;
  double ValueAt(int param, double fraction) override;
  // The control port's value, as a float; read at the next run.
  void Set(int param, double value) override;
  // The text of the exact float value.
  void SetOnReference(test_support::Vst2Reference& reference, int param, double value) override;
  // Runs with no changes inside: controls change between runs only.
  bool Process(float** inputs, float** outputs, int frames,
               const std::vector<test_support::Change>& changes) override;
  bool Process(double**, double**, int, const std::vector<test_support::Change>&) override { return false; }
  bool SaveState(std::vector<uint8_t>*, size_t) override { return false; }
  bool LoadState(const std::vector<uint8_t>&, size_t) override { return false; }

 private:
  Lv2Host mHost;
  std::vector<std::pair<int, float>> mPending;  // controls set before the instance exists
};
