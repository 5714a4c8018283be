// SPDX-License-Identifier: GPL-3.0-or-later
// What the check programs share: the problems they note on the way and report at the end, and reading and
// writing whole files.
// Built for Linux and, with mingw-w64, for Windows.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace check_files {

// The problems noted so far, in order.
inline std::vector<std::string> gProblems;

inline void Complain(const std::string& problem) { gProblems.push_back(problem); }

// Writes size bytes to path; false when the file cannot be made or written whole.
inline bool WriteBytes(const std::string& path, const void* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

// Writes dir/name, noting a problem when that fails.
inline void Write(const std::string& dir, const std::string& name, const void* data, size_t size) {
  if (!WriteBytes(dir + "/" + name, data, size)) Complain("cannot write " + dir + "/" + name);
}

// Writes a text, or the bytes of the items (samples, state), to dir/name.
inline void Write(const std::string& dir, const std::string& name, const std::string& text) {
  Write(dir, name, text.data(), text.size());
}
template <class Item>
void Write(const std::string& dir, const std::string& name, const std::vector<Item>& items) {
  Write(dir, name, items.data(), items.size() * sizeof(Item));
}

// Ends a check: writes the problems noted, a line each, to dir/problems.txt and to stderr; the exit status,
// 1 when there were any.
inline int ReportProblems(const std::string& dir) {
  std::string problems;
  for (const std::string& problem : gProblems) problems += problem + "\n";
  Write(dir, "problems.txt", problems);
  std::fputs(problems.c_str(), stderr);
  return gProblems.empty() ? 0 : 1;
}

// Replaces bytes with the whole file; false when it cannot be opened.
inline bool ReadBytes(const std::string& path, std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  bytes.clear();
  uint8_t buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + got);
  std::fclose(file);
  return true;
}

}  // namespace check_files
