// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

#include "effect/ParameterTable.h"
#include "tests/torture/BlockRunner.h"

namespace torture {
namespace {

constexpr Path kPaths[] = {Path::kFloat, Path::kDouble, Path::kAccumulating};

// Two channels of test signal.
struct Signal {
  explicit Signal(int frames) : left(frames), right(frames) {}
  const double* in[2] = {nullptr, nullptr};
  double* out[2] = {nullptr, nullptr};
  std::vector<double> left, right, outLeft, outRight;
  void Fill(Noise& noise, double level) {
    for (size_t i = 0; i < left.size(); ++i) {
      left[i] = level * noise.Signed();
      right[i] = level * noise.Signed();
    }
    in[0] = left.data();
    in[1] = right.data();
  }
  void KeepOutput() {
    outLeft.assign(left.size(), 0.0);
    outRight.assign(left.size(), 0.0);
    out[0] = outLeft.data();
    out[1] = outRight.data();
  }
};

// Normalised values for the first five parameters: defaults, every value at its top, every value at its
// bottom.
void ApplyParameterSet(Instance& plug, int which) {
  const int count = std::min<int>(plug.Effect()->numParams, kNumParams);
  for (int p = 0; p < count && which > 0; ++p)
    plug.SetParameter(p, which == 1 ? 1.0f : (p >= 3 ? 0.5f : 0.0f));
}

TEST(Processing, EveryRateBlockSizeCallbackAndBufferLayoutGivesCleanOutput) {
  const float rates[] = {8000.0f,  22050.0f,  44100.0f,  48000.0f,   88200.0f,
                         96000.0f, 192000.0f, 384000.0f, 1234.5678f, 45678.901f};
  const int sizes[] = {1, 10, 17, 64, 512, 1536, 2027, 4096, 4097, 16384};
  int combination = 0;
  for (float rate : rates) {
    for (int size : sizes) {
      const int total = std::max(3 * size, 8192);
      for (Path path : kPaths) {
        for (bool inPlace : {false, true}) {
          SCOPED_TRACE(::testing::Message() << "rate " << rate << ", block " << size << ", " << PathName(path)
                                            << (inPlace ? ", in place" : ", separate buffers"));
          Instance plug;
          ASSERT_TRUE(plug.IsValid());
          plug.Start(rate, size);
          ApplyParameterSet(plug, combination++ % 3);
          BlockRunner runner(plug, path, inPlace, size);
          Noise noise(static_cast<uint64_t>(size) * 31 + static_cast<uint64_t>(rate));
          Signal signal(size);
          for (int done = 0; done < total; done += size) {
            // Loud noise for two thirds of the run, then silence so the filter tails decay.
            signal.Fill(noise, done < 2 * total / 3 ? 0.7 : 0.0);
            const long bad = runner.Process(signal.in, nullptr, size);
            if (bad != -1) {
              ADD_FAILURE() << "bad output sample " << bad << " in the block at frame " << done;
              break;
            }
          }
        }
      }
    }
  }
}

TEST(Processing, RandomBlockSizesIncludingZeroAndLongerThanAnnouncedGiveCleanOutput) {
  for (Path path : kPaths) {
    for (bool inPlace : {false, true}) {
      SCOPED_TRACE(::testing::Message() << PathName(path) << (inPlace ? ", in place" : ", separate buffers"));
      Instance plug;
      plug.Start(44100.0f, 512);
      constexpr int kLongest = 3000;
      BlockRunner runner(plug, path, inPlace, kLongest);
      Noise noise(99);
      Signal signal(kLongest);
      for (int call = 0; call < 400; ++call) {
        const int pick = noise.Below(10);
        const int frames = pick == 0   ? 0
                           : pick == 1 ? 513 + noise.Below(kLongest - 512)
                                       : 1 + noise.Below(512);
        signal.Fill(noise, 0.5);
        ASSERT_EQ(runner.Process(signal.in, nullptr, frames), -1)
            << "call " << call << ", " << frames << " frames";
      }
    }
  }
}

TEST(Processing, ZeroAndNegativeFrameCountsTouchNoBuffer) {
  Instance plug;
  plug.Start(44100.0f, 256);
  StereoBuffers<float> f(16);
  StereoBuffers<double> d(16);
  for (int c = 0; c < 2; ++c) {
    std::fill(f.in[c].begin(), f.in[c].end(), 0.125f);
    std::fill(f.out[c].begin(), f.out[c].end(), 1234.5f);
    std::fill(d.in[c].begin(), d.in[c].end(), 0.125);
    std::fill(d.out[c].begin(), d.out[c].end(), 1234.5);
  }
  for (int frames : {0, -1, -4096, std::numeric_limits<int>::min()}) {
    plug.ProcessFloat(f.inPtr, f.outPtr, frames);
    plug.ProcessAccumulating(f.inPtr, f.outPtr, frames);
    plug.ProcessDouble(d.inPtr, d.outPtr, frames);
  }
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < 16; ++i) {
      ASSERT_EQ(f.out[c][i], 1234.5f);
      ASSERT_EQ(f.in[c][i], 0.125f);
      ASSERT_EQ(d.out[c][i], 1234.5);
      ASSERT_EQ(d.in[c][i], 0.125);
    }
  }
  // Some hosts send empty blocks without buffers.
  plug.ProcessFloat(nullptr, nullptr, 0);
  plug.ProcessAccumulating(nullptr, nullptr, 0);
  plug.ProcessDouble(nullptr, nullptr, 0);
  plug.ProcessFloat(f.inPtr, f.outPtr, 16);
  EXPECT_EQ(FirstBadSample(f.outPtr, 16), -1);
}

struct BadInput {
  const char* name;
  double value;
  bool finite;  // finite input: the output must stay clean throughout
};

// A bad value in one block (one sample, or every sample) must not crash the instance, and once the input is
// clean again the output is clean again within two chunks of 4096 frames.
TEST(Processing, NonFiniteAndExtremeInputsRecoverOnceTheInputIsClean) {
  const BadInput inputs[] = {
      {"NaN", std::numeric_limits<double>::quiet_NaN(), false},
      {"signalling NaN", std::numeric_limits<double>::signaling_NaN(), false},
      {"+infinity", std::numeric_limits<double>::infinity(), false},
      {"-infinity", -std::numeric_limits<double>::infinity(), false},
      {"1e30", 1e30, true},
      {"-1e30", -1e30, true},
      {"float subnormal", static_cast<double>(std::numeric_limits<float>::denorm_min()) * 3, true},
      {"double subnormal", std::numeric_limits<double>::denorm_min() * 3, true},
      {"largest float", static_cast<double>(FLT_MAX), true},
  };
  constexpr int kRecoveryFrames = 2 * 4096;
  for (const BadInput& bad : inputs) {
    for (Path path : kPaths) {
      if (path != Path::kDouble && std::fabs(bad.value) > 0 && std::fabs(bad.value) < FLT_MIN &&
          static_cast<float>(bad.value) == 0.0f)
        continue;  // not representable in a float buffer
      for (int size : {64, 4096, 10000}) {
        for (bool everySample : {false, true}) {
          SCOPED_TRACE(::testing::Message() << bad.name << ", " << PathName(path) << ", block " << size
                                            << (everySample ? ", every sample" : ", one sample"));
          Instance plug;
          plug.Start(44100.0f, size);
          BlockRunner runner(plug, path, size == 4096, size);
          Noise noise(5);
          Signal signal(size);
          for (int done = 0; done < 8192; done += size) {
            signal.Fill(noise, 0.5);
            ASSERT_EQ(runner.Process(signal.in, nullptr, size), -1);
          }
          signal.Fill(noise, 0.5);
          if (everySample) {
            std::fill(signal.left.begin(), signal.left.end(), bad.value);
            std::fill(signal.right.begin(), signal.right.end(), bad.value);
          } else {
            signal.left[size / 2] = bad.value;
          }
          const long badOut = runner.Process(signal.in, nullptr, size);
          if (bad.finite && badOut != -1) {
            ADD_FAILURE() << "finite input gave a bad output sample at " << badOut;
            continue;
          }
          for (int done = 0; done < kRecoveryFrames + 8 * 4096; done += size) {
            signal.Fill(noise, 0.5);
            const long later = runner.Process(signal.in, nullptr, size);
            if ((bad.finite || done >= kRecoveryFrames) && later != -1) {
              ADD_FAILURE() << "bad output sample " << later << " in the block " << done
                            << " frames after the bad block";
              break;
            }
          }
        }
      }
    }
  }
}

TEST(Processing, SilenceAfterLoudInputDecaysWithoutSubnormals) {
  for (float rate : {8000.0f, 44100.0f, 384000.0f}) {
    for (Path path : kPaths) {
      SCOPED_TRACE(::testing::Message() << "rate " << rate << ", " << PathName(path));
      Instance plug;
      plug.Start(rate, 1024);
      ApplyParameterSet(plug, 1);
      BlockRunner runner(plug, path, false, 1024);
      Noise noise(3);
      Signal signal(1024);
      const int loud = static_cast<int>(rate / 4);
      const int total = loud + static_cast<int>(3 * std::max(rate, 44100.0f));
      for (int done = 0; done < total; done += 1024) {
        signal.Fill(noise, done < loud ? 0.9 : 0.0);
        const long bad = runner.Process(signal.in, nullptr, 1024);
        if (bad != -1) {
          ADD_FAILURE() << "bad output sample " << bad << " in the block at frame " << done;
          break;
        }
      }
    }
  }
}

TEST(Processing, SuspendResumeAndSettingsChangedMidStreamKeepOutputClean) {
  Instance plug;
  plug.Start(48000.0f, 256);
  constexpr int kLongest = 1024;
  BlockRunner runners[] = {{plug, Path::kFloat, false, kLongest},
                           {plug, Path::kDouble, true, kLongest},
                           {plug, Path::kAccumulating, false, kLongest}};
  Noise noise(11);
  Signal signal(kLongest);
  const float rates[] = {48000.0f, 44100.0f, 96000.0f, 22050.0f};
  for (int b = 0; b < 600; ++b) {
    if (b % 37 == 0) plug.Suspend();
    if (b % 37 == 3) plug.Resume();   // three blocks arrive while suspended
    if (b % 53 == 20) plug.Resume();  // a resume without a suspend
    if (b % 97 == 50) {
      plug.Suspend();
      plug.SetSampleRate(rates[(b / 97) % 4]);
      plug.SetBlockSize(128 << (b % 4));
      plug.Resume();
    }
    const int frames = 1 + noise.Below(kLongest);
    signal.Fill(noise, 0.6);
    ASSERT_EQ(runners[b % 3].Process(signal.in, nullptr, frames), -1) << "block " << b;
  }
}

// The parameter callback limits only the top of the range, so a host can push a value far below it; the
// output must stay finite, and come back once the value is sane again.
TEST(Processing, ExtremeNormalisedParameterValuesKeepTheOutputFinite) {
  const float values[] = {-1e30f,
                          -1000.0f,
                          -10.0f,
                          1e30f,
                          std::numeric_limits<float>::quiet_NaN(),
                          -std::numeric_limits<float>::infinity(),
                          std::numeric_limits<float>::infinity()};
  for (int param = 0; param < kNumParams; ++param) {
    for (float value : values) {
      for (Path path : {Path::kFloat, Path::kDouble}) {
        SCOPED_TRACE(::testing::Message()
                     << "parameter " << param << " set to " << value << ", " << PathName(path));
        Instance plug;
        plug.Start(44100.0f, 256);
        if (param >= plug.Effect()->numParams) continue;
        plug.SetParameter(param, value);
        BlockRunner runner(plug, path, false, 256);
        Noise noise(6);
        Signal signal(256);
        for (int block = 0; block < 20; ++block) {
          signal.Fill(noise, 0.5);
          const long bad = runner.Process(signal.in, nullptr, 256);
          if (bad != -1) {
            ADD_FAILURE() << "bad output sample " << bad << " in block " << block;
            break;
          }
        }
        plug.SetParameter(param, 0.5f);
        for (int block = 0; block < 40; ++block) {
          signal.Fill(noise, 0.5);
          const long bad = runner.Process(signal.in, nullptr, 256);
          if (block >= 32 && bad != -1) {
            ADD_FAILURE() << "no recovery after the value became 0.5: bad output sample " << bad;
            break;
          }
        }
      }
    }
  }
}

// Equality of whole outputs between two fresh instances fed the same requests.
TEST(Processing, InPlaceProcessingMatchesSeparateBuffersExactly) {
  for (Path path : {Path::kFloat, Path::kDouble}) {
    SCOPED_TRACE(PathName(path));
    Instance a, b;
    a.Start(44100.0f, 700);
    b.Start(44100.0f, 700);
    BlockRunner separate(a, path, false, 700), inPlace(b, path, true, 700);
    Noise noise(21);
    Signal one(700), two(700);
    for (int block = 0; block < 30; ++block) {
      one.Fill(noise, 0.8);
      two.left = one.left;
      two.right = one.right;
      two.in[0] = two.left.data();
      two.in[1] = two.right.data();
      one.KeepOutput();
      two.KeepOutput();
      separate.Process(one.in, one.out, 700);
      inPlace.Process(two.in, two.out, 700);
      ASSERT_EQ(one.outLeft, two.outLeft) << "block " << block;
      ASSERT_EQ(one.outRight, two.outRight) << "block " << block;
    }
  }
}

TEST(Processing, AccumulatingCallbackAddsToWhatTheOutputsHeld) {
  Instance a, b;
  a.Start(44100.0f, 512);
  b.Start(44100.0f, 512);
  StereoBuffers<float> ra(512), rb(512);
  Noise noise(8);
  for (int block = 0; block < 20; ++block) {
    for (int c = 0; c < 2; ++c) {
      for (int i = 0; i < 512; ++i) ra.in[c][i] = rb.in[c][i] = static_cast<float>(0.5 * noise.Signed());
      std::fill(rb.out[c].begin(), rb.out[c].end(), 0.25f);
    }
    a.ProcessFloat(ra.inPtr, ra.outPtr, 512);
    b.ProcessAccumulating(rb.inPtr, rb.outPtr, 512);
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < 512; ++i) ASSERT_EQ(rb.out[c][i], ra.out[c][i] + 0.25f) << "block " << block;
  }
}

}  // namespace
}  // namespace torture
