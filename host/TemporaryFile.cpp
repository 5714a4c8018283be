// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemporaryFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "RenderError.h"

namespace {

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void TemporaryFile::CheckDestination(const std::string& finalPath, bool replace,
                                     const std::string& protectedPath) {
  if (BaseNameOf(finalPath).empty()) throw RenderError("cannot write " + finalPath + ": it names a folder");
  const std::string folder = FolderOf(finalPath);
  struct stat folderStat {};
  if (stat(folder.c_str(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode))
    throw RenderError("cannot write " + finalPath + ": the folder " + folder + " does not exist");

  struct stat entry {};
  if (lstat(finalPath.c_str(), &entry) != 0) return;
  // A symbolic link is followed: its target is what gets written.
  struct stat target {};
  if (stat(finalPath.c_str(), &target) != 0)
    throw RenderError("cannot write " + finalPath + ": it is a symbolic link to a missing file");
  if (!protectedPath.empty()) {
    struct stat input {};
    if (stat(protectedPath.c_str(), &input) == 0 && input.st_dev == target.st_dev &&
        input.st_ino == target.st_ino)
      throw RenderError(finalPath + " is the input file; choose another output name");
  }
  if (S_ISDIR(target.st_mode)) throw RenderError("cannot write " + finalPath + ": it is a folder");
  // Devices, pipes and sockets are never replaced by a file.
  if (!S_ISREG(target.st_mode)) throw RenderError("cannot write " + finalPath + ": it is not a regular file");
  if (!replace) throw RenderError(finalPath + " already exists; add --force to replace it");
}

TemporaryFile::TemporaryFile(const std::string& finalPath, bool replace, const std::string& protectedPath)
    : mFinalPath(finalPath), mWritePath(finalPath), mReplace(replace) {
  CheckDestination(finalPath, replace, protectedPath);
  // A link stays in place and the file it points to is replaced, from beside that file.
  struct stat entry {};
  if (lstat(finalPath.c_str(), &entry) == 0 && S_ISLNK(entry.st_mode)) {
    char* resolved = realpath(finalPath.c_str(), nullptr);
    if (resolved == nullptr) throw RenderError("cannot write " + finalPath + ": " + std::strerror(errno));
    mWritePath = resolved;
    std::free(resolved);
  }
  const std::string folder = FolderOf(mWritePath);
  std::string pattern = (folder == "." && mWritePath.find('/') == std::string::npos ? "" : folder + "/") +
                        "." + BaseNameOf(mWritePath) + ".partial-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  mFd = mkstemp(name.data());
  if (mFd < 0) throw RenderError("cannot write in " + folder + ": " + std::strerror(errno));
  mTempPath = name.data();
  // mkstemp makes the file private; give it the permissions a new file normally gets.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(mFd, 0666 & ~mask);
}

TemporaryFile::~TemporaryFile() {
  if (mFd >= 0) close(mFd);
  if (!mCommitted) unlink(mTempPath.c_str());
}

void TemporaryFile::WriteAll(const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = write(mFd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) throw RenderError("cannot write " + mFinalPath + ": " + std::strerror(errno));
    bytes += written;
    size -= static_cast<size_t>(written);
  }
}

void TemporaryFile::Commit() {
  if (mFd >= 0) {
    const int fd = mFd;
    mFd = -1;
    if (close(fd) != 0) throw RenderError("cannot write " + mFinalPath + ": " + std::strerror(errno));
  }
  int result;
  if (mReplace) {
    result = rename(mTempPath.c_str(), mWritePath.c_str());
  } else {
    // Never replace a file that appeared while rendering.
    result = renameat2(AT_FDCWD, mTempPath.c_str(), AT_FDCWD, mFinalPath.c_str(), RENAME_NOREPLACE);
    if (result != 0 && errno == EEXIST)
      throw RenderError(mFinalPath + " already exists; add --force to replace it");
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
      struct stat st {};
      if (stat(mFinalPath.c_str(), &st) == 0)
        throw RenderError(mFinalPath + " already exists; add --force to replace it");
      result = rename(mTempPath.c_str(), mFinalPath.c_str());
    }
  }
  if (result != 0) throw RenderError("cannot write " + mFinalPath + ": " + std::strerror(errno));
  mCommitted = true;
}
