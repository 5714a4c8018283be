// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/vst3/Vst3Driver.h"

#include <algorithm>

using namespace Steinberg;
using namespace Steinberg::Vst;
using test_support::Change;

Vst3Driver::Vst3Driver(int32 sampleSize) : mSampleSize(sampleSize) {
  if (mModule.Open(QUILLMERE_VST3_BUNDLE) != HostStatus::kOk) {
    mError = "cannot open " + std::string(QUILLMERE_VST3_BUNDLE) + ": " + mModule.Error();
    return;
  }
  TUID cid;
  if (!mModule.FindAudioEffect(cid)) {
    mError = "no audio effect class";
    return;
  }
  if (mInstance.Create(mModule, cid, mApplication, mHandler) != HostStatus::kOk) mError = mInstance.Error();
}

bool Vst3Driver::Start(double rate, int maxBlock) {
  if (!mStarted) {
    mStarted = true;
    return mInstance.Start(rate, maxBlock, mSampleSize) == kResultOk;
  }
  return mInstance.Setup(rate, maxBlock, mSampleSize) == kResultOk &&
         mInstance.SetActive(true) == kResultOk && mInstance.SetProcessing(true) == kResultOk;
}

void Vst3Driver::Stop() {
  mInstance.SetProcessing(false);
  mInstance.SetActive(false);
}

void Vst3Driver::Reset() {
  mInstance.SetActive(false);
  mInstance.SetActive(true);
}

void Vst3Driver::Set(int param, double value) { mPending.push_back({param, 0, value}); }

void Vst3Driver::SetOnReference(test_support::Vst2Reference& reference, int param, double value) {
  reference.SetParameter(param, static_cast<float>(std::min(std::max(value, 0.0), 1.0)));
}

template <class Sample>
bool Vst3Driver::ProcessChanges(Sample** inputs, Sample** outputs, int frames,
                                const std::vector<Change>& changes) {
  Vst3ParameterChanges points;
  std::vector<Change> all = mPending;
  mPending.clear();
  all.insert(all.end(), changes.begin(), changes.end());
  for (const Change& c : all) {
    if (c.newQueue) {
      int32 index;
      points.AddSeparateQueue(static_cast<ParamID>(c.param)).addPoint(c.offset, c.value, index);
    } else {
      points.Add(static_cast<ParamID>(c.param), c.offset, c.value);
    }
  }
  IParameterChanges* given = all.empty() ? nullptr : &points;
  if constexpr (sizeof(Sample) == sizeof(float)) {
    return mInstance.ProcessFloat(inputs, outputs, frames, given) == kResultOk;
  } else {
    return mInstance.ProcessDouble(inputs, outputs, frames, given) == kResultOk;
  }
}

bool Vst3Driver::Process(float** inputs, float** outputs, int frames, const std::vector<Change>& changes) {
  return ProcessChanges(inputs, outputs, frames, changes);
}

bool Vst3Driver::Process(double** inputs, double** outputs, int frames, const std::vector<Change>& changes) {
  return ProcessChanges(inputs, outputs, frames, changes);
}

bool Vst3Driver::SaveState(std::vector<uint8_t>* bytes, size_t) {
  *bytes = mInstance.GetState();
  return !bytes->empty();
}

bool Vst3Driver::LoadState(const std::vector<uint8_t>& bytes, size_t bytesPerCall) {
  return mInstance.SetState(bytes, static_cast<int>(bytesPerCall)) == kResultOk;
}
