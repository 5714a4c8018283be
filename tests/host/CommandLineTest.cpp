// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "CommandLine.h"
#include "RenderError.h"
#include "RenderTestSupport.h"

namespace {

TEST(CommandLine, DefaultsRenderTheDemoWithDoublePrecisionIn512FrameBlocks) {
  const RenderOptions options = CommandLine::Parse({});
  EXPECT_EQ(options.mInput, "");
  EXPECT_EQ(options.mOutput, "quillmere-demo.wav");
  EXPECT_EQ(options.mBlockSize, 512);
  EXPECT_EQ(options.mPrecision, EPrecision::kDefault);
  EXPECT_EQ(options.mFormat, EOutputFormat::kSameAsInput);
  EXPECT_FALSE(options.mForce);
}

TEST(CommandLine, ReadsEveryOptionInBothSpellings) {
  const RenderOptions options =
      CommandLine::Parse({"--block", "64", "--precision=float", "--format", "pcm24", "--set",
                          "Freqz Split=2000", "--set-normalized=3=0.25", "--plugin", "p.so",
                          "--save-state=s.bin", "--load-state", "l.bin", "-f", "-q", "in.wav", "out.wav"});
  EXPECT_EQ(options.mBlockSize, 64);
  EXPECT_EQ(options.mPrecision, EPrecision::kFloat);
  EXPECT_EQ(options.mFormat, EOutputFormat::kPcm24);
  ASSERT_EQ(options.mSettings.size(), 2u);
  EXPECT_FALSE(options.mSettings[0].mNormalized);
  EXPECT_EQ(options.mSettings[0].mName, "Freqz Split");
  EXPECT_EQ(options.mSettings[0].mText, "2000");
  EXPECT_TRUE(options.mSettings[1].mNormalized);
  EXPECT_EQ(options.mSettings[1].mIndex, 3);
  EXPECT_DOUBLE_EQ(options.mSettings[1].mValue, 0.25);
  EXPECT_EQ(options.mPluginPath, "p.so");
  EXPECT_EQ(options.mSaveState, "s.bin");
  EXPECT_EQ(options.mLoadState, "l.bin");
  EXPECT_TRUE(options.mForce);
  EXPECT_TRUE(options.mQuiet);
  EXPECT_EQ(options.mInput, "in.wav");
  EXPECT_EQ(options.mOutput, "out.wav");
}

TEST(CommandLine, DoubleDashEndsOptionsAndValueTextsMayHoldEqualSigns) {
  const RenderOptions options = CommandLine::Parse({"--set", "A=b=c", "--", "-in.wav", "-out.wav"});
  EXPECT_EQ(options.mSettings[0].mName, "A");
  EXPECT_EQ(options.mSettings[0].mText, "b=c");
  EXPECT_EQ(options.mInput, "-in.wav");
  EXPECT_EQ(options.mOutput, "-out.wav");
}

TEST(CommandLine, OutputDirTakesEveryPositionalArgumentAsAnInput) {
  const RenderOptions options =
      CommandLine::Parse({"--output-dir", "out/", "-j", "3", "a.wav", "x/b.flac", "/c.aiff"});
  EXPECT_EQ(options.mInputs, (std::vector<std::string>{"a.wav", "x/b.flac", "/c.aiff"}));
  EXPECT_EQ(options.mJobs, 3);
  EXPECT_EQ(options.mInput, "");
  EXPECT_EQ(options.mOutput, "");
  EXPECT_EQ(CommandLine::BatchOutputPath("out/", "x/b.flac"), "out/b.flac");
  EXPECT_EQ(CommandLine::BatchOutputPath("out//", "a.wav"), "out/a.wav");
  EXPECT_EQ(CommandLine::BatchOutputPath("/", "x/a.wav"), "/a.wav");
}

TEST(CommandLine, RejectsWhatItCannotUseWithTheUsageExitCode) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"in.wav"}, "OUTPUT is missing"},
      {{"a", "b", "c"}, "too many arguments"},
      {{"--block", "0", "a", "b"}, "--block must be between"},
      {{"--block", "12x", "a", "b"}, "not a whole number"},
      {{"--block"}, "--block needs a value"},
      {{"--precision", "half"}, "--precision must be double or float"},
      {{"--format", "mp3"}, "--format must be float, pcm16 or pcm24"},
      {{"--set", "NoEquals"}, "--set needs"},
      {{"--set", "=5"}, "--set needs"},
      {{"--set-normalized", "1=1.5"}, "outside 0 to 1"},
      {{"--set-normalized", "x=0.5"}, "not a whole number"},
      {{"--set-normalized", "-1=0.5"}, "negative"},
      {{"--list-params", "a", "b"}, "--list-params takes no INPUT or OUTPUT"},
      {{"--bogus"}, "unknown option --bogus"},
      {{"--force=yes"}, "takes no value"},
      {{"--quiet=yes"}, "takes no value"},
      {{"--save-state", "s", "--load-state", "s"}, "same file"},
      {{"--output-dir", "o"}, "--output-dir needs at least one INPUT"},
      {{"--output-dir", "o", "a/x.wav", "b/x.wav"}, "two inputs would both be written to o/x.wav"},
      {{"--output-dir", "o", "x.wav", "x.wav"}, "two inputs would both be written to o/x.wav"},
      {{"--output-dir", "o", "folder/"}, "\"folder/\" is not a file name"},
      {{"--output-dir", "o", "--list-params", "a.wav"}, "--list-params takes no --output-dir"},
      {{"--output-dir", "o", "--save-state", "s", "a.wav"}, "--save-state cannot be used with --output-dir"},
      {{"--jobs", "2", "a", "b"}, "--jobs needs --output-dir"},
      {{"--output-dir", "o", "--jobs", "0", "a"}, "--jobs must be between 1 and 1024"},
      {{"--output-dir="}, "--output-dir needs a folder"},
  };
  ExpectUsageErrors(cases);
}

}  // namespace
