// SPDX-License-Identifier: GPL-3.0-or-later
// quillmere-render with --output-dir: many inputs, each through its own instance, several at a time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <string>
#include <vector>

#include "RenderTestSupport.h"
#include "effect/ParameterTable.h"

namespace {

const std::string kGood = TEST_GAIN_GOOD;
constexpr int kRate = 44100;

class BatchRender : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(mkdir((dir / "in").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir / "out").c_str(), 0755), 0);
  }

  // Inputs of different lengths, rates, channel counts and types.
  std::vector<std::string> WriteInputs() {
    WriteAudio(dir / "in/a.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, kRate, 2, TestSignal(30000, 2));
    WriteAudio(dir / "in/b.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 1, TestSignal(20000, 1));
    WriteAudio(dir / "in/c.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 96000, 2, TestSignal(50000, 2));
    WriteAudio(dir / "in/d.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, kRate, 2, TestSignal(4097, 2));
    return {"in/a.wav", "in/b.wav", "in/c.flac", "in/d.aiff"};
  }

  RunResult Batch(std::vector<std::string> args, const std::vector<std::string>& inputs) {
    args.insert(args.end(), inputs.begin(), inputs.end());
    return RunRenderer(args, dir.Path());
  }

  TempDir dir;
};

// Each output is byte for byte the file a single render of its input writes, whatever the number of jobs.
TEST_F(BatchRender, EveryOutputIsTheFileASingleRenderWrites) {
  const std::vector<std::string> inputs = WriteInputs();
#ifdef QUILLMERE_PLUGIN
  const std::string plugin = QUILLMERE_PLUGIN;
  const std::vector<std::string> settings = {"--set", std::string(kParameterTable[kSplitHz].mName) + "=2500",
                                             "--set",
                                             std::string(kParameterTable[kHighAngle].mName) + "=1.5"};
#else
  const std::string plugin = kGood;
  const std::vector<std::string> settings = {"--set", "Gain=-4.5"};
#endif
  std::vector<std::string> options = {"--plugin", plugin, "--block", "1000"};
  options.insert(options.end(), settings.begin(), settings.end());
  for (const std::string& input : inputs) {
    std::vector<std::string> args = options;
    args.insert(args.end(), {input, "single-" + input.substr(3)});
    const RunResult run = RunRenderer(args, dir.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
  }
  for (const std::string jobs : {"1", "3", "8"}) {
    std::vector<std::string> args = options;
    args.insert(args.end(), {"--force", "--jobs", jobs, "--output-dir", "out"});
    const RunResult run = Batch(args, inputs);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), settings.size() / 2 + inputs.size() + 1) << run.out;
    EXPECT_EQ(lines.back().rfind("out: 4 files written in ", 0), 0u) << run.out;
    // Compared as samples and format: a float WAV file's PEAK chunk holds the time it was written.
    for (const std::string& input : inputs) {
      const std::string name = input.substr(3);
      const Audio batch = ReadAudio(dir / ("out/" + name)), single = ReadAudio(dir / ("single-" + name));
      EXPECT_EQ(batch.info.format, single.info.format) << name;
      EXPECT_EQ(batch.info.samplerate, single.info.samplerate) << name;
      EXPECT_EQ(batch.info.frames, single.info.frames) << name;
      EXPECT_TRUE(batch.samples == single.samples) << name << ", jobs " << jobs;
    }
    EXPECT_EQ(dir.Entries().size(), 2u + inputs.size());  // in, out and the single renders
  }
}

// On a terminal the bar counts the files done and the seconds; --quiet shows nothing.
TEST_F(BatchRender, ShowsFilesDoneAndTimeOnATerminalUnlessQuiet) {
  const std::vector<std::string> inputs = WriteInputs();
  std::vector<std::string> args = {"--plugin", kGood, "--output-dir", "out"};
  args.insert(args.end(), inputs.begin(), inputs.end());
  const std::string shown = RunOnTerminal(args, dir.Path());
  EXPECT_NE(shown.find("\r[########################################] 4 of 4 files, "), std::string::npos)
      << shown;
  EXPECT_NE(shown.find("out/c.flac: 50000 frames"), std::string::npos) << shown;
  EXPECT_NE(shown.find("out: 4 files written in "), std::string::npos) << shown;
  args.insert(args.begin(), {"--quiet", "--force"});
  EXPECT_EQ(RunOnTerminal(args, dir.Path()), "");
}

// A file that fails is one line naming it; the others are written and the exit status is 1.
TEST_F(BatchRender, AFailedFileDoesNotStopTheOthers) {
  std::vector<std::string> inputs = WriteInputs();
  WriteAudio(dir / "out/b.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, std::vector<double>(100, 0.25));
  { std::ofstream(dir / "in/text.wav") << "this is not audio\n"; }
  inputs.insert(inputs.begin() + 2, "in/text.wav");
  const RunResult run = Batch({"--plugin", kGood, "--jobs", "2", "--output-dir", "out/"}, inputs);
  EXPECT_EQ(run.exitCode, 1);
  std::vector<std::string> errors = Lines(run.err);
  std::sort(errors.begin(), errors.end());
  EXPECT_EQ(errors,
            (std::vector<std::string>{
                "quillmere-render: in/b.wav: out/b.wav already exists; add --force to replace it",
                "quillmere-render: in/text.wav: in/text.wav is not an audio file in a format this program "
                "reads (Format not recognised.)"}));
  EXPECT_NE(run.out.find("out/: 3 of 5 files written in "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("; 2 failed"), std::string::npos) << run.out;
  EXPECT_EQ(ReadAudio(dir / "out/b.wav").info.frames, 100);  // not replaced without --force
  for (const std::string name : {"a.wav", "c.flac", "d.aiff"})
    EXPECT_EQ(ReadAudio(dir / ("out/" + name)).samples, ReadAudio(dir / ("in/" + name)).samples) << name;
  EXPECT_FALSE(Exists(dir / "out/text.wav"));

  const RunResult forced = Batch({"--plugin", kGood, "--force", "--output-dir", "out"}, {"in/b.wav"});
  ASSERT_EQ(forced.exitCode, 0) << forced.err;
  EXPECT_EQ(ReadAudio(dir / "out/b.wav").info.frames, 20000);
}

// Neither the input folder as the output folder nor a link in the output folder leads to an input, even with
// --force.
TEST_F(BatchRender, NeverWritesOverAnInput) {
  const std::vector<std::string> inputs = WriteInputs();
  std::vector<std::string> before;
  for (const std::string& input : inputs) before.push_back(ReadText(dir / input));
  const RunResult run = Batch({"--plugin", kGood, "--force", "--output-dir", "in"}, inputs);
  EXPECT_EQ(run.exitCode, 1);
  const std::vector<std::string> errors = Lines(run.err);
  ASSERT_EQ(errors.size(), inputs.size()) << run.err;
  for (const std::string& input : inputs)
    EXPECT_NE(run.err.find("quillmere-render: " + input + ": " + input +
                           " is an input file; choose another --output-dir\n"),
              std::string::npos)
        << run.err;

  ASSERT_EQ(symlink("../in/a.wav", (dir / "out/d.aiff").c_str()), 0);
  const RunResult linked = Batch({"--plugin", kGood, "--force", "--output-dir", "out"}, inputs);
  EXPECT_EQ(linked.exitCode, 1);
  EXPECT_EQ(linked.err,
            "quillmere-render: in/d.aiff: out/d.aiff is an input file; choose another --output-dir\n");
  for (size_t i = 0; i < inputs.size(); ++i) EXPECT_EQ(ReadText(dir / inputs[i]), before[i]) << inputs[i];
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"in", "out"}));
}

// A stop signal stops every file: the renderer ends by it and no output is left half written.
TEST_F(BatchRender, AStopSignalStopsEveryFileAndLeavesNoPartialOutput) {
  std::vector<std::string> inputs;
  for (const std::string name : {"1.wav", "2.wav", "3.wav", "4.wav"}) {
    WriteAudio(dir / ("in/" + name), SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2,
               std::vector<double>(2 * 30 * kRate, 0.1));
    inputs.push_back("in/" + name);
  }
  TempDir out;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, SIG_DFL);
    if (chdir(dir.Path().c_str()) != 0) _exit(100);
    if (freopen("/dev/null", "w", stdout) == nullptr || freopen("/dev/null", "w", stderr) == nullptr)
      _exit(102);
    std::vector<std::string> args = {QUILLMERE_RENDER_EXE, "--plugin", kGood, "--block", "1", "--jobs", "2",
                                     "--output-dir",       out.Path()};
    args.insert(args.end(), inputs.begin(), inputs.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(101);
  }
  // Two files at a time: wait until both temporary outputs exist.
  for (int i = 0; i < 1000 && out.Entries().size() < 2; ++i) usleep(10000);
  EXPECT_EQ(out.Entries().size(), 2u) << "the renders did not start";
  kill(child, SIGINT);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), SIGINT);
  EXPECT_EQ(out.Entries(), std::vector<std::string>{});
}

}  // namespace
