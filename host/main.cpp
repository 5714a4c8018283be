// SPDX-License-Identifier: GPL-3.0-or-later
// quillmere-render: runs audio files through a VST 2 effect from the command line.
#include <signal.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "BatchRenderer.h"
#include "CommandLine.h"
#include "Presets.h"
#include "RenderError.h"
#include "Renderer.h"
#include "StandardError.h"

#ifndef QUILLMERE_RENDER_VERSION
#define QUILLMERE_RENDER_VERSION "0.0.0"
#endif

namespace {

// The stop signal that arrived, 0 while none has.
volatile sig_atomic_t gStopSignal = 0;

void OnStopSignal(int signal) {
  gStopSignal = signal;
  Renderer::RequestStop();
}

// A signal ignored when the program started (nohup, a background job) stays ignored.
void InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

// After a stop signal, with the temporary files removed, the program ends by that signal, so that the shell
// and a script's loop see it was interrupted.
int Exit(int status) {
  if (gStopSignal != 0) {
    const int signal = gStopSignal;
    std::fflush(nullptr);
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);
  }
  return status;
}

int Main(int argc, char** argv) {
  try {
    const RenderOptions options = CommandLine::Parse(std::vector<std::string>(argv + 1, argv + argc));
    if (options.mHelp) {
      std::fputs(CommandLine::HelpText().c_str(), stdout);
      return 0;
    }
    if (options.mVersion) {
      std::printf("quillmere-render %s\n", QUILLMERE_RENDER_VERSION);
      return 0;
    }
    if (options.mListPresets) {
      PrintPresetList(stdout);
      return 0;
    }
    InstallStopHandlers();
    if (!options.mOutputDir.empty()) return BatchRenderer(options).Run() ? 0 : 1;
    Renderer(options).Run();
    return 0;
  } catch (const RenderError& error) {
    std::fprintf(MessageStream(), "quillmere-render: %s\n", error.what());
    return error.ExitCode();
  } catch (const std::exception& error) {
    std::fprintf(MessageStream(), "quillmere-render: %s\n", error.what());
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  MessageStream();  // copies standard error before anything may silence it
  return Exit(Main(argc, argv));
}
