// SPDX-License-Identifier: GPL-3.0-or-later
// quillmere-render: runs audio files through a VST 2 effect from the command line.
#include <signal.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Presets.h"
#include "RenderError.h"
#include "Renderer.h"

#ifndef QUILLMERE_RENDER_VERSION
#define QUILLMERE_RENDER_VERSION "0.0.0"
#endif

namespace {

void OnStopSignal(int) { Renderer::RequestStop(); }

void InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
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
    Renderer(options).Run();
    return 0;
  } catch (const RenderError& error) {
    std::fprintf(stderr, "quillmere-render: %s\n", error.what());
    return error.ExitCode();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quillmere-render: %s\n", error.what());
    return 1;
  }
}
