// SPDX-License-Identifier: GPL-3.0-or-later
// Renders many inputs into one folder, each through its own instance of the effect with the same settings,
// several at a time. The plug-in module is loaded once and serves every thread.
#pragma once

#include "CommandLine.h"

class BatchRenderer {
 public:
  explicit BatchRenderer(const RenderOptions& options);

  // True when every file was written. A file that fails prints one line naming it and does not stop the
  // others. Throws RenderError for what stops the whole batch (no folder, no plug-in, settings it does not
  // take, a stop signal); no file is then left half written.
  bool Run();

  // One job per processor core this process may run on.
  static int DefaultJobs();

 private:
  const RenderOptions& mOptions;
};
