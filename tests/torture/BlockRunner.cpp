// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/torture/BlockRunner.h"

#include <algorithm>
#include <vector>

namespace torture {

const char* PathName(Path path) {
  switch (path) {
    case Path::kFloat:
      return "processReplacing";
    case Path::kDouble:
      return "processDoubleReplacing";
    case Path::kAccumulating:
      return "process (accumulating)";
  }
  return "?";
}

BlockRunner::BlockRunner(Instance& plug, Path path, bool inPlace, int capacity)
    : mPlug(plug), mPath(path), mInPlace(inPlace), mFloat(capacity), mDouble(capacity) {
  mFloat.Repoint(inPlace);
  mDouble.Repoint(inPlace);
}

long BlockRunner::Process(const double* const* in, double* const* out, int frames) {
  if (mPath == Path::kDouble) {
    for (int c = 0; c < 2; ++c) std::copy(in[c], in[c] + frames, mDouble.inPtr[c]);
    mPlug.ProcessDouble(mDouble.inPtr, mDouble.outPtr, frames);
    if (out)
      for (int c = 0; c < 2; ++c) std::copy(mDouble.outPtr[c], mDouble.outPtr[c] + frames, out[c]);
    return FirstBadSample(mDouble.outPtr, frames);
  }
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < frames; ++i) mFloat.inPtr[c][i] = static_cast<float>(in[c][i]);
    if (mPath == Path::kAccumulating && !mInPlace)
      std::fill(mFloat.outPtr[c], mFloat.outPtr[c] + frames, 0.0f);
  }
  if (mPath == Path::kFloat)
    mPlug.ProcessFloat(mFloat.inPtr, mFloat.outPtr, frames);
  else
    mPlug.ProcessAccumulating(mFloat.inPtr, mFloat.outPtr, frames);
  if (out)
    for (int c = 0; c < 2; ++c) std::copy(mFloat.outPtr[c], mFloat.outPtr[c] + frames, out[c]);
  return FirstBadSample(mFloat.outPtr, frames);
}

long BlockRunner::ProcessConstant(double value, int frames) {
  std::vector<double> samples(static_cast<size_t>(frames), value);
  const double* in[2] = {samples.data(), samples.data()};
  return Process(in, nullptr, frames);
}

}  // namespace torture
