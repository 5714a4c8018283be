// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioFileReader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "RenderError.h"

AudioFileReader::AudioFileReader(const std::string& path) : mPath(path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) throw RenderError("cannot read " + path + ": " + std::strerror(errno));
  if (S_ISDIR(st.st_mode)) throw RenderError("cannot read " + path + ": it is a folder");
  if (access(path.c_str(), R_OK) != 0) throw RenderError("cannot read " + path + ": " + std::strerror(errno));

  mFile = sf_open(path.c_str(), SFM_READ, &mInfo);
  if (mFile == nullptr)
    throw RenderError(path + " is not an audio file in a format this program reads (" + sf_strerror(nullptr) +
                      ")");
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
}

AudioFileReader::~AudioFileReader() {
  if (mFile != nullptr) sf_close(mFile);
}

int AudioFileReader::Read(double* interleaved, int frames) {
  const sf_count_t got = sf_readf_double(mFile, interleaved, frames);
  if (got < frames && sf_error(mFile) != SF_ERR_NO_ERROR)
    throw RenderError("cannot read " + mPath + ": " + sf_strerror(mFile));
  return static_cast<int>(got);
}
