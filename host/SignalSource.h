// SPDX-License-Identifier: GPL-3.0-or-later
// Where the renderer's input frames come from: an audio file or the generated demo.
#pragma once

#include <cstdint>

class SignalSource {
 public:
  virtual ~SignalSource() = default;

  virtual int Channels() const = 0;
  virtual double SampleRate() const = 0;  // Hz
  virtual int64_t Frames() const = 0;     // total length, as announced
  // Fills up to `frames` interleaved frames; answers how many it gave, 0 at the end.
  virtual int Read(double* interleaved, int frames) = 0;
};
