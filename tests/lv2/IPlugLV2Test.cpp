// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 binding built as instantiate builds it: the piece length it takes from the host's block-length
// options in every encoding hosts send, and connect_port while another thread holds the instance lock.
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "IPlug/IPlugMutex.h"
#include "effect/ZvAudioPlugin.h"

namespace {

const char* const kUris[] = {LV2_BUF_SIZE__maxBlockLength, LV2_BUF_SIZE__minBlockLength, LV2_ATOM__Int,
                             LV2_ATOM__Long, LV2_ATOM__Float};
enum : LV2_URID { kMaxBlock = 1, kMinBlock, kInt, kLong, kFloat };

LV2_URID MapUri(LV2_URID_Map_Handle, const char* uri) {
  for (LV2_URID i = 0; i < sizeof kUris / sizeof kUris[0]; ++i) {
    if (std::strcmp(uri, kUris[i]) == 0) return i + 1;
  }
  return 0;
}

// One option record as a host writes it: its bytes lie one byte into their storage, so a value may be
// unaligned.
struct Record {
  LV2_URID mKey;
  LV2_URID mType;
  uint32_t mSize;
  int64_t mValue;  // the first mSize bytes of it are sent (4 bytes: as a 32-bit integer)
  uint32_t mContext = LV2_OPTIONS_INSTANCE;
};

struct Plug {
  std::unique_ptr<IPlugLV2> mPlug;
  bool mOpened = false;
};

// instantiate's steps, offering a URI map and these option records (or either left out).
Plug Instantiate(const std::vector<Record>& records, bool withMap = true, bool withOptions = true) {
  LV2_URID_Map map{nullptr, MapUri};
  std::vector<LV2_Options_Option> options(records.size() + 1);
  std::vector<unsigned char> storage(records.size() * 16 + 1);
  for (size_t i = 0; i < records.size(); ++i) {
    const Record& r = records[i];
    unsigned char* value = storage.data() + 1 + 16 * i;
    const int32_t narrow = static_cast<int32_t>(r.mValue);
    const float asFloat = static_cast<float>(r.mValue);
    if (r.mType == kFloat) {
      std::memcpy(value, &asFloat, sizeof asFloat);
    } else if (r.mSize == 4) {
      std::memcpy(value, &narrow, sizeof narrow);
    } else {
      std::memcpy(value, &r.mValue, sizeof r.mValue);
    }
    options[i] = {static_cast<LV2_Options_Context>(r.mContext), 0, r.mKey, r.mSize, r.mType, value};
  }
  options.back() = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
  const LV2_Feature mapFeature{LV2_URID__map, &map};
  const LV2_Feature optionsFeature{LV2_OPTIONS__options, options.data()};
  std::vector<const LV2_Feature*> features;
  if (withMap) features.push_back(&mapFeature);
  if (withOptions) features.push_back(&optionsFeature);
  features.push_back(nullptr);
  Lv2InstanceInfo info;
  info.mSampleRate = 48000.0;
  info.mFeatures = features.data();
  Plug result;
  result.mPlug.reset(MakePlug(info));
  result.mOpened = result.mPlug->Open();
  return result;
}

// Runs are processed in pieces of the block size the binding set: the host's usable maximum block length,
// cut to 8192, or else the engine's chunk length.
TEST(IPlugLV2, PiecesFollowTheHostsMaximumBlockLength) {
  const int64_t k2Pow32 = int64_t{1} << 32;
  const struct {
    const char* mName;
    std::vector<Record> mRecords;
    int mHostMaximum;  // HostMaxBlockFrames(); 0: none usable
    int mPiece;        // the block size, in frames
  } cases[] = {
      {"no options", {}, 0, 4096},
      {"Int, 4 bytes", {{kMaxBlock, kInt, 4, 2048}}, 2048, 2048},
      {"Int, 4 bytes, 1 frame", {{kMaxBlock, kInt, 4, 1}}, 1, 1},
      {"Int, 8 bytes, as one host sends it", {{kMaxBlock, kInt, 8, 1048576}}, 8192, 8192},
      {"Int, 8 bytes", {{kMaxBlock, kInt, 8, 2048}}, 2048, 2048},
      {"Int, 8 bytes, above 32 bits", {{kMaxBlock, kInt, 8, k2Pow32 + 1000}}, 8192, 8192},
      {"Long", {{kMaxBlock, kLong, 8, 3000}}, 3000, 3000},
      {"Long, huge", {{kMaxBlock, kLong, 8, int64_t{1} << 40}}, 8192, 8192},
      {"Int 0", {{kMaxBlock, kInt, 4, 0}}, 0, 4096},
      {"Int negative", {{kMaxBlock, kInt, 4, -512}}, 0, 4096},
      {"Int, 8 bytes, negative", {{kMaxBlock, kInt, 8, -2048}}, 0, 4096},
      {"Int, 8 bytes, negative in the upper half", {{kMaxBlock, kInt, 8, -k2Pow32 + 2048}}, 0, 4096},
      {"Long negative", {{kMaxBlock, kLong, 8, -1}}, 0, 4096},
      {"Long, 4 bytes", {{kMaxBlock, kLong, 4, 2048}}, 0, 4096},
      {"Int, 2 bytes", {{kMaxBlock, kInt, 2, 2048}}, 0, 4096},
      {"Float", {{kMaxBlock, kFloat, 4, 2048}}, 0, 4096},
      {"port context", {{kMaxBlock, kInt, 4, 2048, LV2_OPTIONS_PORT}}, 0, 4096},
      {"minimum only", {{kMinBlock, kInt, 4, 2048}}, 0, 4096},
      {"unusable, then usable", {{kMaxBlock, kFloat, 4, 512}, {kMaxBlock, kInt, 8, 1024}}, 1024, 1024},
      {"usable, then unusable", {{kMaxBlock, kLong, 8, 1024}, {kMaxBlock, kInt, 4, -1}}, 1024, 1024},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mName);
    const Plug p = Instantiate(c.mRecords);
    ASSERT_TRUE(p.mOpened);
    EXPECT_EQ(p.mPlug->HostMaxBlockFrames(), c.mHostMaximum);
    EXPECT_EQ(p.mPlug->BlockSize(), c.mPiece);
  }
  // Options need the map to be read.
  for (const auto& [withMap, withOptions] : {std::pair{false, true}, {true, false}, {false, false}}) {
    const Plug p = Instantiate({{kMaxBlock, kInt, 4, 2048}}, withMap, withOptions);
    ASSERT_TRUE(p.mOpened);
    EXPECT_EQ(p.mPlug->BlockSize(), 4096) << "map " << withMap << ", options " << withOptions;
  }
}

// connect_port is in the audio class with run, so a host never calls the two at once and it needs no lock: it
// returns while another thread holds the instance lock, and the ports it connected are the ones run uses.
TEST(IPlugLV2, ConnectPortDoesNotWaitForTheInstanceLock) {
  Plug p = Instantiate({{kMaxBlock, kInt, 4, 64}});
  ASSERT_TRUE(p.mOpened);
  IPlugLV2* plug = p.mPlug.get();
  IPlugLV2::Activate(plug);
  std::vector<float> audio[kPortFirstControl];
  for (uint32_t port = 0; port < kPortFirstControl; ++port)
    audio[port].assign(64, port < kPortOutLeft ? 0.25f * static_cast<float>(port + 1) : 0.0f);
  float controls[kNumParams];
  for (int i = 0; i < kNumParams; ++i) controls[i] = static_cast<float>(plug->Param(i)->Value());
  bool inTime = false;
  std::future<void> connecting;
  {
    IPlugMutexLock lock(plug);
    connecting = std::async(std::launch::async, [&] {
      for (uint32_t port = 0; port < kNumLv2Ports; ++port) {
        void* data = port < kPortFirstControl ? static_cast<void*>(audio[port].data())
                                              : static_cast<void*>(&controls[port - kPortFirstControl]);
        IPlugLV2::ConnectPort(plug, port, data);
      }
    });
    inTime = connecting.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  }
  connecting.get();
  EXPECT_TRUE(inTime) << "connect_port waited for the instance lock";
  IPlugLV2::Run(plug, 64);
  for (uint32_t port = kPortOutLeft; port < kPortFirstControl; ++port)
    EXPECT_NE(audio[port], std::vector<float>(64, 0.0f)) << "output port " << port << " was not connected";
  IPlugLV2::Deactivate(plug);
}

}  // namespace
