// SPDX-License-Identifier: GPL-3.0-or-later
// The built VST 3 bundle, opened and instantiated through GetPluginFactory as hosts do, as the cross-format
// tests drive it: values are normalised, changes inside a block are parameter points, the state is the
// component's.
#pragma once

#include <string>
#include <vector>

#include "tests/hosts/Vst3Host.h"
#include "tests/support/FormatDriver.h"

class Vst3Driver : public test_support::FormatDriver {
 public:
  // Blocks of sampleSize (kSample32 or kSample64); the bundle is opened and the effect made at once.
  explicit Vst3Driver(Steinberg::int32 sampleSize = Steinberg::Vst::kSample32);
  bool Ok() const { return mInstance.IsValid(); }
  const std::string& Error() const { return mError; }
  Vst3Instance& Instance() { return mInstance; }
  Vst3Module& Module() { return mModule; }
  Vst3ComponentHandler& Handler() { return mHandler; }
  Vst3HostApplication& Application() { return mApplication; }

  std::string Load() override { return Ok() ? "" : mError; }
  bool Start(double rate, int maxBlock) override;
  void Stop() override;
  // setActive(false) and setActive(true).
  void Reset() override;
  double ValueAt(int, double fraction) override { return fraction; }
  // A point at offset 0 of the next block.
  void Set(int param, double value) override;
  // setParameter with the value held to 0 ... 1 and passed through float, as the plug-in takes a point.
  void SetOnReference(test_support::Vst2Reference& reference, int param, double value) override;
  bool Process(float** inputs, float** outputs, int frames,
               const std::vector<test_support::Change>& changes) override;
  bool Process(double** inputs, double** outputs, int frames,
               const std::vector<test_support::Change>& changes) override;
  // getState gives the bytes whole; bytesPerCall applies to setState's reads.
  bool SaveState(std::vector<uint8_t>* bytes, size_t bytesPerCall = 0) override;
  bool LoadState(const std::vector<uint8_t>& bytes, size_t bytesPerCall = 0) override;

 private:
  template <class Sample>
  bool ProcessChanges(Sample** inputs, Sample** outputs, int frames,
                      const std::vector<test_support::Change>& changes);

  Vst3Module mModule;
  Vst3HostApplication mApplication;
  Vst3ComponentHandler mHandler;
  Vst3Instance mInstance;
  Steinberg::int32 mSampleSize;
  bool mStarted = false;
  std::vector<test_support::Change> mPending;
  std::string mError;
};
