// SPDX-License-Identifier: GPL-3.0-or-later
#include "StandardError.h"

#include <fcntl.h>
#include <unistd.h>

#include <mutex>

namespace {

std::mutex gSilenceMutex;
int gSilenceCount = 0;  // guarded by gSilenceMutex
int gSavedDescriptor = -1;

}  // namespace

FILE* MessageStream() {
  static FILE* const stream = [] {
    const int copy = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    FILE* file = copy >= 0 ? fdopen(copy, "w") : nullptr;
    if (file == nullptr) return stderr;
    setvbuf(file, nullptr, _IONBF, 0);  // unbuffered, as standard error is
    return file;
  }();
  return stream;
}

SilencedStandardError::SilencedStandardError() {
  std::lock_guard<std::mutex> lock(gSilenceMutex);
  if (gSilenceCount++ > 0) return;
  std::fflush(stderr);
  gSavedDescriptor = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) {
    dup2(null, STDERR_FILENO);
    close(null);
  }
}

SilencedStandardError::~SilencedStandardError() {
  std::lock_guard<std::mutex> lock(gSilenceMutex);
  if (--gSilenceCount > 0) return;
  std::fflush(stderr);
  if (gSavedDescriptor >= 0) {
    dup2(gSavedDescriptor, STDERR_FILENO);
    close(gSavedDescriptor);
    gSavedDescriptor = -1;
  }
}
