// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// One short MIDI message.
struct IMidiMessage {
  int32_t mOffset = 0;  // frames into the current block
  uint8_t mStatus = 0;
  uint8_t mData1 = 0;
  uint8_t mData2 = 0;
};

// One system-exclusive message; the bytes belong to the caller and live only for the call that carries them.
struct ISysExMessage {
  int32_t mOffset = 0;
  int32_t mSize = 0;
  const uint8_t* mData = nullptr;
};
