// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// One allowed pair of input and output channel counts.
struct IChannelConfig {
  int32_t mInCount = 0;
  int32_t mOutCount = 0;
};
