// SPDX-License-Identifier: GPL-3.0-or-later
// The renderer's own messages go to a copy of standard error, so that what decoders print on descriptor 2 can
// be silenced while a file is read, also while other threads print.
#pragma once

#include <cstdio>

// The stream for the renderer's messages. Called first thing in main(), before any silencing.
FILE* MessageStream();

// While one of these exists in any thread, descriptor 2 leads to /dev/null.
class SilencedStandardError {
 public:
  SilencedStandardError();
  ~SilencedStandardError();
  SilencedStandardError(const SilencedStandardError&) = delete;
  SilencedStandardError& operator=(const SilencedStandardError&) = delete;
};
