// SPDX-License-Identifier: GPL-3.0-or-later
// A plug-in format as the cross-format tests drive it, and a run of the same host steps through a format and
// through the VST 2 plug-in side by side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/SameBits.h"
#include "tests/support/TestSignal.h"
#include "tests/support/Vst2Reference.h"

namespace test_support {

// A parameter change inside a block: from frame offset on the parameter takes value. newQueue asks a format
// that groups changes per parameter for a queue of its own.
struct Change {
  int param;
  int offset;
  double value;
  bool newQueue = false;
};

// Maxima for FormatDriver::Start that name hosts announcing none: one that offers no extensions at all, and
// one that offers some but no block lengths (an LV2 host with the URI map and no options).
constexpr int kHostWithoutFeatures = -1;
constexpr int kHostWithoutBlockLengths = -2;

// One format's plug-in, loaded through its entry point and driven as its hosts drive it. Values are in the
// format's own terms (normalised for VST 3, the parameter's unit for CLAP and LV2).
class FormatDriver {
 public:
  virtual ~FormatDriver() = default;
  // Loads the module and makes the plug-in; "" when that worked, else why not.
  virtual std::string Load() = 0;
  // Activates and starts processing at rate (Hz) with blocks of at most maxBlock frames announced (or a host
  // of the kinds above); again after Stop, or while started.
  virtual bool Start(double rate, int maxBlock) = 0;
  virtual void Stop() = 0;
  // The format's way of resetting a running plug-in.
  virtual void Reset() = 0;
  // This format's value for a fraction (0 to 1) of a parameter's range.
  virtual double ValueAt(int param, double fraction) = 0;
  // A change between blocks.
  virtual void Set(int param, double value) = 0;
  // The same value given to the VST 2 plug-in, as a host of both formats would give it.
  virtual void SetOnReference(Vst2Reference& reference, int param, double value) = 0;
  // One block with changes inside it; false when the plug-in reports a failure.
  virtual bool Process(float** inputs, float** outputs, int frames, const std::vector<Change>& changes) = 0;
  virtual bool Process(double** inputs, double** outputs, int frames, const std::vector<Change>& changes) = 0;
  // The state through streams that move at most bytesPerCall bytes a call (0: any number); false when the
  // plug-in fails or the format keeps no state.
  virtual bool SaveState(std::vector<uint8_t>* bytes, size_t bytesPerCall = 0) = 0;
  virtual bool LoadState(const std::vector<uint8_t>& bytes, size_t bytesPerCall = 0) = 0;
};

// One host step. Values are fractions of the parameter's range (see FormatDriver::ValueAt) unless raw.
struct Step {
  enum Kind { kStart, kStop, kReset, kSet, kBlock } kind;
  double rate = 0.0;                       // kStart, Hz
  int frames = 0;                          // kStart: the announced maximum; kBlock: the block's length
  int referenceBlock = 0;                  // kStart: the VST 2 plug-in's block size, when not frames
  int param = 0;                           // kSet
  double value = 0.0;                      // kSet
  bool raw = false;                        // value and the changes' values are the format's own
  std::vector<Change> changes = {};        // kBlock
  std::vector<Step> referencePieces = {};  // kBlock: kSet and kBlock steps the VST 2 plug-in plays instead
};

inline Step Start(double rate, int maxBlock, int referenceBlock = 0) {
  return {Step::kStart, rate, maxBlock, referenceBlock};
}
inline Step Stop() { return {Step::kStop}; }
inline Step Reset() { return {Step::kReset}; }
inline Step Set(int param, double fraction) { return {Step::kSet, 0.0, 0, 0, param, fraction}; }
inline Step SetRaw(int param, double value) { return {Step::kSet, 0.0, 0, 0, param, value, true}; }
inline Step Block(int frames, std::vector<Change> changes = {}, bool raw = false) {
  return {Step::kBlock, 0.0, frames, 0, 0, 0.0, raw, std::move(changes)};
}
// Blocks cycling through sizes until total frames are reached.
std::vector<Step> Blocks(const std::vector<int>& sizes, int total);
std::vector<Step> Join(const std::vector<std::vector<Step>>& parts);
int TotalFrames(const std::vector<Step>& steps);

// The same steps through a format and through the VST 2 plug-in, on the same input, appending both outputs.
// The reference is opened here; a change inside a block splits the VST 2 block where it takes effect (at its
// offset, held to the block and to the changes before it), unless its parameter is unknown or its value NaN,
// which every format ignores.
template <class Sample>
class SideBySide {
 public:
  SideBySide(FormatDriver& format, Vst2Reference& reference, const Stereo<double>& signal,
             bool inPlace = false);
  void Play(const std::vector<Step>& steps);
  // What went wrong in a step (a refused start or block), or "".
  const std::string& Problem() const { return mProblem; }
  const Stereo<Sample>& FormatOutput() const { return mFormatOut; }
  const Stereo<Sample>& ReferenceOutput() const { return mReferenceOut; }
  std::string Difference() const { return BitDifference(mFormatOut, mReferenceOut); }

 private:
  void PlayBlock(const Step& step);
  void ReferenceBlock(int frames, bool evenEmpty = false);
  void ReferenceSet(int param, double value);

  FormatDriver& mFormat;
  Vst2Reference& mReference;
  const Stereo<double>& mSignal;
  bool mInPlace;
  size_t mFormatAt = 0, mReferenceAt = 0;
  Stereo<Sample> mFormatOut, mReferenceOut;
  std::string mProblem;
};

}  // namespace test_support
