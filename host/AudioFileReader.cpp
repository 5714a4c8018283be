// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioFileReader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "RenderError.h"
#include "StandardError.h"

namespace {

std::string Seconds(int64_t frames, int sampleRate) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.2f s", static_cast<double>(frames) / sampleRate);
  return text;
}

}  // namespace

AudioFileReader::AudioFileReader(const std::string& path) : mPath(path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) throw RenderError("cannot read " + path + ": " + std::strerror(errno));
  if (S_ISDIR(st.st_mode)) throw RenderError("cannot read " + path + ": it is a folder");
  if (access(path.c_str(), R_OK) != 0) throw RenderError("cannot read " + path + ": " + std::strerror(errno));

  int error = SF_ERR_NO_ERROR;
  {
    // Decoders print their own warnings about damaged data; the one message is the renderer's.
    SilencedStandardError silenced;
    mFile = sf_open(path.c_str(), SFM_READ, &mInfo);
    if (mFile == nullptr) error = sf_error(nullptr);
  }
  if (mFile == nullptr) {
    if (error == SF_ERR_UNRECOGNISED_FORMAT || error == SF_ERR_UNSUPPORTED_ENCODING)
      throw RenderError(path + " is not an audio file in a format this program reads (" +
                        sf_error_number(error) + ")");
    if (error == SF_ERR_SYSTEM) throw RenderError("cannot read " + path + ": " + sf_error_number(error));
    // The type was recognised and its data could not be decoded.
    throw RenderError("cannot read " + path + ": the file is damaged");
  }
  if (mInfo.channels > 2) {
    const int channels = mInfo.channels;
    sf_close(mFile);
    mFile = nullptr;
    throw RenderError(path + " has " + std::to_string(channels) +
                      " channels; only mono and stereo files can be rendered");
  }
  if (mInfo.samplerate <= 0) {
    sf_close(mFile);
    mFile = nullptr;
    throw RenderError(path + " has no valid sample rate");
  }
  // The MPEG decoder prints about damaged frames while reading as well.
  mSilenceReads = (mInfo.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
}

AudioFileReader::~AudioFileReader() {
  if (mFile != nullptr) sf_close(mFile);
}

int AudioFileReader::Read(double* interleaved, int frames) {
  sf_count_t got = 0;
  int error = SF_ERR_NO_ERROR;
  {
    std::unique_ptr<SilencedStandardError> silenced;
    if (mSilenceReads) silenced = std::make_unique<SilencedStandardError>();
    got = sf_readf_double(mFile, interleaved, frames);
    if (got < frames) error = sf_error(mFile);
  }
  if (error == SF_ERR_SYSTEM) throw RenderError("cannot read " + mPath + ": " + sf_strerror(mFile));
  if (error != SF_ERR_NO_ERROR)
    throw RenderError("cannot read " + mPath + ": the file is damaged at " +
                      Seconds(mFramesRead + got, mInfo.samplerate));
  mFramesRead += got;
  // A decoder that stops early at damaged data reports no error; the length the file announced tells.
  if (got < frames && mInfo.frames > 0 && mInfo.frames != SF_COUNT_MAX && mFramesRead < mInfo.frames)
    throw RenderError("cannot read " + mPath + ": the file is damaged at " +
                      Seconds(mFramesRead, mInfo.samplerate) + " of the " +
                      Seconds(mInfo.frames, mInfo.samplerate) + " it announces");
  return static_cast<int>(got);
}
