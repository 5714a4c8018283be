// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioFileWriter.h"

#include <strings.h>

#include "RenderError.h"

namespace {

std::string ExtensionOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return path.substr(dot + 1);
}

int MajorFormatForExtension(const std::string& extension) {
  if (strcasecmp(extension.c_str(), "aif") == 0) return SF_FORMAT_AIFF;
  int count = 0;
  sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof(count));
  for (int i = 0; i < count; ++i) {
    SF_FORMAT_INFO info{};
    info.format = i;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof(info));
    if (info.extension != nullptr && strcasecmp(extension.c_str(), info.extension) == 0) return info.format;
  }
  return 0;
}

std::string FormatName(int format, int command) {
  SF_FORMAT_INFO info{};
  info.format = format;
  if (sf_command(nullptr, command, &info, sizeof(info)) != 0 || info.name == nullptr) return "unknown";
  return info.name;
}

}  // namespace

int AudioFileWriter::ChooseFormat(const std::string& path, int inputFormat, EOutputFormat requested) {
  int major = inputFormat & SF_FORMAT_TYPEMASK;
  const std::string extension = ExtensionOf(path);
  if (!extension.empty()) {
    major = MajorFormatForExtension(extension);
    if (major == 0)
      throw RenderError("cannot tell the output file type from \"." + extension +
                        "\"; name OUTPUT .wav, .aiff or .flac");
  }
  int sub = inputFormat & SF_FORMAT_SUBMASK;
  switch (requested) {
    case EOutputFormat::kFloat:
      sub = SF_FORMAT_FLOAT;
      break;
    case EOutputFormat::kPcm16:
      sub = SF_FORMAT_PCM_16;
      break;
    case EOutputFormat::kPcm24:
      sub = SF_FORMAT_PCM_24;
      break;
    case EOutputFormat::kSameAsInput:
      break;
  }
  SF_INFO check{};
  check.format = major | sub;
  check.channels = 2;
  check.samplerate = 44100;
  if (!sf_format_check(&check))
    throw RenderError("a " + FormatName(major, SFC_GET_FORMAT_INFO) + " file cannot hold " +
                      FormatName(sub, SFC_GET_FORMAT_INFO) +
                      " samples; choose another --format or file type");
  return major | sub;
}

std::string AudioFileWriter::DescribeFormat(int format) {
  return FormatName(format & SF_FORMAT_TYPEMASK, SFC_GET_FORMAT_INFO) + ", " +
         FormatName(format & SF_FORMAT_SUBMASK, SFC_GET_FORMAT_INFO);
}

AudioFileWriter::AudioFileWriter(const std::string& path, int format, int sampleRate, int channels,
                                 bool replace, const std::string& inputPath)
    : mTemp(path, replace, inputPath) {
  SF_INFO info{};
  info.format = format;
  info.samplerate = sampleRate;
  info.channels = channels;
  mFile = sf_open_fd(mTemp.Descriptor(), SFM_WRITE, &info, SF_FALSE);
  if (mFile == nullptr) throw RenderError("cannot write " + path + ": " + sf_strerror(nullptr));
  // Samples beyond full scale are clipped instead of wrapping around in integer formats.
  sf_command(mFile, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioFileWriter::~AudioFileWriter() {
  if (mFile != nullptr) sf_close(mFile);
}

void AudioFileWriter::Write(const double* interleaved, int frames) {
  if (sf_writef_double(mFile, interleaved, frames) != frames)
    throw RenderError("cannot write " + mTemp.FinalPath() + ": " + sf_strerror(mFile));
}

void AudioFileWriter::Commit() {
  SNDFILE* file = mFile;
  mFile = nullptr;
  if (sf_close(file) != 0)
    throw RenderError("cannot write " + mTemp.FinalPath() + ": " + sf_strerror(nullptr));
  mTemp.Commit();
}
