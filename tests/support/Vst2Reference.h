// SPDX-License-Identifier: GPL-3.0-or-later
// The VST 2 plug-in as every other format is measured against it: an instance hosted through the host-side
// library with a host of its own, driven through its descriptor only.
#pragma once

#include <string>

#include "host/PluginModule.h"
#include "host/Vst2HostCallback.h"
#include "host/Vst2Instance.h"
#include "tests/support/TestSignal.h"

namespace test_support {

// How a Vst2Reference's host answers and where it finds the entry point.
struct Vst2ReferenceOptions {
  Vst2HostAnswers answers;
  bool keepRequests = true;  // false: the host only counts requests, as a fuzz target needs
  Vst2EntryName entry = Vst2EntryName::kEither;
};

class Vst2Reference : public Vst2Instance {
 public:
  using Options = Vst2ReferenceOptions;

  // The plug-in in the module at path, made through its entry point. The module stays loaded until the
  // process ends, so nothing made from it outlives its code.
  explicit Vst2Reference(const std::string& path, const Options& options = {});
  // An instance made by an entry point the caller found.
  Vst2Reference(VstPluginMainProc entry, const Options& options);
  // An instance made elsewhere, for example by a plug-in class built into the program.
  Vst2Reference(AEffect* effect, const Options& options);
  ~Vst2Reference() { Close(); }  // before the host goes

  // kOk when the instance lives; Problem() tells why it does not.
  HostStatus Status() const { return mStatus; }
  bool Ok() const { return mStatus == HostStatus::kOk; }
  const std::string& Problem() const { return mProblem; }
  const Vst2HostCallback& Host() const { return mHost; }
  AEffect* operator->() const { return Effect(); }

  // Sets a parameter in its own unit through the text entry, with every digit a double needs so that the
  // plug-in reads back the same bits; the plug-in's answer.
  VstIntPtr SetExactValue(int index, double value);

 private:
  Vst2HostCallback mHost;
  PluginModule mModule;
  HostStatus mStatus = HostStatus::kNoInstance;
  std::string mProblem;
};

// The text with every digit a double needs: a VST 2 text entry reads back the same bits.
std::string ExactText(double value);

// One processReplacing or processDoubleReplacing call, by the sample type.
template <class Sample>
void ProcessBlock(Vst2Instance& plug, Sample** inputs, Sample** outputs, int frames);

// The input through the plug-in in blocks of blockSize frames (the last one shorter).
template <class Sample>
Stereo<Sample> ProcessInBlocks(Vst2Instance& plug, const Stereo<Sample>& input, int blockSize);

}  // namespace test_support
