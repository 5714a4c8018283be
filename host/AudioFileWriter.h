// SPDX-License-Identifier: GPL-3.0-or-later
// Writes interleaved 64-bit samples through libsndfile into a temporary file
// that becomes the output only when Commit is called.
#pragma once

#include <sndfile.h>

#include <string>

#include "CommandLine.h"
#include "TemporaryFile.h"

class AudioFileWriter {
 public:
  // `format` is a complete libsndfile format word (see ChooseFormat).
  AudioFileWriter(const std::string& path, int format, int sampleRate, int channels, bool replace,
                  const std::string& inputPath);
  ~AudioFileWriter();
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  void Write(const double* interleaved, int frames);
  void Commit();

  // The container follows the output's extension (the input's when it has none);
  // the sample format is `requested`, or the input's. Throws RenderError when the
  // two do not go together.
  static int ChooseFormat(const std::string& path, int inputFormat, EOutputFormat requested);
  static std::string DescribeFormat(int format);  // for example "WAV, 24 bit"

 private:
  TemporaryFile mTemp;
  SNDFILE* mFile = nullptr;
};
