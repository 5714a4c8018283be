// SPDX-License-Identifier: GPL-3.0-or-later
#include "RenderTestSupport.h"

#include <dirent.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "CommandLine.h"
#include "RenderError.h"

namespace {

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

}  // namespace

TempDir::TempDir() {
  char pattern[] = "/tmp/quillmere-render-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  mPath = pattern;
}

TempDir::~TempDir() {
  const std::string command = "chmod -R u+rwx " + Quote(mPath) + " 2>/dev/null; rm -rf " + Quote(mPath);
  if (std::system(command.c_str()) != 0) {
  }
}

std::vector<std::string> TempDir::Entries() const {
  std::vector<std::string> names;
  if (DIR* dir = opendir(mPath.c_str())) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

RunResult RunRenderer(const std::vector<std::string>& args, const std::string& folder,
                      const std::string& env) {
  static int counter = 0;
  const std::string outPath =
      "/tmp/quillmere-render-test-out-" + std::to_string(getpid()) + "-" + std::to_string(counter);
  const std::string errPath = outPath + ".err";
  ++counter;
  std::string command = "cd " + Quote(folder) + " && " + env + " " + Quote(QUILLMERE_RENDER_EXE);
  for (const std::string& arg : args) command += " " + Quote(arg);
  command += " >" + Quote(outPath) + " 2>" + Quote(errPath) + " </dev/null";
  const int status = std::system(command.c_str());
  RunResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = ReadText(outPath);
  result.err = ReadText(errPath);
  unlink(outPath.c_str());
  unlink(errPath.c_str());
  return result;
}

std::string RunOnTerminal(const std::vector<std::string>& args, const std::string& folder) {
  std::vector<std::string> argv = {QUILLMERE_RENDER_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child < 0) throw std::runtime_error("forkpty failed");
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) _exit(100);
    execv(pointers[0], pointers.data());
    _exit(101);
  }
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(terminal, buffer, sizeof(buffer));
    if (got <= 0) break;  // EIO once the renderer has ended
    text.append(buffer, static_cast<size_t>(got));
  }
  close(terminal);
  int status = 0;
  waitpid(child, &status, 0);
  return text;
}

void WriteAudio(const std::string& path, int format, int sampleRate, int channels,
                const std::vector<double>& interleaved) {
  SF_INFO info{};
  info.format = format;
  info.samplerate = sampleRate;
  info.channels = channels;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
  sf_writef_double(file, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / channels));
  sf_close(file);
}

Audio ReadAudio(const std::string& path) {
  Audio audio;
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &audio.info);
  if (file == nullptr) throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
  audio.samples.resize(static_cast<size_t>(audio.info.frames) * audio.info.channels);
  sf_readf_double(file, audio.samples.data(), audio.info.frames);
  sf_close(file);
  return audio;
}

std::vector<double> TestSignal(int frames, int channels) {
  std::vector<double> samples(static_cast<size_t>(frames) * channels);
  unsigned state = 12345;
  for (int i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      state = state * 1664525u + 1013904223u;
      const double noise = (static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 0.05;
      const double t = i / 44100.0;
      samples[static_cast<size_t>(i) * channels + c] =
          0.3 * std::sin(2 * M_PI * (220.0 + 110.0 * c) * t) + 0.15 * std::sin(2 * M_PI * 3000.0 * t) + noise;
    }
  }
  return samples;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

void ExpectUsageErrors(const std::vector<std::pair<std::vector<std::string>, std::string>>& cases) {
  for (const auto& [args, message] : cases) {
    try {
      CommandLine::Parse(args);
      ADD_FAILURE() << "accepted: " << message;
    } catch (const RenderError& error) {
      EXPECT_EQ(error.ExitCode(), RenderError::kUsage) << message;
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
    }
  }
}
