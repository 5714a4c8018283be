// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the quillmere-render executable on files made here, with the test effect,
// the peers installed on the machine and, when built, Quillmere itself.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "RenderTestSupport.h"
#include "effect/ParameterTable.h"

namespace {

const std::string kGood = TEST_GAIN_GOOD;
constexpr int kRate = 44100;
constexpr int kFrames = 10000;  // not a multiple of the block size: the last block is shorter
const int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
const int kWav24 = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
const int kWavFloat = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

double MaxDifference(const std::vector<double>& a, const std::vector<double>& b) {
  EXPECT_EQ(a.size(), b.size());
  double worst = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) worst = std::max(worst, std::fabs(a[i] - b[i]));
  return worst;
}

class RenderEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { WriteAudio(dir / "in.wav", kWavFloat, kRate, 2, TestSignal(kFrames, 2)); }

  RunResult Render(std::vector<std::string> args, const std::string& output = "out.wav") {
    args.push_back("in.wav");
    args.push_back(output);
    return RunRenderer(args, dir.Path());
  }

  TempDir dir;
};

TEST_F(RenderEndToEnd, TalksToTheEffectInTheOrderHostsUse) {
  const RunResult run =
      RunRenderer({"--plugin", kGood, "--block", "4096", "--set", "Gain=-6", "in.wav", "out.wav"}, dir.Path(),
                  "QUILLMERE_TEST_PLUGIN_LOG=" + (dir / "calls.log"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<std::string> expected = {
      "created",
      "open host-version=2400 product=quillmere-render vendor-version=100 level=4",
      "rate 44100",
      "block 4096",
      "text 0 -6",
      "mains 1 host-rate=44100 host-block=4096",
      "process double 4096",
      "process double 4096",
      "process double 1808",
      "mains 0 host-rate=44100 host-block=4096",
      "close"};
  EXPECT_EQ(Lines(ReadText(dir / "calls.log")), expected);
  EXPECT_EQ(run.err, "");
}

TEST_F(RenderEndToEnd, PrintsOneSummaryLineWithFramesDurationRatePeaksAndSpeed) {
  const RunResult run = Render({"--plugin", kGood});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  ASSERT_EQ(Lines(run.out).size(), 1u) << run.out;
  EXPECT_NE(run.out.find("out.wav: 10000 frames, 0.23 s at 44100 Hz; peak "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("x realtime"), std::string::npos) << run.out;
  EXPECT_EQ(run.err, "");  // no progress bar when standard error is not a terminal
}

// On a terminal a render of more than 5 s shows a progress bar on standard error; --quiet shows nothing at
// all.
TEST_F(RenderEndToEnd, ShowsProgressOnATerminalUnlessQuiet) {
  WriteAudio(dir / "six.wav", kWav16, kRate, 2, std::vector<double>(2 * 6 * kRate, 0.1));
  const std::string shown =
      RunOnTerminal({"--plugin", kGood, "--set", "Gain=-6", "six.wav", "a.wav"}, dir.Path());
  EXPECT_NE(shown.find("\r[........................................]   0."), std::string::npos) << shown;
  EXPECT_NE(shown.find("Gain = -6.00 dB"), std::string::npos) << shown;
  EXPECT_NE(shown.find("a.wav: 264600 frames"), std::string::npos) << shown;
  const std::string quiet =
      RunOnTerminal({"--plugin", kGood, "--quiet", "--set", "Gain=-6", "six.wav", "b.wav"}, dir.Path());
  EXPECT_EQ(quiet, "");
  EXPECT_EQ(ReadAudio(dir / "b.wav").samples, ReadAudio(dir / "a.wav").samples);
  // Warnings and errors still show.
  const RunResult warned = Render({"--plugin", kGood, "-q", "--set", "Gain=99"});
  EXPECT_EQ(warned.out, "");
  EXPECT_EQ(Lines(warned.err).size(), 1u) << warned.err;
}

TEST_F(RenderEndToEnd, AppliesTheGainSetByNameAndByNormalizedValue) {
  const Audio input = ReadAudio(dir / "in.wav");
  const std::vector<std::pair<std::vector<std::string>, double>> cases = {
      {{}, 1.0},
      {{"--set", "Gain=-6"}, std::pow(10.0, -6.0 / 20.0)},
      {{"--set", "gain=+99"}, std::pow(10.0, 24.0 / 20.0)},  // any case, clamped by the effect
      {{"--set", "Polarity=Inverted"}, -1.0},
      {{"--set-normalized", "0=0.25"}, std::pow(10.0, -12.0 / 20.0)},
      {{"--set", "Gain=-6", "--set-normalized", "0=0.5"}, 1.0},
  };
  for (const auto& [args, factor] : cases) {
    std::vector<std::string> full = {"--plugin", kGood, "--force", "--format", "float"};
    full.insert(full.end(), args.begin(), args.end());
    const RunResult run = Render(full);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Audio output = ReadAudio(dir / "out.wav");
    std::vector<double> expected = input.samples;
    for (double& s : expected) s *= factor;
    EXPECT_LT(MaxDifference(output.samples, expected), 1e-6) << ::testing::PrintToString(args);
  }
}

// The effect reads the number a text starts with and clamps it; the renderer says so when text other than the
// unit follows the number or when the value set lies at an end of the range instead of the number given.
TEST_F(RenderEndToEnd, WarnsWhenAValueTextIsReadOnlyInPartOrClamped) {
  const std::string warning = "quillmere-render: warning: --set ";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Gain=6", ""},
      {"Gain=6 dB", ""},
      {"Gain= -6 db ", ""},
      {"Gain=24", ""},
      {"Polarity=Inverted", ""},
      {"Gain=6 dBFS",
       "\"Gain=6 dBFS\": \"dBFS\" after the number is not the unit dB and was ignored; set 6.00 dB"},
      {"Gain=99", "\"Gain=99\": 99 is outside the range; set 24.00 dB"},
      {"Gain=inf", "\"Gain=inf\": inf is outside the range; set 24.00 dB"},
      {"Gain=-30 %",
       "\"Gain=-30 %\": \"%\" after the number is not the unit dB and was ignored, and -30 is outside "
       "the range; set -24.00 dB"},
  };
  for (const auto& [setting, message] : cases) {
    const RunResult run = Render({"--plugin", kGood, "--force", "--set", setting});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, message.empty() ? "" : warning + message + "\n");
  }
}

TEST_F(RenderEndToEnd, SettingsAfterLoadStateOverrideIt) {
  ASSERT_EQ(Render({"--plugin", kGood, "--set", "Gain=-12", "--save-state", "state.bin"}, "a.wav").exitCode,
            0);
  const RunResult list = RunRenderer(
      {"--plugin", kGood, "--load-state", "state.bin", "--set", "Polarity=Inverted", "--list-params"},
      dir.Path());
  ASSERT_EQ(list.exitCode, 0) << list.err;
  EXPECT_NE(list.out.find("Gain"), std::string::npos);
  EXPECT_NE(list.out.find("-12.00"), std::string::npos);
  EXPECT_NE(list.out.find("Inverted"), std::string::npos);
  EXPECT_NE(list.out.find("0.250000"), std::string::npos);
}

TEST_F(RenderEndToEnd, ListParamsCanSaveTheStateWithoutRendering) {
  const RunResult run = RunRenderer(
      {"--plugin", kGood, "--set", "Gain=6", "--list-params", "--save-state", "s.bin"}, dir.Path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Lines(run.out).size(), 3u) << run.out;
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"in.wav", "s.bin"}));
  const RunResult again =
      RunRenderer({"--plugin", kGood, "--list-params", "--save-state", "s.bin", "--force"}, dir.Path());
  ASSERT_EQ(again.exitCode, 0) << again.err;
  ASSERT_EQ(Render({"--plugin", kGood, "--load-state", "s.bin"}).exitCode, 0);
  EXPECT_EQ(ReadAudio(dir / "out.wav").samples.size(), 2u * kFrames);
}

// Starts the renderer on long.wav with block 1 (slow enough to be caught running), the stop signals at their
// default action except `ignored`, and waits until its temporary output exists.
pid_t StartSlowRender(const TempDir& dir, int ignored = 0) {
  const pid_t child = fork();
  if (child == 0) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, signal == ignored ? SIG_IGN : SIG_DFL);
    if (chdir(dir.Path().c_str()) != 0) _exit(100);
    if (freopen("/dev/null", "w", stdout) == nullptr || freopen("/dev/null", "w", stderr) == nullptr)
      _exit(102);
    execl(QUILLMERE_RENDER_EXE, QUILLMERE_RENDER_EXE, "--plugin", kGood.c_str(), "--block", "1", "long.wav",
          "out.wav", static_cast<char*>(nullptr));
    _exit(101);
  }
  for (int i = 0; i < 1000 && dir.Entries().size() < 3; ++i) usleep(10000);
  return child;
}

// A stop signal removes the temporary output and ends the renderer by that same signal, so that a shell loop
// over many files stops too.
TEST_F(RenderEndToEnd, AStopSignalLeavesNothingBehindAndEndsTheRendererBySignal) {
  WriteAudio(dir / "long.wav", kWav16, kRate, 2, std::vector<double>(2 * 60 * kRate, 0.1));
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const pid_t child = StartSlowRender(dir);
    ASSERT_GT(child, 0);
    EXPECT_EQ(dir.Entries().size(), 3u) << "the render did not start";
    kill(child, signal);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << strsignal(signal) << ": exit " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), signal);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"in.wav", "long.wav"})) << strsignal(signal);
  }
}

TEST_F(RenderEndToEnd, ASignalIgnoredAtTheStartStaysIgnored) {
  WriteAudio(dir / "long.wav", kWav16, kRate, 2, std::vector<double>(2 * 20 * kRate, 0.1));
  const pid_t child = StartSlowRender(dir, SIGHUP);
  ASSERT_GT(child, 0);
  ASSERT_EQ(dir.Entries().size(), 3u) << "the render did not start";
  kill(child, SIGHUP);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadAudio(dir / "out.wav").info.frames, 20 * kRate);
}

TEST_F(RenderEndToEnd, MonoInputFeedsBothChannelsAndGivesStereo) {
  const std::vector<double> mono = TestSignal(kFrames, 1);
  WriteAudio(dir / "mono.wav", kWavFloat, kRate, 1, mono);
  const RunResult run = RunRenderer({"--plugin", kGood, "mono.wav", "out.wav"}, dir.Path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Audio output = ReadAudio(dir / "out.wav");
  EXPECT_EQ(output.info.channels, 2);
  ASSERT_EQ(output.info.frames, kFrames);
  for (int i = 0; i < kFrames; ++i) {
    ASSERT_EQ(output.samples[2 * i], static_cast<float>(mono[i]));
    ASSERT_EQ(output.samples[2 * i + 1], static_cast<float>(mono[i]));
  }
}

TEST_F(RenderEndToEnd, OutputKeepsTheInputSampleFormatUnlessToldOtherwise) {
  WriteAudio(dir / "in24.wav", kWav24, 48000, 2, TestSignal(kFrames, 2));
  WriteAudio(dir / "in16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 96000, 2, TestSignal(kFrames, 2));
  struct Case {
    std::vector<std::string> args;
    int format;
    int rate;
  };
  const std::vector<Case> cases = {
      {{"in24.wav", "o1.wav"}, kWav24, 48000},
      {{"in.wav", "o2.wav"}, kWavFloat, kRate},
      {{"--format", "pcm16", "in24.wav", "o3.wav"}, kWav16, 48000},
      {{"--format", "float", "in24.wav", "o4.wav"}, kWavFloat, 48000},
      {{"--format", "pcm24", "in.wav", "o5.aiff"}, SF_FORMAT_AIFF | SF_FORMAT_PCM_24, kRate},
      {{"in16.flac", "o6.flac"}, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 96000},
      {{"in16.flac", "o7.wav"}, kWav16, 96000},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--plugin", kGood};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult run = RunRenderer(args, dir.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Audio output = ReadAudio(dir / c.args.back());
    EXPECT_EQ(output.info.format, c.format) << c.args.back();
    EXPECT_EQ(output.info.samplerate, c.rate) << c.args.back();
    EXPECT_EQ(output.info.frames, kFrames) << c.args.back();
  }
}

TEST_F(RenderEndToEnd, TwentyFourBitSamplesPassUnchangedAtUnityGain) {
  WriteAudio(dir / "in24.wav", kWav24, kRate, 2, TestSignal(kFrames, 2));
  ASSERT_EQ(RunRenderer({"--plugin", kGood, "in24.wav", "out.wav"}, dir.Path()).exitCode, 0);
  EXPECT_EQ(ReadAudio(dir / "out.wav").samples, ReadAudio(dir / "in24.wav").samples);
}

TEST_F(RenderEndToEnd, ReplacesAnExistingOutputOnlyWithForce) {
  WriteAudio(dir / "out.wav", kWav16, 8000, 1, std::vector<double>(100, 0.25));
  const RunResult refused = Render({"--plugin", kGood});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err, "quillmere-render: out.wav already exists; add --force to replace it\n");
  EXPECT_EQ(ReadAudio(dir / "out.wav").info.frames, 100);

  const RunResult forced = Render({"--plugin", kGood, "--force"});
  ASSERT_EQ(forced.exitCode, 0) << forced.err;
  EXPECT_EQ(ReadAudio(dir / "out.wav").info.frames, kFrames);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"in.wav", "out.wav"}));
}

TEST_F(RenderEndToEnd, NeverWritesOverTheInputEvenWithForce) {
  symlink((dir / "in.wav").c_str(), (dir / "link.wav").c_str());
  for (const std::string output : {"in.wav", "./in.wav", "link.wav"}) {
    const RunResult run = Render({"--plugin", kGood, "--force"}, output);
    EXPECT_EQ(run.exitCode, 1) << output;
    EXPECT_EQ(run.err, "quillmere-render: " + output + " is the input file; choose another output name\n");
  }
  EXPECT_EQ(ReadAudio(dir / "in.wav").samples.size(), 2u * kFrames);
}

// What exists at OUTPUT is replaced only when it is a regular file; a link stays and its target is written.
TEST_F(RenderEndToEnd, ForceReplacesOnlyRegularFilesAndWritesThroughLinks) {
  TempDir other;
  WriteAudio(other / "target.wav", kWav16, 8000, 1, std::vector<double>(100, 0.25));
  ASSERT_EQ(mkfifo((dir / "fifo.wav").c_str(), 0644), 0);
  ASSERT_EQ(symlink((other / "target.wav").c_str(), (dir / "link.wav").c_str()), 0);
  ASSERT_EQ(symlink("fifo.wav", (dir / "fifo-link.wav").c_str()), 0);
  ASSERT_EQ(symlink("gone.wav", (dir / "dangling.wav").c_str()), 0);
  std::vector<std::pair<std::string, std::string>> refused = {
      {"fifo.wav", "cannot write fifo.wav: it is not a regular file"},
      {"fifo-link.wav", "cannot write fifo-link.wav: it is not a regular file"},
      {"dangling.wav", "cannot write dangling.wav: it is a symbolic link to a missing file"},
  };
  // A device node of its own (never one in /dev: a renderer with this fault would replace it).
  if (mknod((dir / "device.wav").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
    refused.push_back({"device.wav", "cannot write device.wav: it is not a regular file"});
  const std::vector<std::string> before = dir.Entries();
  for (const auto& [output, message] : refused) {
    const RunResult run = Render({"--plugin", kGood, "--force"}, output);
    EXPECT_EQ(run.exitCode, 1) << output;
    EXPECT_EQ(run.err, "quillmere-render: " + message + "\n");
    EXPECT_EQ(dir.Entries(), before);
  }
  struct stat node {};
  ASSERT_EQ(stat((dir / "fifo.wav").c_str(), &node), 0);
  EXPECT_TRUE(S_ISFIFO(node.st_mode));
  if (stat((dir / "device.wav").c_str(), &node) == 0) {
    EXPECT_TRUE(S_ISCHR(node.st_mode));
  }
  EXPECT_FALSE(Exists(dir / "gone.wav"));

  const RunResult run = Render({"--plugin", kGood, "--force"}, "link.wav");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  struct stat link {};
  ASSERT_EQ(lstat((dir / "link.wav").c_str(), &link), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode));
  EXPECT_EQ(ReadAudio(other / "target.wav").samples, ReadAudio(dir / "in.wav").samples);
  EXPECT_EQ(dir.Entries(), before);
  EXPECT_EQ(other.Entries(), std::vector<std::string>{"target.wav"});
}

// Every failure: one line on standard error, a non-zero exit, and no file left behind.
TEST_F(RenderEndToEnd, EveryErrorExitsNonZeroWithOneLineAndLeavesNoOutput) {
  WriteAudio(dir / "three.wav", kWavFloat, kRate, 3, TestSignal(100, 3));
  {
    std::ofstream(dir / "text.wav") << "this is not audio\n";
    std::ofstream(dir / "bad-state.bin") << "not a state";
    std::ofstream(dir / "empty-state.bin");
  }
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string message;
  };
  const std::string in = "in.wav", out = "out.wav";
  const std::vector<Case> cases = {
      {{"--plugin", kGood, "missing.wav", out}, 1, "cannot read missing.wav: No such file or directory"},
      {{"--plugin", kGood, "text.wav", out},
       1,
       "text.wav is not an audio file in a format this program reads"},
      {{"--plugin", kGood, "three.wav", out}, 1, "three.wav has 3 channels; only mono and stereo files"},
      {{"--plugin", kGood, "--set", "Width=3", in, out},
       1,
       "no parameter named \"Width\" (see --list-params)"},
      {{"--plugin", kGood, "--set", "Polarity=Sideways", in, out},
       1,
       "the plug-in rejected \"Sideways\" as a value of \"Polarity\""},
      {{"--plugin", kGood, "--set", "Gain=loud", in, out},
       2,
       "--set \"Gain=loud\": \"loud\" is not a number"},
      {{"--plugin", kGood, "--set", "Gain=", in, out}, 2, "--set \"Gain=\": \"\" is not a number"},
      {{"--plugin", kGood, "--set", "Gain=  x", in, out}, 2, "--set \"Gain=  x\": \"  x\" is not a number"},
      {{"--plugin", kGood, "--set-normalized", "2=0.5", in, out}, 1, "no parameter 2 (the plug-in has 2"},
      {{"--plugin", "nowhere.so", in, out}, 1, "cannot load plug-in nowhere.so: No such file or directory"},
      {{"--plugin", "text.wav", in, out}, 1, "cannot load plug-in text.wav: "},
      {{"--plugin", TEST_GAIN_NO_ENTRY, in, out}, 1, "exports no VSTPluginMain or main entry point"},
      {{"--plugin", TEST_GAIN_NO_INSTANCE, in, out}, 1, "made no effect instance"},
      {{"--plugin", TEST_GAIN_BAD_MAGIC, in, out},
       1,
       "returned a bad effect descriptor: magic 0x12345678 instead of 0x56737450"},
      {{"--plugin", TEST_GAIN_MONO, in, out}, 1, "is not a stereo effect: it has 1 input and 2 outputs"},
      {{"--plugin", TEST_GAIN_FLOAT_ONLY, "--precision", "double", in, out},
       1,
       "has no 64-bit processing; use --precision float"},
      {{"--plugin", TEST_GAIN_NAN, in, out}, 1, "produced a non-finite sample at frame 511"},
      {{"--plugin", kGood, in, "no-such-folder/out.wav"}, 1, "the folder no-such-folder does not exist"},
      {{"--plugin", kGood, in, "out.mp9"}, 1, "cannot tell the output file type from \".mp9\""},
      {{"--plugin", kGood, "--format", "float", in, "out.flac"}, 1, "file cannot hold"},
      {{"--plugin", kGood, "--load-state", "bad-state.bin", in, out},
       1,
       "rejected the state in bad-state.bin"},
      {{"--plugin", kGood, "--load-state", "empty-state.bin", in, out},
       1,
       "state file empty-state.bin is empty"},
      {{"--plugin", kGood, "--load-state", "none.bin", in, out}, 1, "cannot read state file none.bin"},
      {{"--plugin", kGood, "--save-state", "in.wav", in, out}, 1, "in.wav is the input file"},
      {{"--plugin", kGood, "--save-state", "text.wav", in, out}, 1, "text.wav already exists; add --force"},
      {{"--plugin", kGood, "--block", "0", in, out}, 2, "--block must be between 1 and 1048576 frames"},
      {{"--plugin", kGood, in}, 2, "OUTPUT is missing"},
      {{"--plugin", kGood, "--save-state", out, in, out}, 2, "--save-state and OUTPUT name the same file"},
  };
  const std::vector<std::string> before = dir.Entries();
  for (const Case& c : cases) {
    const RunResult run = RunRenderer(c.args, dir.Path());
    EXPECT_EQ(run.exitCode, c.exitCode) << c.message;
    EXPECT_EQ(run.err.rfind("quillmere-render: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(dir.Entries(), before) << c.message;
  }
}

// Compressed input: an output type that cannot hold the input's encoding names --format; a damaged file is
// one line saying so, whatever the decoder prints or reports.
TEST_F(RenderEndToEnd, CompressedInputErrorsNameTheRealCause) {
  WriteAudio(dir / "song.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, kRate, 2, TestSignal(3 * kRate, 2));
  WriteAudio(dir / "song.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, kRate, 2, TestSignal(3 * kRate, 2));
  const std::string mp3 = ReadText(dir / "song.mp3"), flac = ReadText(dir / "song.flac");
  ASSERT_GT(mp3.size(), 10000u);
  std::string zeroed = mp3, noise = mp3.substr(0, 200);
  std::fill(zeroed.begin() + zeroed.size() * 2 / 5, zeroed.begin() + zeroed.size() * 3 / 5, '\0');
  unsigned state = 1;
  while (noise.size() < mp3.size()) noise += static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
  const std::vector<std::pair<std::string, std::string>> damaged = {
      {"zeroed.mp3", zeroed},
      {"cut.mp3", mp3.substr(0, mp3.size() / 2)},
      {"noise.mp3", noise},
      {"cut.flac", flac.substr(0, flac.size() / 2)},
  };
  for (const auto& [name, bytes] : damaged) std::ofstream(dir / name, std::ios::binary) << bytes;

  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"song.mp3", "out.wav"},
       "cannot write out.wav: a WAV (Microsoft) file cannot hold the input's encoding (MPEG Layer III); "
       "choose a sample format with --format float, pcm24 or pcm16"},
      {{"song.mp3", "out.flac"},
       "cannot write out.flac: a FLAC (Free Lossless Audio Codec) file cannot hold the input's encoding "
       "(MPEG Layer III); choose a sample format with --format pcm24 or pcm16"},
      {{"zeroed.mp3", "out.wav", "--format", "float"}, "cannot read zeroed.mp3: the file is damaged at "},
      {{"cut.mp3", "out.wav", "--format", "float"}, "cannot read cut.mp3: the file is damaged at 1."},
      {{"noise.mp3", "out.wav", "--format", "float"}, "cannot read noise.mp3: the file is damaged"},
      {{"cut.flac", "out.wav"}, "cannot read cut.flac: the file is damaged at "},
  };
  const std::vector<std::string> before = dir.Entries();
  for (const auto& [args, message] : cases) {
    std::vector<std::string> full = {"--plugin", kGood};
    full.insert(full.end(), args.begin(), args.end());
    const RunResult run = RunRenderer(full, dir.Path());
    EXPECT_EQ(run.exitCode, 1) << args[0];
    EXPECT_EQ(run.err.rfind("quillmere-render: " + message, 0), 0u) << run.err;
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_EQ(dir.Entries(), before);
  }
  const RunResult run =
      RunRenderer({"--plugin", kGood, "--format", "pcm16", "song.mp3", "out.wav"}, dir.Path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadAudio(dir / "out.wav").info.frames, 3 * kRate);
}

TEST_F(RenderEndToEnd, DemoRendersTenSecondsOfStereoIntoTheCurrentFolder) {
  TempDir empty;
  for (int run = 0; run < 2; ++run) {  // the second run replaces the first demo file
    const RunResult result = RunRenderer({"--plugin", kGood}, empty.Path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out.rfind("quillmere-demo.wav: 441000 frames, 10.00 s at 44100 Hz", 0), 0u)
        << result.out;
  }
  EXPECT_EQ(empty.Entries(), std::vector<std::string>{"quillmere-demo.wav"});
  const Audio demo = ReadAudio(empty / "quillmere-demo.wav");
  EXPECT_EQ(demo.info.channels, 2);
  EXPECT_EQ(demo.info.samplerate, 44100);
  EXPECT_EQ(demo.info.frames, 441000);
}

TEST_F(RenderEndToEnd, HostsAFloatOnlyEffectInFloatUnlessDoubleIsDemanded) {
  const RunResult run = Render({"--plugin", TEST_GAIN_FLOAT_ONLY});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("float precision"), std::string::npos) << run.out;
}

TEST_F(RenderEndToEnd, FindsTheOlderMainEntryPoint) {
  const RunResult run = Render({"--plugin", TEST_GAIN_MAIN_ONLY});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadAudio(dir / "out.wav").samples, ReadAudio(dir / "in.wav").samples);
}

TEST_F(RenderEndToEnd, HostsAPeerStereoEffectFromTheSystem) {
  const std::string peer = "/usr/lib/vst/3BandEQ-vst.so";
  if (!Exists(peer)) GTEST_SKIP() << peer << " is not installed";
  const RunResult list = RunRenderer({"--plugin", peer, "--list-params"}, dir.Path());
  ASSERT_EQ(list.exitCode, 0) << list.err;
  EXPECT_NE(list.out.find("Master"), std::string::npos) << list.out;
  // This effect takes no value texts, so only the normalised value reaches it.
  const RunResult text = Render({"--plugin", peer, "--set", "Master=-6"});
  EXPECT_EQ(text.exitCode, 1);
  EXPECT_NE(text.err.find("(--set-normalized 3=X sets it directly)"), std::string::npos) << text.err;
  const RunResult run = Render({"--plugin", peer, "--set-normalized", "3=0.25"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("float precision"), std::string::npos) << run.out;
  const Audio output = ReadAudio(dir / "out.wav");
  EXPECT_EQ(output.info.frames, kFrames);
  for (double s : output.samples) ASSERT_TRUE(std::isfinite(s));
}

// The same checks for each effect the build has: the test effect, and Quillmere when it is built.
struct EffectCase {
  const char* name;
  std::string plugin;
  std::vector<std::string> settings;  // --set options that change the sound
  std::vector<std::string> shown;     // what the renderer prints for them
  std::string numericParameter;       // a parameter shown as a number
  size_t stateBytes;
  double precisionTolerance;  // between 64-bit and 32-bit processing
};

void PrintTo(const EffectCase& c, std::ostream* out) { *out << c.name; }

std::vector<EffectCase> Effects() {
  std::vector<EffectCase> effects = {{"TestGain",
                                      kGood,
                                      {"--set", "Gain=-4.5", "--set", "Polarity=Inverted"},
                                      {"Gain = -4.50 dB", "Polarity = Inverted"},
                                      "Gain",
                                      12,
                                      1e-6}};
#ifdef QUILLMERE_PLUGIN
  const ParameterDefinition& split = kParameterTable[kSplitHz];
  const ParameterDefinition& angle = kParameterTable[kHighAngle];
  effects.push_back(
      {"Quillmere",
       QUILLMERE_PLUGIN,
       {"--set", std::string(split.mName) + "=2500", "--set", std::string(angle.mName) + "=1.5"},
       {std::string(split.mName) + " = 2500.000 " + split.mUnitLabel,
        std::string(angle.mName) + " = 1.500 " + angle.mUnitLabel},
       split.mName,
       48,
       1e-4});
#endif
  return effects;
}

class RenderEachEffect : public RenderEndToEnd, public ::testing::WithParamInterface<EffectCase> {
 protected:
  void SetUp() override {
    if (!Exists(GetParam().plugin)) GTEST_SKIP() << GetParam().plugin << " is not built";
    RenderEndToEnd::SetUp();
  }

  RunResult RenderWith(std::vector<std::string> args, const std::string& output) {
    args.insert(args.begin(), {"--plugin", GetParam().plugin});
    return Render(args, output);
  }
};

TEST_P(RenderEachEffect, FloatAndDoublePrecisionAgreeWithinFloatPrecision) {
  std::vector<std::string> args = GetParam().settings;
  args.insert(args.end(), {"--precision", "double"});
  ASSERT_EQ(RenderWith(args, "double.wav").exitCode, 0);
  args.back() = "float";
  ASSERT_EQ(RenderWith(args, "float.wav").exitCode, 0);
  EXPECT_LT(MaxDifference(ReadAudio(dir / "double.wav").samples, ReadAudio(dir / "float.wav").samples),
            GetParam().precisionTolerance);
}

TEST_P(RenderEachEffect, SavedStateLoadedAgainReproducesTheSameOutput) {
  std::vector<std::string> args = GetParam().settings;
  args.insert(args.end(), {"--save-state", "state.bin"});
  ASSERT_EQ(RenderWith(args, "first.wav").exitCode, 0);
  EXPECT_EQ(ReadText(dir / "state.bin").size(), GetParam().stateBytes);
  ASSERT_EQ(RenderWith({"--load-state", "state.bin"}, "second.wav").exitCode, 0);
  ASSERT_EQ(RenderWith({}, "plain.wav").exitCode, 0);
  const Audio first = ReadAudio(dir / "first.wav");
  EXPECT_EQ(first.samples, ReadAudio(dir / "second.wav").samples);
  EXPECT_NE(first.samples, ReadAudio(dir / "plain.wav").samples);
}

// Each parameter set once, before the summary line, as the effect shows its value and unit.
TEST_P(RenderEachEffect, PrintsTheValuesItSetAsTheEffectShowsThem) {
  const RunResult run = RenderWith(GetParam().settings, "out.wav");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), GetParam().shown.size() + 1) << run.out;
  EXPECT_EQ(lines.back().rfind("out.wav: ", 0), 0u) << run.out;
  lines.pop_back();
  EXPECT_EQ(lines, GetParam().shown);
}

// Value texts that strtod reads no number from are command-line errors; texts that start with one are
// numbers.
TEST_P(RenderEachEffect, ValueTextsOfNumericParametersMustStartWithANumber) {
  const std::string& name = GetParam().numericParameter;
  for (const std::string text : {"abc", "", "  x", "Hz 1000"}) {
    const RunResult run = RenderWith({"--set", name + "=" + text}, "out.wav");
    EXPECT_EQ(run.exitCode, 2) << text;
    EXPECT_EQ(run.err,
              "quillmere-render: --set \"" + name + "=" + text + "\": \"" + text + "\" is not a number\n");
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(Exists(dir / "out.wav")) << text;
  }
  for (const std::string text : {"2000", " 2e3", "1000 Hz", "inf", "0x10", "-1.5"}) {
    const RunResult run = RenderWith({"--force", "--set", name + "=" + text}, "out.wav");
    EXPECT_EQ(run.exitCode, 0) << text << ": " << run.err;
    EXPECT_EQ(run.out.rfind(name + " = ", 0), 0u) << run.out;
  }
}

INSTANTIATE_TEST_SUITE_P(Effects, RenderEachEffect, ::testing::ValuesIn(Effects()),
                         [](const ::testing::TestParamInfo<EffectCase>& info) { return info.param.name; });

#ifdef QUILLMERE_PLUGIN
class QuillmereRender : public RenderEndToEnd {
 protected:
  void SetUp() override {
    if (!Exists(QUILLMERE_PLUGIN)) GTEST_SKIP() << QUILLMERE_PLUGIN << " is not built";
    RenderEndToEnd::SetUp();
  }
};

TEST_F(QuillmereRender, ListsEveryParameterAndTakesValuesByName) {
  const RunResult run = RunRenderer({"--plugin", QUILLMERE_PLUGIN, "--set",
                                     std::string(kParameterTable[kSplitHz].mName) + "=2000", "--list-params"},
                                    dir.Path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  for (const ParameterDefinition& row : kParameterTable)
    EXPECT_NE(run.out.find(row.mName), std::string::npos) << row.mName;
  EXPECT_NE(run.out.find("2000"), std::string::npos) << run.out;
  EXPECT_EQ(Lines(run.out).size(), kNumParams + 1u) << run.out;  // and the heading
}

TEST_F(QuillmereRender, WarnsThatASplitInKilohertzWasReadAsHertzAndClamped) {
  const std::string split = kParameterTable[kSplitHz].mName;
  const RunResult run = Render({"--plugin", QUILLMERE_PLUGIN, "--set", split + "=2 kHz"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err,
            "quillmere-render: warning: --set \"" + split +
                "=2 kHz\": \"kHz\" after the number is not the unit Hz and was ignored, and 2 is outside "
                "the range; set 100.000 Hz\n");
}

TEST_F(QuillmereRender, DemoRenderWithTheDefaultPluginIsFiniteAndWithinFullScale) {
  const RunResult run = RunRenderer({}, dir.Path());  // finds the plug-in in the build tree
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Audio demo = ReadAudio(dir / "quillmere-demo.wav");
  EXPECT_EQ(demo.info.frames, 441000);
  for (double s : demo.samples) ASSERT_TRUE(std::isfinite(s) && std::fabs(s) <= 1.0);
}
#endif

}  // namespace
