// SPDX-License-Identifier: GPL-3.0-or-later
// The VST 3 bundle under what careless and hostile hosts do: odd block lengths, points at odd offsets and
// with odd values, buffers missing, calls out of order, state of any bytes. Nothing may crash, write outside
// the host's buffers, allocate while processing or let the output go non-finite.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "tests/hosts/AllocationCounter.h"
#include "tests/vst3/Vst3TestSupport.h"

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace vst3test;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kGuard = -777.0f;  // written around every host buffer; must survive every call
constexpr int kGuardFrames = 64;

// Stereo host buffers with guard frames on both sides of the frames the plug-in is given.
template <class Sample>
struct GuardedBuffers {
  std::vector<Sample> in[2], out[2];
  Sample* inputs[2];
  Sample* outputs[2];
  int frames;
  explicit GuardedBuffers(int n) : frames(n) {
    for (int c = 0; c < 2; ++c) {
      in[c].assign(static_cast<size_t>(n + 2 * kGuardFrames), static_cast<Sample>(kGuard));
      out[c].assign(static_cast<size_t>(n + 2 * kGuardFrames), static_cast<Sample>(kGuard));
      inputs[c] = in[c].data() + kGuardFrames;
      outputs[c] = out[c].data() + kGuardFrames;
    }
  }
  void Fill(std::mt19937& random, double amplitude) {
    std::uniform_real_distribution<double> value(-amplitude, amplitude);
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < frames; ++i) inputs[c][i] = static_cast<Sample>(value(random));
  }
  // "" when the guards are whole and every output frame is finite and within [-1, 1].
  std::string Check(int written) const {
    for (int c = 0; c < 2; ++c) {
      for (int i = 0; i < kGuardFrames; ++i) {
        if (out[c][static_cast<size_t>(i)] != static_cast<Sample>(kGuard) ||
            out[c][static_cast<size_t>(kGuardFrames + frames + i)] != static_cast<Sample>(kGuard))
          return "output guard overwritten";
        if (in[c][static_cast<size_t>(i)] != static_cast<Sample>(kGuard)) return "input guard overwritten";
      }
      for (int i = 0; i < written; ++i) {
        const double v = static_cast<double>(outputs[c][i]);
        if (!std::isfinite(v) || std::fabs(v) > 1.0)
          return "output frame " + std::to_string(i) + " is " + std::to_string(v);
      }
    }
    return "";
  }
};

// Points a hostile host sends: odd offsets and values, unknown IDs, a queue for one parameter twice.
void HostilePoints(std::mt19937& random, int frames, Vst3ParameterChanges* changes) {
  changes->Clear();
  const double values[] = {kNaN, kInf, -kInf, 1e300, -1e300, 5e-324, -0.0, 0.0, 1.0, 0.5, 1.0000001, -1e-9};
  std::uniform_int_distribution<int> pick(0, 99);
  const int queues = pick(random) % 8;
  for (int q = 0; q < queues; ++q) {
    const ParamID ids[] = {0, 1, 2, 3, 4, 5, 0xFFFFFFFFu, 1000};
    const ParamID id = ids[pick(random) % 8];
    Vst3ParamQueue& queue = changes->AddSeparateQueue(id);
    const int points = pick(random) % 12;
    for (int p = 0; p < points; ++p) {
      const int32 offsets[] = {0,
                               -1,
                               frames - 1,
                               frames,
                               frames + 1,
                               std::numeric_limits<int32>::max(),
                               std::numeric_limits<int32>::min(),
                               frames / 2,
                               1,
                               frames / 3};
      const int32 offset = pick(random) < 50 ? offsets[pick(random) % 10] : pick(random) * (frames + 1) / 100;
      const double value = pick(random) < 40 ? values[pick(random) % 12] : pick(random) / 99.0;
      int32 index;
      queue.addPoint(offset, value, index);
    }
  }
}

TEST(Vst3Torture, OddBlocksAndHostilePointsStayInsideTheBuffersAndFinite) {
  std::mt19937 random(99);
  for (int32 sampleSize : {kSample32, kSample64}) {
    for (int maxBlock : {1, 64, 511, 4096}) {
      Vst3Side vst3;
      ASSERT_TRUE(vst3.Ok()) << vst3.Error();
      ASSERT_EQ(vst3.Instance().Start(44100.0, maxBlock, sampleSize), kResultOk);
      Vst3ParameterChanges changes;
      std::uniform_int_distribution<int> length(0, 3 * maxBlock + 3);
      for (int k = 0; k < 80; ++k) {
        const int frames = length(random);
        HostilePoints(random, frames, &changes);
        if (sampleSize == kSample32) {
          GuardedBuffers<float> buffers(frames);
          buffers.Fill(random, k % 9 == 0 ? 8.0 : 0.9);
          ASSERT_EQ(vst3.Instance().ProcessFloat(buffers.inputs, buffers.outputs, frames, &changes),
                    kResultOk);
          ASSERT_EQ(buffers.Check(frames), "") << "block " << k << ", " << frames << " frames";
        } else {
          GuardedBuffers<double> buffers(frames);
          buffers.Fill(random, k % 9 == 0 ? 8.0 : 0.9);
          ASSERT_EQ(vst3.Instance().ProcessDouble(buffers.inputs, buffers.outputs, frames, &changes),
                    kResultOk);
          ASSERT_EQ(buffers.Check(frames), "") << "block " << k << ", " << frames << " frames";
        }
      }
    }
  }
}

TEST(Vst3Torture, ProcessAllocatesNothing) {
  {
    // The counter sees what the plug-in allocates inside its module.
    AllocationCount count;
    Vst3Side made;
    EXPECT_GT(count.Stop(), 0);
  }
  for (int32 sampleSize : {kSample32, kSample64}) {
    Vst3Side vst3;
    ASSERT_TRUE(vst3.Ok()) << vst3.Error();
    ASSERT_EQ(vst3.Instance().Start(48000.0, 512, sampleSize), kResultOk);
    std::mt19937 random(5);
    const int longest = 3 * 512 + 7;
    GuardedBuffers<float> f(longest);
    GuardedBuffers<double> d(longest);
    f.Fill(random, 0.8);
    d.Fill(random, 0.8);
    // Every point list is made before counting starts; the host's own objects allocate nothing while
    // processing.
    std::vector<Vst3ParameterChanges> changes(40);
    std::vector<int> frames;
    for (size_t k = 0; k < changes.size(); ++k) {
      frames.push_back(k % 10 == 0 ? 0 : static_cast<int>(random() % longest));
      HostilePoints(random, frames.back(), &changes[k]);
    }
    AllocationCount count;
    for (size_t k = 0; k < changes.size(); ++k) {
      if (sampleSize == kSample32) {
        vst3.Instance().ProcessFloat(f.inputs, f.outputs, frames[k], &changes[k]);
      } else {
        vst3.Instance().ProcessDouble(d.inputs, d.outputs, frames[k], &changes[k]);
      }
    }
    EXPECT_EQ(count.Stop(), 0) << (sampleSize == kSample32 ? "32-bit" : "64-bit");
  }
}

// A process call with buses the way a faulty host may hand them.
struct BusCase {
  const char* name;
  int numInputs, numOutputs;
  int inChannels, outChannels;
  bool nullInArray, nullOutArray, nullInChannel, nullOutChannel;
  int32 sampleSize;
  int frames;
  bool outputsWritten;  // the two output channels get processed audio (or silence)
};

TEST(Vst3Torture, MissingOrOddBuffersAreNeverWrittenBeyond) {
  const BusCase cases[] = {
      {"regular", 1, 1, 2, 2, false, false, false, false, kSample32, 300, true},
      {"no input bus", 0, 1, 2, 2, false, false, false, false, kSample32, 300, true},
      {"no output bus", 1, 0, 2, 2, false, false, false, false, kSample32, 300, false},
      {"mono output", 1, 1, 2, 1, false, false, false, false, kSample64, 300, false},
      {"mono input", 1, 1, 1, 2, false, false, false, false, kSample64, 300, true},
      {"null channel arrays", 1, 1, 2, 2, true, true, false, false, kSample32, 300, false},
      {"null input channel", 1, 1, 2, 2, false, false, true, false, kSample32, 300, true},
      {"null output channel", 1, 1, 2, 2, false, false, false, true, kSample64, 300, false},
      {"zero frames", 1, 1, 2, 2, false, false, false, false, kSample32, 0, false},
      {"negative frames", 1, 1, 2, 2, false, false, false, false, kSample64, -100, false},
      {"unknown sample size", 1, 1, 2, 2, false, false, false, false, 9, 300, false},
      {"eight channels claimed", 1, 1, 8, 8, false, false, false, false, kSample32, 300, true},
  };
  for (const BusCase& c : cases) {
    Vst3Side vst3;
    ASSERT_TRUE(vst3.Ok()) << vst3.Error();
    ASSERT_EQ(vst3.Instance().Start(44100.0, 256, kSample32), kResultOk);
    const int frames = c.frames > 0 ? c.frames : 0;
    GuardedBuffers<float> f(frames);
    GuardedBuffers<double> d(frames);
    std::mt19937 random(3);
    f.Fill(random, 0.5);
    d.Fill(random, 0.5);
    // Arrays as long as the channel count claims, all entries but the first two pointing at the same frames.
    std::vector<float*> inF(8, f.inputs[1]), outF(8, f.outputs[1]);
    std::vector<double*> inD(8, d.inputs[1]), outD(8, d.outputs[1]);
    inF[0] = f.inputs[0];
    outF[0] = f.outputs[0];
    inD[0] = d.inputs[0];
    outD[0] = d.outputs[0];
    if (c.nullInChannel) inF[1] = nullptr, inD[1] = nullptr;
    if (c.nullOutChannel) outF[1] = nullptr, outD[1] = nullptr;
    AudioBusBuffers in{}, out{};
    in.numChannels = c.inChannels;
    out.numChannels = c.outChannels;
    // The two pointer kinds share their place in the record.
    if (c.sampleSize == kSample64) {
      in.channelBuffers64 = c.nullInArray ? nullptr : inD.data();
      out.channelBuffers64 = c.nullOutArray ? nullptr : outD.data();
    } else {
      in.channelBuffers32 = c.nullInArray ? nullptr : inF.data();
      out.channelBuffers32 = c.nullOutArray ? nullptr : outF.data();
    }
    Vst3ParameterChanges changes;
    changes.Add(0, 10, 0.9);
    ProcessData data{};
    data.symbolicSampleSize = c.sampleSize;
    data.numSamples = c.frames;
    data.numInputs = c.numInputs;
    data.numOutputs = c.numOutputs;
    data.inputs = c.numInputs > 0 ? &in : nullptr;
    data.outputs = c.numOutputs > 0 ? &out : nullptr;
    data.inputParameterChanges = &changes;
    EXPECT_EQ(vst3.Instance().ProcessRaw(data), kResultOk) << c.name;
    EXPECT_EQ(f.Check(c.outputsWritten && c.sampleSize == kSample32 ? frames : 0), "") << c.name;
    EXPECT_EQ(d.Check(c.outputsWritten && c.sampleSize == kSample64 ? frames : 0), "") << c.name;
    // The point reached the parameter even where nothing could be processed.
    EXPECT_EQ(vst3.Instance().GetState(), [&] {
      Vst3Side reference;
      reference.Instance().Start(44100.0, 256, kSample32);
      Vst3ParameterChanges set;
      set.Add(0, 0, 0.9);
      GuardedBuffers<float> r(1);
      reference.Instance().ProcessFloat(r.inputs, r.outputs, 1, &set);
      return reference.Instance().GetState();
    }()) << c.name;
  }
}

TEST(Vst3Torture, CallsInTheWrongOrderAreSafe) {
  Vst3Module module;
  ASSERT_EQ(module.Open(QUILLMERE_VST3_BUNDLE), HostStatus::kOk) << module.Error();
  TUID cid;
  ASSERT_TRUE(module.FindAudioEffect(cid));
  GuardedBuffers<float> f(700);
  std::mt19937 random(1);
  f.Fill(random, 0.7);
  AudioBusBuffers in{}, out{};
  in.numChannels = out.numChannels = 2;
  in.channelBuffers32 = f.inputs;
  out.channelBuffers32 = f.outputs;
  ProcessData data{};
  data.symbolicSampleSize = kSample32;
  data.numSamples = 700;
  data.numInputs = data.numOutputs = 1;
  data.inputs = &in;
  data.outputs = &out;

  for (int order = 0; order < 6; ++order) {
    void* made = nullptr;
    ASSERT_EQ(module.Factory()->createInstance(cid, IComponent_iid, &made), kResultOk);
    auto* component = static_cast<IComponent*>(made);
    void* found = nullptr;
    ASSERT_EQ(component->queryInterface(IAudioProcessor_iid, &found), kResultOk);
    auto* processor = static_cast<IAudioProcessor*>(found);
    ASSERT_EQ(component->queryInterface(IEditController_iid, &found), kResultOk);
    auto* controller = static_cast<IEditController*>(found);
    Vst3HostApplication host;
    Vst3MemoryStream empty;
    ProcessSetup setup{kRealtime, kSample32, 512, 44100.0};
    switch (order) {
      case 0:  // processing before anything else
        processor->process(data);
        break;
      case 1:  // state and parameters before initialize, then initialize twice
        component->setState(&empty);
        controller->setParamNormalized(1, 0.3);
        component->initialize(&host);
        component->initialize(&host);
        processor->process(data);
        break;
      case 2:  // active without a setup, processing, setup while active
        component->initialize(&host);
        component->setActive(true);
        processor->process(data);
        processor->setupProcessing(setup);
        component->setActive(true);
        processor->process(data);
        break;
      case 3:  // terminated, then used
        component->initialize(&host);
        processor->setupProcessing(setup);
        component->setActive(true);
        component->terminate();
        processor->process(data);
        component->getState(&empty);
        break;
      case 4: {  // null arguments
        component->initialize(nullptr);
        EXPECT_NE(component->setState(nullptr), kResultOk);
        EXPECT_NE(component->getState(nullptr), kResultOk);
        EXPECT_NE(controller->setComponentState(nullptr), kResultOk);
        EXPECT_NE(controller->getParamStringByValue(0, 0.5, nullptr), kResultOk);
        ParamValue parsed = 0.0;
        EXPECT_NE(controller->getParamValueByString(0, nullptr, parsed), kResultOk);
        EXPECT_EQ(component->queryInterface(IComponent_iid, nullptr), kInvalidArgument);
        controller->setComponentHandler(nullptr);
        processor->process(data);
        break;
      }
      case 5:  // deactivated without being active, processing off while never on
        component->setActive(false);
        processor->setProcessing(false);
        component->terminate();
        component->terminate();
        processor->process(data);
        break;
    }
    EXPECT_EQ(f.Check(700), "") << "order " << order;
    controller->release();
    processor->release();
    component->release();
    EXPECT_EQ(host.References(), 0) << "order " << order;
  }
}

// A stream that refuses to be written or read, or gives more than asked.
class FaultyStream : public Vst3MemoryStream {
 public:
  enum Fault { kRefuses, kWritesNothing, kClaimsMore };
  explicit FaultyStream(Fault fault) : Vst3MemoryStream(std::vector<uint8_t>(48, 0x3F)), mFault(fault) {}
  tresult PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead) override {
    if (mFault == kRefuses) {
      if (numBytesRead) *numBytesRead = 0;
      return kResultFalse;
    }
    const tresult result = Vst3MemoryStream::read(buffer, numBytes, numBytesRead);
    if (mFault == kClaimsMore && numBytesRead && *numBytesRead > 0) *numBytesRead = numBytes + 1000;
    return result;
  }
  tresult PLUGIN_API write(void* buffer, int32 numBytes, int32* numBytesWritten) override {
    if (mFault == kRefuses) return kResultFalse;
    if (mFault == kWritesNothing) {
      if (numBytesWritten) *numBytesWritten = 0;
      return kResultOk;
    }
    return Vst3MemoryStream::write(buffer, numBytes, numBytesWritten);
  }

 private:
  Fault mFault;
};

TEST(Vst3Torture, RandomOrFaultyStateLeavesStateWholeOrUnchanged) {
  Vst3Side vst3;
  ASSERT_TRUE(vst3.Ok()) << vst3.Error();
  ASSERT_EQ(vst3.Instance().Start(44100.0, 128, kSample64), kResultOk);
  std::mt19937 random(17);
  GuardedBuffers<double> d(128);
  d.Fill(random, 0.5);
  for (int k = 0; k < 400; ++k) {
    std::vector<uint8_t> bytes(random() % 120);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    if (k % 3 == 0 && bytes.size() >= 8) std::memcpy(bytes.data(), "tffp\0\0\1\0", 8);
    const std::vector<uint8_t> before = vst3.Instance().GetState();
    const tresult result = vst3.Instance().SetState(bytes, static_cast<int>(random() % 4));
    const std::vector<uint8_t> after = vst3.Instance().GetState();
    ASSERT_EQ(after.size(), 48u);
    if (result != kResultOk) {
      ASSERT_EQ(after, before) << "state " << k;
    }
    ASSERT_EQ(vst3.Instance().ProcessDouble(d.inputs, d.outputs, 128), kResultOk);
    ASSERT_EQ(d.Check(128), "") << "state " << k;
  }
  for (FaultyStream::Fault fault :
       {FaultyStream::kRefuses, FaultyStream::kWritesNothing, FaultyStream::kClaimsMore}) {
    const std::vector<uint8_t> before = vst3.Instance().GetState();
    FaultyStream reading(fault), writing(fault);
    vst3.Instance().Component()->setState(&reading);
    if (fault == FaultyStream::kRefuses) {
      EXPECT_EQ(vst3.Instance().GetState(), before);
    }
    // A stream that takes nothing is no saved state.
    const bool saved = vst3.Instance().Component()->getState(&writing) == kResultOk;
    EXPECT_EQ(saved, fault == FaultyStream::kClaimsMore) << "fault " << fault;
  }
}

}  // namespace
