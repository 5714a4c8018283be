// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "dsp/DenormalGuard.h"
#include "effect/EffectEngine.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kOffset = 0.9599310885968813;  // fixed part of every placement angle

struct Stereo {
  std::vector<double> left, right;
  explicit Stereo(int n = 0) : left(n), right(n) {}
  int Frames() const { return static_cast<int>(left.size()); }
};

Stereo Noise(int n, double amplitude, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-amplitude, amplitude);
  Stereo s(n);
  for (int i = 0; i < n; ++i) {
    s.left[i] = dist(gen);
    s.right[i] = dist(gen);
  }
  return s;
}

Stereo Sine(int n, double hz, double rate, double amplitude) {
  Stereo s(n);
  for (int i = 0; i < n; ++i) s.left[i] = s.right[i] = amplitude * std::sin(2.0 * kPi * hz * i / rate);
  return s;
}

Stereo Process(EffectEngine& engine, const Stereo& in, int blockFrames = 0) {
  Stereo out(in.Frames());
  if (blockFrames <= 0) blockFrames = in.Frames();
  for (int start = 0; start < in.Frames(); start += blockFrames) {
    const int n = std::min(blockFrames, in.Frames() - start);
    const double* ins[2] = {in.left.data() + start, in.right.data() + start};
    double* outs[2] = {out.left.data() + start, out.right.data() + start};
    engine.ProcessStereoBlock(ins, outs, n);
  }
  return out;
}

// What an engine fresh from a reset to 44.1 kHz gives for in, in one block, from and into separate buffers.
Stereo ProcessFresh(const Stereo& in) {
  EffectEngine engine;
  engine.Reset(44100.0);
  return Process(engine, in);
}

// The largest magnitude in both channels, over frames from to to (to the end for -1).
double Peak(const Stereo& s, int from = 0, int to = -1) {
  if (to < 0) to = s.Frames();
  double peak = 0.0;
  for (int i = from; i < to; ++i) peak = std::max({peak, std::fabs(s.left[i]), std::fabs(s.right[i])});
  return peak;
}

void ProcessOneFrameChunks(EffectEngine& engine, int chunks) {
  double l = 0.1, r = -0.1;
  double* buffers[2] = {&l, &r};
  for (int i = 0; i < chunks; ++i) engine.ProcessStereoBlock(buffers, buffers, 1);
}

double Rms(const std::vector<double>& x, int from) {
  double sum = 0.0;
  for (size_t i = from; i < x.size(); ++i) sum += x[i] * x[i];
  return std::sqrt(sum / (x.size() - from));
}

}  // namespace

TEST(EffectEngine, StartsWithCreationValuesAndNoFilterDesign) {
  EffectEngine engine;
  EXPECT_EQ(engine.SampleRate(), 44100.0);
  EXPECT_EQ(engine.SplitHz(), 1000.0);
  EXPECT_FALSE(engine.CoefficientsStale());
  EXPECT_EQ(engine.LowJitter(), 0.0);
  EXPECT_EQ(engine.HighJitter(), 0.0);
  EXPECT_EQ(engine.LowJitterCount(), 0);
  EXPECT_EQ(engine.HighJitterCount(), 0);
  EXPECT_EQ(engine.LowPass().mCoefficients.b0, 0.0);
  EXPECT_EQ(engine.HighPass().mCoefficients.a2, 0.0);
}

TEST(EffectEngine, FirstChunkWithoutResetOrParameterChangeIsSilent) {
  EffectEngine engine;
  const Stereo out = Process(engine, Noise(3000, 0.9, 1));
  for (int i = 0; i < out.Frames(); ++i) {
    ASSERT_EQ(out.left[i], 0.0);
    ASSERT_EQ(out.right[i], 0.0);
  }
}

TEST(EffectEngine, BlocksAreCutIntoChunksOf4096Frames) {
  struct Case {
    int frames;
    std::vector<int> chunks;
  };
  const Case cases[] = {
      {1, {1}}, {4096, {4096}}, {4097, {4096, 1}}, {8192, {4096, 4096}}, {10000, {4096, 4096, 1808}}};
  for (const Case& c : cases) {
    const Stereo in = Noise(c.frames, 2.0, c.frames);
    EffectEngine whole, pieces;
    whole.Reset(44100.0);
    pieces.Reset(44100.0);
    const Stereo a = Process(whole, in);
    Stereo b(c.frames);
    int start = 0;
    for (int n : c.chunks) {
      const double* ins[2] = {in.left.data() + start, in.right.data() + start};
      double* outs[2] = {b.left.data() + start, b.right.data() + start};
      pieces.ProcessStereoBlock(ins, outs, n);
      start += n;
    }
    EXPECT_EQ(a.left, b.left) << c.frames;
    EXPECT_EQ(a.right, b.right) << c.frames;
    EXPECT_EQ(whole.LowJitterCount(), static_cast<int>(c.chunks.size())) << c.frames;
    EXPECT_EQ(whole.HighJitterCount(), static_cast<int>(c.chunks.size())) << c.frames;
  }
}

TEST(EffectEngine, EmptyBlockReadsWritesAndAdvancesNothing) {
  EffectEngine engine;
  engine.Reset(44100.0);
  for (int n : {0, -1, -4096}) engine.ProcessStereoBlock(nullptr, nullptr, n);
  EXPECT_EQ(engine.LowJitterCount(), 0);
  EXPECT_EQ(engine.HighJitterCount(), 0);
}

TEST(EffectEngine, JitterIsDrawnAtTheEndsOfChunks21And42ForLowAnd51ForHigh) {
  EffectEngine engine;
  engine.Reset(44100.0);
  struct Step {
    int chunk;
    double low, high;
  };
  const Step steps[] = {{1, 0, 0},   {20, 0, 0},  {21, 10, 0},  {41, 10, 0},
                        {42, 13, 0}, {50, 13, 0}, {51, 13, -19}};
  int done = 0;
  for (const Step& s : steps) {
    ProcessOneFrameChunks(engine, s.chunk - done);
    done = s.chunk;
    EXPECT_EQ(engine.LowJitter(), s.low) << "after chunk " << s.chunk;
    EXPECT_EQ(engine.HighJitter(), s.high) << "after chunk " << s.chunk;
  }
  EXPECT_EQ(engine.LowJitterCount(), 9);
  EXPECT_EQ(engine.HighJitterCount(), 0);
}

TEST(EffectEngine, ResetNeitherReseedsNorRewindsTheJitter) {
  EffectEngine steady, resetting;
  steady.Reset(44100.0);
  resetting.Reset(44100.0);
  for (int chunk = 1; chunk <= 200; ++chunk) {
    if (chunk % 17 == 0) resetting.Reset(chunk % 2 ? 48000.0 : 44100.0);
    ProcessOneFrameChunks(steady, 1);
    ProcessOneFrameChunks(resetting, 1);
    ASSERT_EQ(resetting.LowJitter(), steady.LowJitter()) << chunk;
    ASSERT_EQ(resetting.HighJitter(), steady.HighJitter()) << chunk;
    ASSERT_EQ(resetting.LowJitterCount(), steady.LowJitterCount()) << chunk;
  }
}

TEST(EffectEngine, OutOfRangeParameterIndexChangesNothing) {
  const Stereo in = Noise(1000, 0.5, 7);
  const Stereo expected = ProcessFresh(in);
  for (int index : {-1, 5, 100}) {
    EffectEngine engine;
    engine.Reset(44100.0);
    engine.SetParameter(index, 5000.0);
    EXPECT_FALSE(engine.CoefficientsStale());
    EXPECT_EQ(engine.SplitHz(), 1000.0);
    const Stereo out = Process(engine, in);
    EXPECT_EQ(out.left, expected.left) << index;
    EXPECT_EQ(out.right, expected.right) << index;
  }
  EffectEngine fresh;
  fresh.SetParameter(5, 1.0);
  const Stereo silent = Process(fresh, in);
  for (double v : silent.left) ASSERT_EQ(v, 0.0);
}

TEST(EffectEngine, ParameterChangeRedesignsAtNextChunk) {
  EffectEngine engine;
  engine.SetParameter(0, 2000.0);
  EXPECT_TRUE(engine.CoefficientsStale());
  EXPECT_EQ(engine.LowPass().mCoefficients.b0, 0.0);
  ProcessOneFrameChunks(engine, 1);
  EXPECT_FALSE(engine.CoefficientsStale());
  EXPECT_NE(engine.LowPass().mCoefficients.b0, 0.0);
  engine.SetParameter(1, 3.0);
  engine.Reset(48000.0);
  EXPECT_TRUE(engine.CoefficientsStale());
}

TEST(EffectEngine, BandsAtMinusTenDegreesHaveEqualLeftAndRightGains) {
  // With identical input channels, equal gains give (nearly) equal output channels.
  const Stereo in = Sine(4000, 440.0, 44100.0, 0.5);
  EffectEngine engine;
  engine.SetParameter(3, -10.0 * kPi / 180.0);
  engine.SetParameter(4, -10.0 * kPi / 180.0);
  engine.Reset(44100.0);
  const Stereo out = Process(engine, in);
  double loudest = 0.0;
  for (int i = 0; i < out.Frames(); ++i) {
    ASSERT_NEAR(out.left[i], out.right[i], 1e-15);
    loudest = std::max(loudest, std::fabs(out.left[i]));
  }
  EXPECT_GT(loudest, 0.2);
}

TEST(EffectEngine, PreFilterMagnitudeMatchesItsDesignAt44100Hz) {
  // One band is steered fully into the left channel (gain cos 0 = 1), the other out of it (cos pi/2).
  struct Case {
    double hz, splitHz, lowAngle, highAngle, expectedDb;
  };
  const double toOne = -kOffset, toZero = kPi / 2 - kOffset;
  const Case cases[] = {
      {1000.0, 20000.0, toOne, toZero, -0.65},
      {80.0, 20000.0, toOne, toZero, -20.6},
      {21000.0, 100.0, toZero, toOne, -54.7},
  };
  for (const Case& c : cases) {
    EffectEngine engine;
    engine.SetParameter(0, c.splitHz);
    engine.SetParameter(3, c.lowAngle);
    engine.SetParameter(4, c.highAngle);
    engine.Reset(44100.0);
    const Stereo in = Sine(44100, c.hz, 44100.0, 0.5);
    const Stereo out = Process(engine, in);  // 11 chunks: the jitter is still 0
    const double db = 20.0 * std::log10(Rms(out.left, 22050) / Rms(in.left, 22050));
    EXPECT_NEAR(db, c.expectedDb, 0.1) << c.hz << " Hz";
  }
}

TEST(EffectEngine, SplitSendsLowSinesToTheLowBandAndHighSinesToTheHighBand) {
  struct Case {
    double hz;
    bool listenToLowBand;
    bool expectPassed;
  };
  const Case cases[] = {
      {200.0, true, true}, {200.0, false, false}, {8000.0, true, false}, {8000.0, false, true}};
  for (const Case& c : cases) {
    EffectEngine engine;
    engine.SetParameter(3, c.listenToLowBand ? -kOffset : kPi / 2 - kOffset);
    engine.SetParameter(4, c.listenToLowBand ? kPi / 2 - kOffset : -kOffset);
    engine.Reset(44100.0);
    const Stereo in = Sine(22050, c.hz, 44100.0, 0.5);
    const Stereo out = Process(engine, in);
    const double db = 20.0 * std::log10(Rms(out.left, 11025) / Rms(in.left, 11025));
    if (c.expectPassed) {
      EXPECT_GT(db, -2.0) << c.hz << (c.listenToLowBand ? " low" : " high");
    } else {
      EXPECT_LT(db, -25.0) << c.hz << (c.listenToLowBand ? " low" : " high");
    }
  }
}

TEST(EffectEngine, HighQRaisesOnlyTheHighBand) {
  auto levelDb = [](double hz, double lowQDb, double highQDb, bool lowBand) {
    EffectEngine engine;
    engine.SetParameter(1, lowQDb);
    engine.SetParameter(2, highQDb);
    engine.SetParameter(3, lowBand ? -kOffset : kPi / 2 - kOffset);
    engine.SetParameter(4, lowBand ? kPi / 2 - kOffset : -kOffset);
    engine.Reset(44100.0);
    const Stereo in = Sine(22050, hz, 44100.0, 0.1);
    const Stereo out = Process(engine, in);
    return 20.0 * std::log10(Rms(out.left, 11025) / Rms(in.left, 11025));
  };
  EXPECT_NEAR(levelDb(8000.0, 0.0, 6.0, false) - levelDb(8000.0, 0.0, 0.0, false), 6.0, 0.1);
  EXPECT_NEAR(levelDb(200.0, 0.0, 6.0, true), levelDb(200.0, 0.0, 0.0, true), 1e-9);
  EXPECT_NEAR(levelDb(8000.0, 6.0, 0.0, false), levelDb(8000.0, 0.0, 0.0, false), 1e-9);
}

// The outputs may take the inputs' memory or each other's and still hold what separate buffers would.
TEST(EffectEngine, OutputsMayTakeTheInputsOrEachOthersMemory) {
  enum Memory { kLeftInput, kRightInput, kSpare };
  const struct {
    const char* what;
    int frames;
    double amplitude;
    unsigned seed;
    Memory outLeft, outRight;
  } cases[] = {
      {"in place", 10000, 1.5, 3, kLeftInput, kRightInput},
      // Each output frame is written after that frame was read from both inputs.
      {"each output in the other channel's input", 10000, 1.5, 4, kRightInput, kLeftInput},
      // As if every frame were written left then right: the right channel, each sample limited once.
      {"both outputs in one buffer", 5000, 3.0, 8, kSpare, kSpare},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Stereo in = Noise(c.frames, c.amplitude, c.seed);
    const Stereo expected = ProcessFresh(in);
    Stereo buffer = in;
    std::vector<double> spare(static_cast<size_t>(c.frames));
    std::vector<double>* memory[] = {&buffer.left, &buffer.right, &spare};
    const double* ins[2] = {buffer.left.data(), buffer.right.data()};
    double* outs[2] = {memory[c.outLeft]->data(), memory[c.outRight]->data()};
    EffectEngine engine;
    engine.Reset(44100.0);
    engine.ProcessStereoBlock(ins, outs, c.frames);
    EXPECT_EQ(*memory[c.outRight], expected.right);
    if (c.outLeft != c.outRight) {
      EXPECT_EQ(*memory[c.outLeft], expected.left);
    }
  }
}

// Scaling the input by a power of two scales every value inside the filters exactly, so an engine fed 2^k x
// produces 2^k times the unlimited output of an engine fed x, bit for bit. Halving shows that quiet chunks
// leave unscaled; multiplying by 256 makes every chunk loud, and each must come out divided by its own peak,
// taken over both channels, so that its loudest sample is exactly 1.
TEST(EffectEngine, LoudChunksAreDividedByTheirOwnPeakAndQuietChunksLeaveUnscaled) {
  const Stereo quiet = Noise(10000, 0.05, 21);
  const int chunks[][2] = {{0, 4096}, {4096, 8192}, {8192, 10000}};
  auto scaled = [&quiet](double factor) {
    Stereo s = quiet;
    for (int i = 0; i < s.Frames(); ++i) {
      s.left[i] *= factor;
      s.right[i] *= factor;
    }
    return s;
  };
  const Stereo reference = ProcessFresh(quiet);
  const Stereo half = ProcessFresh(scaled(0.5)), loud = ProcessFresh(scaled(256.0));
  for (const auto& chunk : chunks) {
    SCOPED_TRACE(::testing::Message() << "chunk from frame " << chunk[0]);
    const double peak = Peak(reference, chunk[0], chunk[1]);
    ASSERT_LT(peak, 0.9999);
    ASSERT_GT(peak * 256.0, 0.9999);
    for (int i = chunk[0]; i < chunk[1]; ++i) {
      ASSERT_EQ(half.left[i], reference.left[i] * 0.5) << i;
      ASSERT_EQ(half.right[i], reference.right[i] * 0.5) << i;
      ASSERT_EQ(loud.left[i], reference.left[i] / peak) << i;
      ASSERT_EQ(loud.right[i], reference.right[i] / peak) << i;
    }
    EXPECT_EQ(Peak(loud, chunk[0], chunk[1]), 1.0);
  }
}

// A chunk is limited when its peak exceeds 0.9999 and only then.
TEST(EffectEngine, LimitingStartsJustAboveTheThreshold) {
  const Stereo probe = Noise(3000, 0.05, 22);
  const double peak = Peak(ProcessFresh(probe));
  ASSERT_LT(peak, 0.9999);
  const struct {
    double targetPeak;
    bool limited;
  } cases[] = {
      {0.5, false}, {0.9999 * (1.0 - 1e-9), false}, {0.9999 * (1.0 + 1e-9), true}, {1.0, true}, {8.0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "peak " << c.targetPeak);
    Stereo in = probe;
    const double factor = c.targetPeak / peak;
    for (int i = 0; i < in.Frames(); ++i) {
      in.left[i] *= factor;
      in.right[i] *= factor;
    }
    const double loudest = Peak(ProcessFresh(in));
    if (c.limited) {
      EXPECT_EQ(loudest, 1.0);
    } else {
      EXPECT_NEAR(loudest, c.targetPeak, 1e-12);
    }
  }
}

// A NaN sample takes no part in finding the peak: the finite samples of its chunk are still limited to
// exactly 1.
TEST(EffectEngine, NaNSamplesAreLeftOutOfThePeak) {
  Stereo in = Noise(4096, 2.0, 23);
  in.left[1000] = std::numeric_limits<double>::quiet_NaN();
  const Stereo out = ProcessFresh(in);
  int nans = 0;
  double loudest = 0.0;
  for (const std::vector<double>* channel : {&out.left, &out.right}) {
    for (double v : *channel) {
      if (std::isnan(v)) {
        ++nans;
      } else {
        loudest = std::max(loudest, std::fabs(v));
      }
    }
  }
  EXPECT_GT(nans, 0);
  EXPECT_LT(nans, 4096);
  EXPECT_EQ(loudest, 1.0);
}

TEST(EffectEngine, NonFiniteInputSampleSilencesOnlyItsOwnChunk) {
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    Stereo in = Noise(3 * 4096, 0.5, 11);
    in.left[4096 + 100] = bad;
    const Stereo out = ProcessFresh(in);
    bool badSeen = false;
    for (int i = 4096; i < 2 * 4096; ++i) badSeen = badSeen || !std::isfinite(out.left[i]);
    EXPECT_TRUE(badSeen);
    for (int i = 0; i < out.Frames(); ++i) {
      ASSERT_TRUE(std::isfinite(out.right[i])) << i;
      if (i < 4096 || i >= 2 * 4096) {
        ASSERT_TRUE(std::isfinite(out.left[i])) << i;
      }
    }
  }
}

TEST(EffectEngine, SplitAboveHalfTheRateStaysBounded) {
  EffectEngine engine;
  engine.SetParameter(0, 20000.0);
  engine.Reset(32000.0);
  for (const BandFilter* f : {&engine.LowPass(), &engine.HighPass()}) {
    const SectionCoefficients& c = f->mCoefficients;
    EXPECT_LT(std::fabs(c.a2), 1.0);
    EXPECT_LT(std::fabs(c.a1), 1.0 + c.a2);
  }
  const Stereo in = Noise(4096, 1.0, 5);
  double* io[2] = {nullptr, nullptr};
  for (int chunk = 0; chunk < 30; ++chunk) {
    Stereo buffer = in;
    io[0] = buffer.left.data();
    io[1] = buffer.right.data();
    engine.ProcessStereoBlock(io, io, 4096);
    for (int i = 0; i < 4096; ++i)
      ASSERT_TRUE(std::isfinite(buffer.left[i]) && std::isfinite(buffer.right[i]));
    for (int c = 0; c < 2; ++c) {
      ASSERT_LT(std::fabs(engine.LowPass().mS1[c]), 1e3);
      ASSERT_LT(std::fabs(engine.HighPass().mS1[c]), 1e3);
    }
  }
}

TEST(EffectEngine, SplitBelowTheLimitKeepsTheTextbookDesign) {
  EffectEngine engine;
  engine.SetParameter(0, 15000.0);
  engine.Reset(32000.0);
  const double w0 = 15000.0 * 6.283185307179586 / 32000.0;
  const double alpha = std::sin(w0) / (1.0 * 2.0);
  const double k = 1.0 / (alpha + 1.0);
  EXPECT_EQ(engine.LowPass().mCoefficients.b1, (1.0 - std::cos(w0)) * k);
  EXPECT_EQ(engine.HighPass().mCoefficients.a1, std::cos(w0) * -2.0 * k);
}

// Tails of decaying filters settle near the smallest normal numbers instead of running into denormals.
TEST(EffectEngine, SilenceAfterLoudInputNeverProducesDenormals) {
  auto isDenormal = [](double x) { return std::fpclassify(x) == FP_SUBNORMAL; };
  EffectEngine engine;
  engine.Reset(44100.0);
  Process(engine, Noise(8192, 1.5, 9));
  const Stereo silence(44100);
  for (int second = 0; second < 25; ++second) {
    const Stereo out = Process(engine, silence);
    for (int i = 0; i < out.Frames(); ++i) ASSERT_FALSE(isDenormal(out.left[i]) || isDenormal(out.right[i]));
    for (int c = 0; c < 2; ++c) {
      for (int k = 0; k < PreFilter::kSections; ++k) {
        ASSERT_FALSE(isDenormal(engine.PreFilterState().mS1[k][c]) ||
                     isDenormal(engine.PreFilterState().mS2[k][c]));
      }
    }
  }
}

// Values far outside the parameter ranges (a host's normalised value of -1e30 or minus infinity) must not
// turn the bands into NaN: such a band goes silent, and the effect recovers when the value becomes sensible
// again.
TEST(EffectEngine, DegenerateParameterValuesSilenceTheirBandInsteadOfOutputtingNaN) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    int index;
    double value;
  } cases[] = {{0, 0.0}, {0, nan},  {1, -inf}, {1, -1e300}, {1, nan},  {2, -inf},  {2, -1e300},
               {2, nan}, {3, -inf}, {3, inf},  {3, nan},    {4, -inf}, {4, 1e300}, {4, nan}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "parameter " << c.index << " = " << c.value);
    EffectEngine engine;
    engine.Reset(44100.0);
    engine.SetParameter(c.index, c.value);
    const Stereo out = Process(engine, Noise(3 * 4096, 0.5, 3), 512);
    for (int i = 0; i < out.Frames(); ++i) {
      ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << i;
    }
    engine.SetParameter(c.index, c.index == 0 ? 1000.0 : 0.0);
    const Stereo recovered = Process(engine, Noise(4096, 0.5, 4), 512);
    EXPECT_GT(Rms(recovered.left, 2048), 0.01);
  }
}

#if QUILLMERE_HAS_MXCSR
// The engine flushes denormals while it runs and hands the caller back its own control bits.
TEST(EffectEngine, ProcessingRestoresTheCallersFloatingPointControl) {
  constexpr unsigned kFlushBits = DenormalGuard::kFlushToZero | DenormalGuard::kDenormalsAreZero;
  const unsigned saved = _mm_getcsr();
  EffectEngine engine;
  engine.Reset(44100.0);
  Stereo buffer = Noise(600, 0.5, 12);
  const double* in[2] = {buffer.left.data(), buffer.right.data()};
  double* out[2] = {buffer.left.data(), buffer.right.data()};
  for (unsigned caller : {0x1F80u, 0x1F80u | kFlushBits, 0x1F80u | 0x3Fu, 0x1F80u | kFlushBits | 0x3Fu}) {
    _mm_setcsr(caller);
    engine.ProcessStereoBlock(in, out, 600);
    const unsigned after = _mm_getcsr();
    _mm_setcsr(saved);
    EXPECT_EQ(after & DenormalGuard::kControlBits, caller & DenormalGuard::kControlBits) << caller;
  }
}

// An engine told that its caller flushes gives, under the caller's guard, the bits of an engine that flushes
// for itself, subnormal inputs included.
TEST(EffectEngine, CallerFlushingChangesNoBit) {
  const unsigned saved = _mm_getcsr();
  Stereo input = Noise(700, 0.5, 21);
  for (int i = 0; i < input.Frames(); i += 7) input.left[i] = input.right[i] = 1e-310 * (i % 3 - 1);
  EffectEngine own, flushedByCaller;
  flushedByCaller.SetCallerFlushes(true);
  for (EffectEngine* engine : {&own, &flushedByCaller}) engine->Reset(48000.0);
  Stereo a = input, b = input;
  double* ina[2] = {a.left.data(), a.right.data()};
  double* inb[2] = {b.left.data(), b.right.data()};
  _mm_setcsr(0x1F80u);
  own.ProcessStereoBlock(ina, ina, input.Frames());
  {
    DenormalGuard callers;
    flushedByCaller.ProcessStereoBlock(inb, inb, input.Frames());
  }
  _mm_setcsr(saved);
  for (int i = 0; i < input.Frames(); ++i) {
    ASSERT_EQ(a.left[i], b.left[i]) << i;
    ASSERT_EQ(a.right[i], b.right[i]) << i;
  }
}
#endif
