// SPDX-License-Identifier: GPL-3.0-or-later
// Reads an audio file through libsndfile as interleaved 64-bit samples.
#pragma once

#include <sndfile.h>

#include <string>

#include "SignalSource.h"

class AudioFileReader : public SignalSource {
 public:
  // Throws RenderError when the file is missing, unreadable or not audio. Read throws too, when the data is
  // damaged or ends before the length the file announces.
  explicit AudioFileReader(const std::string& path);
  ~AudioFileReader() override;
  AudioFileReader(const AudioFileReader&) = delete;
  AudioFileReader& operator=(const AudioFileReader&) = delete;

  int Channels() const override { return mInfo.channels; }
  double SampleRate() const override { return mInfo.samplerate; }
  int64_t Frames() const override { return mInfo.frames; }
  int Read(double* interleaved, int frames) override;

  int Format() const { return mInfo.format; }  // libsndfile's SF_FORMAT_* word

 private:
  std::string mPath;
  SNDFILE* mFile = nullptr;
  SF_INFO mInfo{};
  int64_t mFramesRead = 0;
  bool mSilenceReads = false;
};
