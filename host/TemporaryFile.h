// SPDX-License-Identifier: GPL-3.0-or-later
// A file written under a temporary name beside its final path and renamed into
// place only when complete; removed again if it is never committed. For a symbolic link, the file it
// points to is replaced and the link stays.
#pragma once

#include <string>

class TemporaryFile {
 public:
  // Checks the destination (its folder exists, it is not `protectedPath`, it does
  // not exist unless `replace`, and what exists is a regular file or a link to one)
  // and creates the temporary file. Throws RenderError.
  TemporaryFile(const std::string& finalPath, bool replace, const std::string& protectedPath = "");
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int Descriptor() const { return mFd; }
  void WriteAll(const void* data, size_t size);
  // Closes the file if still open and renames it to the final path.
  void Commit();

  const std::string& FinalPath() const { return mFinalPath; }

  // Throws RenderError when `finalPath` cannot be written as an output (see above).
  static void CheckDestination(const std::string& finalPath, bool replace, const std::string& protectedPath);

 private:
  std::string mFinalPath;  // as the user named it
  std::string mWritePath;  // the file replaced: mFinalPath, or the file a link there points to
  std::string mTempPath;
  int mFd = -1;
  bool mReplace;
  bool mCommitted = false;
};
