// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/FormatDriver.h"

#include <algorithm>
#include <cmath>

namespace test_support {

std::vector<Step> Blocks(const std::vector<int>& sizes, int total) {
  std::vector<Step> steps;
  for (int done = 0, i = 0; done < total; ++i) {
    const int frames = sizes[static_cast<size_t>(i) % sizes.size()];
    steps.push_back(Block(frames));
    done += frames;
  }
  return steps;
}

std::vector<Step> Join(const std::vector<std::vector<Step>>& parts) {
  std::vector<Step> steps;
  for (const auto& part : parts) steps.insert(steps.end(), part.begin(), part.end());
  return steps;
}

int TotalFrames(const std::vector<Step>& steps) {
  int total = 0;
  for (const Step& s : steps) total += s.kind == Step::kBlock ? s.frames : 0;
  return total;
}

template <class Sample>
SideBySide<Sample>::SideBySide(FormatDriver& format, Vst2Reference& reference, const Stereo<double>& signal,
                               bool inPlace)
    : mFormat(format), mReference(reference), mSignal(signal), mInPlace(inPlace) {
  mReference.Open();
}

template <class Sample>
void SideBySide<Sample>::Play(const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    switch (step.kind) {
      case Step::kStart:
        if (!mFormat.Start(step.rate, step.frames) && mProblem.empty())
          mProblem = "the plug-in does not start at " + std::to_string(step.rate) + " Hz";
        mReference.SetSampleRate(step.rate);
        mReference.SetBlockSize(step.referenceBlock > 0 ? step.referenceBlock : step.frames);
        mReference.Resume();
        break;
      case Step::kStop:
        mFormat.Stop();
        mReference.Suspend();
        break;
      case Step::kReset:
        mFormat.Reset();
        mReference.Suspend();
        mReference.Resume();
        break;
      case Step::kSet: {
        const double value = step.raw ? step.value : mFormat.ValueAt(step.param, step.value);
        mFormat.Set(step.param, value);
        ReferenceSet(step.param, value);
        break;
      }
      case Step::kBlock:
        PlayBlock(step);
        break;
    }
  }
}

template <class Sample>
void SideBySide<Sample>::PlayBlock(const Step& step) {
  std::vector<Change> changes = step.changes;
  for (Change& c : changes) c.value = step.raw ? c.value : mFormat.ValueAt(c.param, c.value);

  // Host buffers: the input, and outputs full of garbage, as every frame must be written. One frame more, so
  // that no buffer of an empty block is null.
  const size_t frames = static_cast<size_t>(step.frames);
  Stereo<Sample> in, out;
  for (int c = 0; c < 2; ++c) {
    const auto from = mSignal[c].begin() + static_cast<std::ptrdiff_t>(mFormatAt);
    in[c].assign(from, from + static_cast<std::ptrdiff_t>(frames));
    in[c].push_back(Sample(0));
    out[c].assign(frames + 1, static_cast<Sample>(1234.5));
  }
  Sample* inputs[2] = {in[0].data(), in[1].data()};
  Sample* outputs[2] = {out[0].data(), out[1].data()};
  if (!mFormat.Process(inputs, mInPlace ? inputs : outputs, step.frames, changes) && mProblem.empty())
    mProblem = "a block of " + std::to_string(step.frames) + " frames failed";
  const Stereo<Sample>& written = mInPlace ? in : out;
  for (int c = 0; c < 2; ++c)
    mFormatOut[c].insert(mFormatOut[c].end(), written[c].begin(), written[c].end() - 1);
  mFormatAt += frames;

  if (!step.referencePieces.empty()) {
    for (const Step& piece : step.referencePieces) {
      if (piece.kind == Step::kBlock) {
        ReferenceBlock(piece.frames);
      } else {
        ReferenceSet(piece.param, step.raw ? piece.value : mFormat.ValueAt(piece.param, piece.value));
      }
    }
    return;
  }
  int done = 0;
  for (const Change& c : changes) {
    if (c.param < 0 || c.param >= mReference.ParameterCount() || std::isnan(c.value)) continue;
    const int at = std::max(done, std::min(std::max(c.offset, 0), step.frames));
    ReferenceBlock(at - done);
    done = at;
    ReferenceSet(c.param, c.value);
  }
  // An empty block is an empty call on both.
  ReferenceBlock(step.frames - done, step.frames == 0);
}

template <class Sample>
void SideBySide<Sample>::ReferenceBlock(int frames, bool evenEmpty) {
  if (frames <= 0 && !evenEmpty) return;
  Stereo<Sample> in, out;
  for (int c = 0; c < 2; ++c) {
    const auto from = mSignal[c].begin() + static_cast<std::ptrdiff_t>(mReferenceAt);
    in[c].assign(from, from + frames);
    in[c].push_back(Sample(0));
    out[c].assign(static_cast<size_t>(frames) + 1, static_cast<Sample>(1234.5));
  }
  Sample* inputs[2] = {in[0].data(), in[1].data()};
  Sample* outputs[2] = {out[0].data(), out[1].data()};
  ProcessBlock(mReference, inputs, outputs, frames);
  for (int c = 0; c < 2; ++c)
    mReferenceOut[c].insert(mReferenceOut[c].end(), out[c].begin(), out[c].end() - 1);
  mReferenceAt += static_cast<size_t>(frames);
}

template <class Sample>
void SideBySide<Sample>::ReferenceSet(int param, double value) {
  if (param < 0 || param >= mReference.ParameterCount() || std::isnan(value)) return;
  mFormat.SetOnReference(mReference, param, value);
}

template class SideBySide<float>;
template class SideBySide<double>;

}  // namespace test_support
