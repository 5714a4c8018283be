// SPDX-License-Identifier: GPL-3.0-or-later
#include "BatchRenderer.h"

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "ProgressPrinter.h"
#include "RenderError.h"
#include "Renderer.h"
#include "StandardError.h"
#include "host/PluginModule.h"
#include "host/Vst2Instance.h"

namespace {

// The terminal lines the threads share: failures and summaries, and the progress bar between them.
class BatchDisplay {
 public:
  BatchDisplay(size_t files, bool quiet)
      : mFiles(files), mQuiet(quiet), mBar(!quiet && isatty(fileno(MessageStream())) != 0) {}

  void Failed(const std::string& input, const std::string& message) {
    std::lock_guard<std::mutex> lock(mMutex);
    ClearBar();
    std::fprintf(MessageStream(), "quillmere-render: %s: %s\n", input.c_str(), message.c_str());
  }

  void Written(const RenderSummary& summary) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mQuiet) return;
    ClearBar();
    std::printf("%s\n", ProgressPrinter::FormatSummary(summary).c_str());
    std::fflush(stdout);
  }

  // "[####....] 3 of 16 files, 12.3 s", redrawn in place.
  void Progress(size_t done, double seconds) {
    if (!mBar) return;
    std::lock_guard<std::mutex> lock(mMutex);
    std::fprintf(MessageStream(), "\r%s %zu of %zu files, %.1f s",
                 ProgressPrinter::Bar(double(done) / mFiles).c_str(), done, mFiles, seconds);
    mDrawn = true;
  }

  void Finish() {
    std::lock_guard<std::mutex> lock(mMutex);
    ClearBar();
  }

 private:
  void ClearBar() {
    if (!mDrawn) return;
    std::fprintf(MessageStream(), "\r%*s\r", 78, "");
    mDrawn = false;
  }

  const size_t mFiles;
  const bool mQuiet;
  const bool mBar;
  std::mutex mMutex;
  bool mDrawn = false;  // guarded by mMutex
};

}  // namespace

BatchRenderer::BatchRenderer(const RenderOptions& options) : mOptions(options) {}

int BatchRenderer::DefaultJobs() {
  cpu_set_t cpus;
  CPU_ZERO(&cpus);
  if (sched_getaffinity(0, sizeof(cpus), &cpus) == 0 && CPU_COUNT(&cpus) > 0) return CPU_COUNT(&cpus);
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

bool BatchRenderer::Run() {
  const std::string& folder = mOptions.mOutputDir;
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0)
    throw RenderError("cannot write in " + folder + ": the folder does not exist");
  if (!S_ISDIR(st.st_mode)) throw RenderError("cannot write in " + folder + ": it is not a folder");

  // One module for every instance: its creation lock serialises the entry point across threads.
  BatchPart part;
  part.mPluginPath = mOptions.mPluginPath.empty() ? Renderer::DefaultPluginPath() : mOptions.mPluginPath;
  PluginModule module;
  if (module.Open(part.mPluginPath) != HostStatus::kOk)
    throw RenderError("cannot load plug-in " + part.mPluginPath + ": " + module.Error());
  part.mModule = &module;
  part.mProtectedPaths = mOptions.mInputs;
  // The settings are the same for every file: checked, shown and warned about once.
  Renderer(mOptions, &part).CheckSettings();

  const std::vector<std::string>& inputs = mOptions.mInputs;
  const size_t jobs =
      std::min(inputs.size(), static_cast<size_t>(mOptions.mJobs > 0 ? mOptions.mJobs : DefaultJobs()));
  BatchDisplay display(inputs.size(), mOptions.mQuiet);
  std::atomic<size_t> next{0};
  std::atomic<size_t> written{0};
  std::atomic<size_t> failed{0};
  std::mutex mutex;
  std::condition_variable finished;
  size_t running = jobs;  // guarded by mutex

  auto work = [&]() {
    for (;;) {
      const size_t i = next.fetch_add(1);
      if (i >= inputs.size() || Renderer::StopRequested()) break;
      RenderOptions one = mOptions;
      one.mInputs.clear();
      one.mOutputDir.clear();
      one.mInput = inputs[i];
      one.mOutput = CommandLine::BatchOutputPath(folder, inputs[i]);
      std::string error;
      try {
        Renderer renderer(one, &part);
        renderer.Run();
        written.fetch_add(1);
        display.Written(renderer.Summary());
        continue;
      } catch (const std::exception& e) {
        error = e.what();
      }
      if (Renderer::StopRequested()) break;  // the batch reports the stop once
      failed.fetch_add(1);
      display.Failed(inputs[i], error);
    }
    std::lock_guard<std::mutex> lock(mutex);
    --running;
    finished.notify_all();
  };

  const auto start = std::chrono::steady_clock::now();
  auto seconds = [&]() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  std::vector<std::thread> threads;
  for (size_t t = 0; t < jobs; ++t) threads.emplace_back(work);
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (running > 0) {
      lock.unlock();
      display.Progress(written.load() + failed.load(), seconds());
      lock.lock();
      finished.wait_for(lock, std::chrono::milliseconds(100));
    }
  }
  for (std::thread& thread : threads) thread.join();
  display.Progress(written.load() + failed.load(), seconds());  // the full bar, however quick the batch was
  display.Finish();

  const size_t done = written.load();
  if (Renderer::StopRequested())
    throw RenderError("interrupted; " + std::to_string(done) + " of " + std::to_string(inputs.size()) +
                      " files were written, no other file was left behind");
  if (!mOptions.mQuiet) {
    char line[512];
    if (failed.load() == 0) {
      std::snprintf(line, sizeof(line), "%s: %zu files written in %.2f s", folder.c_str(), done, seconds());
    } else {
      std::snprintf(line, sizeof(line), "%s: %zu of %zu files written in %.2f s; %zu failed", folder.c_str(),
                    done, inputs.size(), seconds(), failed.load());
    }
    std::printf("%s\n", line);
    std::fflush(stdout);
  }
  return failed.load() == 0;
}
