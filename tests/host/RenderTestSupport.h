// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the renderer's end-to-end tests: a scratch folder, running the
// executable, writing and reading audio files, and the command line's refusals.
#pragma once

#include <sndfile.h>

#include <string>
#include <utility>
#include <vector>

// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return mPath; }
  std::string operator/(const std::string& name) const { return mPath + "/" + name; }
  std::vector<std::string> Entries() const;  // sorted names, hidden ones included

 private:
  std::string mPath;
};

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

struct Audio {
  SF_INFO info{};
  std::vector<double> samples;  // interleaved
};

// Runs quillmere-render with `args` in `folder`; `env` is prepended to the command ("NAME=value ...").
RunResult RunRenderer(const std::vector<std::string>& args, const std::string& folder,
                      const std::string& env = "");
// Runs quillmere-render with `args` in `folder` on a terminal of its own; what it wrote there, both streams.
std::string RunOnTerminal(const std::vector<std::string>& args, const std::string& folder);
void WriteAudio(const std::string& path, int format, int sampleRate, int channels,
                const std::vector<double>& interleaved);
Audio ReadAudio(const std::string& path);
// Two sines and a little noise, about -6 dBFS, different in each channel.
std::vector<double> TestSignal(int frames, int channels);
std::string ReadText(const std::string& path);
bool Exists(const std::string& path);
std::vector<std::string> Lines(const std::string& text);
// Each case's arguments are refused by CommandLine::Parse with the usage exit code and a message that
// contains the case's text.
void ExpectUsageErrors(const std::vector<std::pair<std::vector<std::string>, std::string>>& cases);
