// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a fuzz target once over each file named on the command line, or each file in a named folder: the
// checked-in seeds and the inputs that once failed, replayed by every build whether or not it can fuzz.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/fuzz/FuzzSupport.h"

namespace {

int Replay(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return 1;
  }
  if (S_ISDIR(info.st_mode)) {
    DIR* dir = opendir(path.c_str());
    if (!dir) return 1;
    int failures = 0;
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') names.push_back(path + "/" + entry->d_name);
    closedir(dir);
    for (const std::string& name : names) failures += Replay(name);
    return failures;
  }
  std::ifstream file(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  std::printf("replayed %s (%zu bytes)\n", path.c_str(), bytes.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int failures = 0;
  for (int i = 1; i < argc; ++i) failures += Replay(argv[i]);
  return failures == 0 ? 0 : 1;
}
