// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioFileWriter.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

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

// True when libsndfile can write this format word; some pairs pass sf_format_check (a WAV file of MPEG
// Layer III frames) and are still refused when a file is opened for writing. Writes into memory only.
bool CanWrite(int format) {
  struct Sink {
    sf_count_t position = 0, length = 0;
  } sink;
  SF_VIRTUAL_IO io{};
  io.get_filelen = [](void* data) { return static_cast<Sink*>(data)->length; };
  io.seek = [](sf_count_t offset, int whence, void* data) {
    Sink* sink = static_cast<Sink*>(data);
    sink->position = (whence == SEEK_SET ? 0 : whence == SEEK_CUR ? sink->position : sink->length) + offset;
    return sink->position;
  };
  io.read = [](void*, sf_count_t, void*) -> sf_count_t { return 0; };
  io.write = [](const void*, sf_count_t count, void* data) {
    Sink* sink = static_cast<Sink*>(data);
    sink->position += count;
    sink->length = std::max(sink->length, sink->position);
    return count;
  };
  io.tell = [](void* data) { return static_cast<Sink*>(data)->position; };
  SF_INFO info{};
  info.format = format;
  info.channels = 2;
  info.samplerate = 44100;
  SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &sink);
  if (file == nullptr) return false;
  sf_close(file);
  return true;
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
  if (sf_format_check(&check) && CanWrite(major | sub)) return major | sub;
  const std::string container = FormatName(major, SFC_GET_FORMAT_INFO);
  const std::string encoding = FormatName(sub, SFC_GET_FORMAT_INFO);
  if (requested == EOutputFormat::kSameAsInput) {
    std::vector<std::string> names;
    for (const auto& [name, choice] : {std::pair<const char*, int>{"float", SF_FORMAT_FLOAT},
                                       {"pcm24", SF_FORMAT_PCM_24},
                                       {"pcm16", SF_FORMAT_PCM_16}})
      if (CanWrite(major | choice)) names.push_back(name);
    std::string choices;
    for (size_t i = 0; i < names.size(); ++i)
      choices += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    throw RenderError("cannot write " + path + ": a " + container +
                      " file cannot hold the input's encoding (" + encoding +
                      "); choose a sample format with --format " + choices);
  }
  throw RenderError("a " + container + " file cannot hold " + encoding +
                    " samples; choose another --format or file type");
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
