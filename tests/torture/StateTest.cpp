// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "effect/ParameterTable.h"
#include "tests/torture/BlockRunner.h"

namespace torture {
namespace {

constexpr uint8_t kMagic[4] = {0x74, 0x66, 0x66, 0x70};

std::vector<uint8_t> Header(int32_t version) {
  std::vector<uint8_t> bytes(kMagic, kMagic + 4);
  for (int i = 0; i < 4; ++i)
    bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(version) >> (8 * i)));
  return bytes;
}

std::vector<uint8_t> RandomBytes(Noise& noise, size_t count) {
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(noise.Next() >> 56);
  return bytes;
}

std::vector<float> Parameters(Instance& plug) {
  std::vector<float> values;
  for (int p = 0; p < plug.Effect()->numParams; ++p) values.push_back(plug.GetParameter(p));
  return values;
}

void ExpectUsable(Instance& plug, const std::string& after) {
  for (int p = 0; p < plug.Effect()->numParams; ++p) {
    const float v = plug.GetParameter(p);
    EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << "parameter " << p << " reads " << v << " after " << after;
  }
  BlockRunner runner(plug, Path::kFloat, false, 256);
  EXPECT_EQ(runner.ProcessConstant(0.3, 256), -1) << "output after " << after;
}

TEST(State, SaveLoadSaveGivesIdenticalBytesForBothKinds) {
  const float settings[][kNumParams] = {{0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
                                        {1.0f, 1.0f, 1.0f, 1.0f, 1.0f},
                                        {0.1234f, 0.5f, 0.75f, 0.3f, 0.9f},
                                        {0.999f, 0.001f, 0.4f, 0.6f, 0.5f}};
  for (bool program : {true, false}) {
    for (const auto& setting : settings) {
      SCOPED_TRACE(program ? "program chunk" : "bank chunk");
      Instance plug;
      plug.Start(44100.0f, 512);
      for (int p = 0; p < kNumParams && p < plug.Effect()->numParams; ++p) plug.SetParameter(p, setting[p]);
      const std::vector<float> before = Parameters(plug);
      const std::vector<uint8_t> first = plug.GetChunk(ChunkKind(program));
      ASSERT_FALSE(first.empty());
      EXPECT_EQ(plug.LoadChunk(program, first.data(), static_cast<VstIntPtr>(first.size())), 1);
      EXPECT_EQ(plug.GetChunk(ChunkKind(program)), first);
      EXPECT_EQ(Parameters(plug), before);

      // A fresh instance takes the same state and gives the same bytes back.
      Instance other;
      other.Open();
      EXPECT_EQ(other.LoadChunk(program, first.data(), static_cast<VstIntPtr>(first.size())), 1);
      if (program) {
        EXPECT_EQ(Parameters(other), before);
      }
      EXPECT_EQ(other.GetChunk(ChunkKind(program)), first);
    }
  }
}

// Below 0 the parameter callback leaves values under their minimum, which a load limits into the range; from
// the first load on, the bytes no longer change.
TEST(State, StateOfValuesSetOutsideTheRangeSettlesAfterOneLoad) {
  Instance plug;
  plug.Start(44100.0f, 512);
  const float setting[kNumParams] = {-2.0f, 3.0f, -0.5f, 1.5f, -1e9f};
  for (int p = 0; p < kNumParams && p < plug.Effect()->numParams; ++p) plug.SetParameter(p, setting[p]);
  const std::vector<uint8_t> first = plug.GetChunk(Vst2Chunk::kProgram);
  ASSERT_EQ(plug.LoadChunk(true, first.data(), static_cast<VstIntPtr>(first.size())), 1);
  const std::vector<uint8_t> settled = plug.GetChunk(Vst2Chunk::kProgram);
  ASSERT_EQ(plug.LoadChunk(true, settled.data(), static_cast<VstIntPtr>(settled.size())), 1);
  EXPECT_EQ(plug.GetChunk(Vst2Chunk::kProgram), settled);
  ExpectUsable(plug, "values set outside the range");
}

// Every load of damaged bytes leaves an instance that reads sane values and processes cleanly; a load that
// cannot be read answers 0, and none answers anything but 0 or 1.
TEST(State, DamagedChunksOfBothKindsNeverCrashAndFailedLoadsAnswerZero) {
  Noise noise(1234);
  struct Case {
    std::string name;
    std::vector<uint8_t> bytes;
    bool mustFailAsProgram;
  };
  std::vector<Case> cases;
  cases.push_back({"0 bytes", {}, true});
  cases.push_back({"1 byte", {0x74}, true});
  for (size_t n : {3u, 7u, 9u, 13u, 39u})
    cases.push_back({std::to_string(n) + " random bytes", RandomBytes(noise, n), true});
  for (size_t n : {40u, 47u, 49u, 63u, 1001u, 4097u})
    cases.push_back({std::to_string(n) + " random bytes", RandomBytes(noise, n), false});
  cases.push_back({"1 MiB of random bytes", RandomBytes(noise, 1u << 20), false});
  for (size_t n : {1u, 7u, 39u}) {
    std::vector<uint8_t> bytes = Header(0x00010000);
    const std::vector<uint8_t> tail = RandomBytes(noise, n);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    cases.push_back({"header and " + std::to_string(n) + " garbage bytes", bytes, true});
  }
  for (size_t n : {40u, 41u, 333u, 65536u}) {
    std::vector<uint8_t> bytes = Header(0x00010000);
    const std::vector<uint8_t> tail = RandomBytes(noise, n);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    cases.push_back({"header and " + std::to_string(n) + " garbage bytes", bytes, false});
  }
  for (int32_t version : {0, 1, 0x0000FFFF, 0x00010000, 0x00010001, 0x00020000, 0x7FFFFFFF, -1,
                          static_cast<int32_t>(0x80000000)}) {
    for (size_t body : {0u, 4u, 40u, 100u}) {
      std::vector<uint8_t> bytes = Header(version);
      const std::vector<uint8_t> tail = RandomBytes(noise, body);
      bytes.insert(bytes.end(), tail.begin(), tail.end());
      cases.push_back({"version " + std::to_string(version) + " with " + std::to_string(body) + " bytes",
                       bytes, body < 40});
    }
  }
  // Bank bodies that claim presets: a name length that is huge, negative or longer than the rest.
  for (int32_t length : {0, 5, -1, -100000, 0x7FFFFFFF, 1000}) {
    std::vector<uint8_t> bytes = Header(0x00010000);
    for (int i = 0; i < 4; ++i)
      bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(length) >> (8 * i)));
    bytes.insert(bytes.end(), {'a', 'b', 'c', 'd', 'e', 1});
    cases.push_back({"bank with name length " + std::to_string(length), bytes, false});
  }

  for (bool program : {true, false}) {
    Instance plug;
    plug.Start(44100.0f, 256);
    for (const Case& c : cases) {
      SCOPED_TRACE((program ? "program: " : "bank: ") + c.name);
      // Exactly sized copies, so a read past the end shows under the address sanitizer.
      std::vector<uint8_t> exact(c.bytes);
      const uint8_t* data = exact.empty() ? reinterpret_cast<const uint8_t*>("") : exact.data();
      const VstIntPtr answer = plug.LoadChunk(program, data, static_cast<VstIntPtr>(exact.size()));
      EXPECT_TRUE(answer == 0 || answer == 1) << "answer " << answer;
      if (program && c.mustFailAsProgram) {
        EXPECT_EQ(answer, 0);
      }
      ExpectUsable(plug, c.name);
    }
  }
}

TEST(State, NegativeAndNullChunkLoadsAnswerZeroAndChangeNothing) {
  Instance plug;
  plug.Start(44100.0f, 256);
  plug.SetParameter(0, 0.25f);
  const std::vector<uint8_t> before = plug.GetChunk(Vst2Chunk::kProgram);
  std::vector<uint8_t> other = before;
  other[8] ^= 0x40;
  for (bool program : {true, false}) {
    for (VstIntPtr size :
         {static_cast<VstIntPtr>(-1), static_cast<VstIntPtr>(-48), static_cast<VstIntPtr>(INT32_MIN)}) {
      EXPECT_EQ(plug.LoadChunk(program, other.data(), size), 0) << "size " << size;
    }
    EXPECT_EQ(plug.LoadChunk(program, nullptr, 48), 0);
  }
  EXPECT_EQ(plug.GetChunk(Vst2Chunk::kProgram), before);
}

TEST(State, LoadsBetweenBlocksKeepTheOutputClean) {
  Instance plug;
  plug.Start(44100.0f, 128);
  Noise noise(77);
  std::vector<std::vector<uint8_t>> states;
  for (int s = 0; s < 4; ++s) {
    for (int p = 0; p < plug.Effect()->numParams; ++p)
      plug.SetParameter(p, static_cast<float>(noise.Uniform()));
    states.push_back(plug.GetChunk(Vst2Chunk::kProgram));
  }
  BlockRunner runner(plug, Path::kDouble, true, 128);
  std::vector<double> samples(128);
  for (int b = 0; b < 200; ++b) {
    const std::vector<uint8_t>& state = states[b % states.size()];
    if (b % 3 == 0) {
      ASSERT_EQ(plug.LoadChunk(true, state.data(), static_cast<VstIntPtr>(state.size())), 1);
    }
    if (b % 7 == 0) plug.GetChunk(Vst2Chunk::kBank);
    for (double& x : samples) x = 0.7 * noise.Signed();
    const double* in[2] = {samples.data(), samples.data()};
    ASSERT_EQ(runner.Process(in, nullptr, 128), -1) << "block " << b;
  }
}

}  // namespace
}  // namespace torture
