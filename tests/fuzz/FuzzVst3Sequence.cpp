// SPDX-License-Identifier: GPL-3.0-or-later
// A VST 3 host's calls in an order and with numbers that the input decides: setups, activation, blocks of any
// length in both sample sizes with parameter points at any offset and value, state of any bytes, controller
// values and texts. The plug-in is made by its factory, built into the target. Finite input must give finite
// output, saved state must load back, normalised values must stay in 0 ... 1.
#include <cmath>
#include <cstring>
#include <vector>

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/hosts/Vst3HostObjects.h"
#include "vst3/Vst3Factory.h"
#include "vst3/Vst3Ids.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int kLongest = 5000;
constexpr int kParams = 5;

// The plug-in as a host holds it: the component and its two other faces, released when this goes.
struct Effect {
  IComponent* component = nullptr;
  IAudioProcessor* processor = nullptr;
  IEditController* controller = nullptr;
  Effect() {
    const TUID cid = QUILLMERE_VST3_CLASS_UID;
    void* made = nullptr;
    FUZZ_CHECK(Vst3Factory::Instance().createInstance(cid, IComponent_iid, &made) == kResultOk);
    component = static_cast<IComponent*>(made);
    FUZZ_CHECK(component->queryInterface(IAudioProcessor_iid, &made) == kResultOk);
    processor = static_cast<IAudioProcessor*>(made);
    FUZZ_CHECK(component->queryInterface(IEditController_iid, &made) == kResultOk);
    controller = static_cast<IEditController*>(made);
  }
  ~Effect() {
    controller->release();
    processor->release();
    component->release();
  }
};

std::vector<uint8_t> SaveState(IComponent* component) {
  Vst3MemoryStream stream;
  FUZZ_CHECK(component->getState(&stream) == kResultOk);
  return stream.Bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Vst3ParameterChanges changes;
  static fuzz::StereoBuffers buffers(kLongest);
  const double rates[] = {44100.0, 8000.0, 1234.5678, 384000.0, 0.0, -1.0, 1.0, 96000.0};
  const int32 blockSizes[] = {512, 1, 17, 4096, 4097, 0, -5, 64};
  const int frameCounts[] = {0, 1, 32, 511, 512, 4096, 4097, kLongest};

  fuzz::Reader in(data, size);
  Vst3HostApplication host;  // outlives the effect, which may hold it
  Effect effect;
  if (in.Byte() & 1) effect.component->initialize(&host);
  int steps = 0;
  while (in.More() && steps++ < 48) {
    const uint8_t action = in.Byte();
    switch (action % 8) {
      case 0: {
        ProcessSetup setup{(action & 8) ? kOffline : kRealtime, (action & 16) ? kSample64 : kSample32,
                           blockSizes[in.Byte() % 8], rates[(action >> 5) % 8]};
        effect.processor->setupProcessing(setup);
        break;
      }
      case 1:
        effect.component->setActive((action >> 3) & 1);
        break;
      case 2:
        if (action & 8) {
          effect.component->terminate();
        } else {
          effect.component->initialize(&host);
        }
        break;
      case 3: {
        // A state of any bytes, read in pieces of any size: taken whole or not at all.
        const std::vector<uint8_t> before = SaveState(effect.component);
        std::vector<uint8_t> bytes(in.Byte() % 100);
        for (uint8_t& b : bytes) b = in.Byte();
        if (action & 8 && bytes.size() >= 8) std::memcpy(bytes.data(), "tffp\0\0\1\0", 8);
        Vst3MemoryStream stream(bytes, (action >> 4) % 4);
        const bool taken = (action & 64) ? effect.controller->setComponentState(&stream) == kResultOk
                                         : effect.component->setState(&stream) == kResultOk;
        if (!taken || (action & 64)) FUZZ_CHECK(SaveState(effect.component) == before);
        break;
      }
      case 4: {
        // Saved state loads back and saves the same bytes.
        const std::vector<uint8_t> saved = SaveState(effect.component);
        FUZZ_CHECK(saved.size() == 48);
        Vst3MemoryStream stream(saved, (action >> 3) % 5);
        FUZZ_CHECK(effect.component->setState(&stream) == kResultOk);
        FUZZ_CHECK(SaveState(effect.component) == saved);
        break;
      }
      case 5: {
        const ParamID id = static_cast<ParamID>((action >> 3) % (kParams + 2));
        const double value = (action & 128) ? in.Raw<double>() : in.Byte() / 200.0;
        effect.controller->setParamNormalized(id, value);
        const double now = effect.controller->getParamNormalized(id);
        FUZZ_CHECK(now >= 0.0 && now <= 1.0);
        const double plain = effect.controller->normalizedParamToPlain(id, value);
        const double back = effect.controller->plainParamToNormalized(id, plain);
        FUZZ_CHECK(back >= 0.0 && back <= 1.0);
        String128 text = {};
        effect.controller->getParamStringByValue(id, value, text);
        for (int i = 0; i < 12; ++i) text[i] = static_cast<char16>(in.Raw<uint16_t>());
        ParamValue parsed = -1.0;
        if (effect.controller->getParamValueByString(id, text, parsed) == kResultOk) {
          FUZZ_CHECK(parsed >= 0.0 && parsed <= 1.0);
        }
        break;
      }
      default: {
        const int frames = frameCounts[(action >> 3) % 8];
        const bool wide = (action >> 6) & 1;
        const double level = in.Byte() / 255.0;
        buffers.FillInputs(frames, level);
        changes.Clear();
        const int points = in.Byte() % 9;
        for (int p = 0; p < points; ++p) {
          const uint8_t kind = in.Byte();
          const ParamID id = (kind & 128) ? in.Raw<uint32_t>() : kind % (kParams + 1);
          const int32 offset = (kind & 64) ? in.Raw<int32>() : in.Raw<uint16_t>() % (frames + 2);
          const double value = (kind & 32) ? in.Raw<double>() : in.Byte() / 255.0;
          int32 index;
          if (kind & 16) {
            changes.AddSeparateQueue(id).addPoint(offset, value, index);
          } else {
            changes.Add(id, offset, value);
          }
        }
        AudioBusBuffers inBus{}, outBus{};
        inBus.numChannels = outBus.numChannels = 2;
        if (wide) {
          inBus.channelBuffers64 = buffers.din;
          outBus.channelBuffers64 = buffers.dout;
        } else {
          inBus.channelBuffers32 = buffers.fin;
          outBus.channelBuffers32 = buffers.fout;
        }
        ProcessData process{};
        process.symbolicSampleSize = wide ? kSample64 : kSample32;
        process.numSamples = frames;
        process.numInputs = process.numOutputs = 1;
        process.inputs = &inBus;
        process.outputs = &outBus;
        process.inputParameterChanges = &changes;
        FUZZ_CHECK(effect.processor->process(process) == kResultOk);
        FUZZ_CHECK(wide ? fuzz::Finite(buffers.doubleOut, frames) : fuzz::Finite(buffers.floatOut, frames));
        break;
      }
    }
  }
  for (ParamID id = 0; id < kParams; ++id) {
    const double value = effect.controller->getParamNormalized(id);
    FUZZ_CHECK(value >= 0.0 && value <= 1.0);
  }
  effect.component->terminate();
  return 0;
}
