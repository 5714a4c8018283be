// SPDX-License-Identifier: GPL-3.0-or-later
// The bit-for-bit comparison of two stereo renders.
#pragma once

#include <string>

#include "tests/support/TestSignal.h"

namespace test_support {

// "" when actual and expected hold the same number of frames with the same bits; otherwise the first frame
// and channel that differ with both values ("frame 812, channel 1: 0.25 (0x1p-2) against ..."), or the two
// lengths.
template <class Sample>
std::string BitDifference(const Stereo<Sample>& actual, const Stereo<Sample>& expected);

// The largest magnitude in a render, and whether every sample is finite.
template <class Sample>
double Loudest(const Stereo<Sample>& render);
template <class Sample>
bool AllFinite(const Stereo<Sample>& render);

}  // namespace test_support
