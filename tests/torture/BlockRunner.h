// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tests/torture/TortureHost.h"

namespace torture {

enum class Path { kFloat, kDouble, kAccumulating };
const char* PathName(Path path);

// Feeds one instance through one of its audio callbacks, in place (outputs are the input buffers) or with
// separate outputs, converting to and from the callback's sample type. Accumulating outputs start at 0 per
// block.
class BlockRunner {
 public:
  BlockRunner(Instance& plug, Path path, bool inPlace, int capacity);

  // in[c] holds frames samples (frames <= capacity); out[c], when out is given, receives the output widened
  // to double. Answers the position of the first NaN, infinity or subnormal in the output (channel-major), or
  // -1.
  long Process(const double* const* in, double* const* out, int frames);
  // The same with every input sample equal to value.
  long ProcessConstant(double value, int frames);

  Instance& Plug() { return mPlug; }

 private:
  Instance& mPlug;
  Path mPath;
  bool mInPlace;
  StereoBuffers<float> mFloat;
  StereoBuffers<double> mDouble;
};

}  // namespace torture
