// SPDX-License-Identifier: GPL-3.0-or-later
// The one kind of failure the renderer reports: a message for standard error and the exit code.
#pragma once

#include <stdexcept>
#include <string>

class RenderError : public std::runtime_error {
 public:
  static constexpr int kFailure = 1;
  static constexpr int kUsage = 2;

  explicit RenderError(const std::string& message, int exitCode = kFailure)
      : std::runtime_error(message), mExitCode(exitCode) {}

  int ExitCode() const { return mExitCode; }

 private:
  int mExitCode;
};
