// SPDX-License-Identifier: GPL-3.0-or-later
// The host library on its own: modules opened from files, instances made through entry points, and requests
// routed to the host each instance was made with.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "host/PluginModule.h"
#include "host/Vst2HostCallback.h"
#include "host/Vst2Instance.h"

namespace {

// A plug-in made inside the test: it asks its host for the version while its entry point runs and for the
// process level on every dispatcher call, and remembers the opcodes it was sent.
struct FakePlugin {
  AEffect effect{};
  audioMasterCallback host = nullptr;
  std::vector<VstInt32> opcodes;
  VstIntPtr versionAtEntry = 0;
};

VstIntPtr VSTCALLBACK FakeDispatcher(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  FakePlugin* self = static_cast<FakePlugin*>(effect->object);
  self->opcodes.push_back(opcode);
  self->host(effect, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f);
  return 0;
}

thread_local FakePlugin* tFake = nullptr;  // the plug-in the fake entry point makes on this thread

AEffect* VSTCALLBACK FakeEntry(audioMasterCallback host) {
  tFake->host = host;
  tFake->versionAtEntry = host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
  tFake->effect.magic = kEffectMagic;
  tFake->effect.dispatcher = FakeDispatcher;
  tFake->effect.object = tFake;
  return &tFake->effect;
}

TEST(PluginModule, OpensFilesOnlyAndSaysWhyNot) {
  struct Case {
    std::string path;
    HostStatus status;
    const char* error;  // part of Error()
  };
  const Case cases[] = {{TEST_GAIN_GOOD, HostStatus::kOk, ""},
                        {"/nowhere/test-gain.so", HostStatus::kCannotLoad, "No such file or directory"},
                        {"/tmp", HostStatus::kCannotLoad, "it is a folder"},
                        {"/etc/hostname", HostStatus::kCannotLoad, "/etc/hostname"},
                        // A bare name is a file in the current folder, not a library on the search path.
                        {"libc.so.6", HostStatus::kCannotLoad, "No such file or directory"}};
  for (const Case& c : cases) {
    PluginModule module;
    EXPECT_EQ(module.Open(c.path), c.status) << c.path;
    EXPECT_EQ(module.IsOpen(), c.status == HostStatus::kOk) << c.path;
    EXPECT_NE(module.Error().find(c.error), std::string::npos) << module.Error();
    EXPECT_EQ(module.Error().empty(), c.status == HostStatus::kOk) << c.path;
  }
}

TEST(PluginModule, FindsEachEntryPointUnderTheNamesAsked) {
  struct Case {
    const char* path;
    Vst2EntryName name;
    bool found;
  };
  const Case cases[] = {{TEST_GAIN_GOOD, Vst2EntryName::kVstPluginMain, true},
                        {TEST_GAIN_GOOD, Vst2EntryName::kMain, false},
                        {TEST_GAIN_GOOD, Vst2EntryName::kEither, true},
                        {TEST_GAIN_MAIN_ONLY, Vst2EntryName::kVstPluginMain, false},
                        {TEST_GAIN_MAIN_ONLY, Vst2EntryName::kMain, true},
                        {TEST_GAIN_MAIN_ONLY, Vst2EntryName::kEither, true},
                        {TEST_GAIN_NO_ENTRY, Vst2EntryName::kEither, false}};
  for (const Case& c : cases) {
    PluginModule module;
    ASSERT_EQ(module.Open(c.path), HostStatus::kOk) << module.Error();
    EXPECT_EQ(FindVst2Entry(module, c.name) != nullptr, c.found) << c.path << " " << static_cast<int>(c.name);
    EXPECT_EQ(module.Symbol("TestGainNothingHere") != nullptr, std::string(c.path) == TEST_GAIN_NO_ENTRY);
  }
}

TEST(Vst2Instance, CreateReportsWhatTheEntryPointGaveBack) {
  struct Case {
    const char* path;
    HostStatus status;
    const char* error;
  };
  const Case cases[] = {
      {TEST_GAIN_GOOD, HostStatus::kOk, ""},
      {TEST_GAIN_NO_INSTANCE, HostStatus::kNoInstance, "no instance"},
      {TEST_GAIN_BAD_MAGIC, HostStatus::kBadDescriptor, "magic 0x12345678 instead of 0x56737450"},
      {TEST_GAIN_NO_ENTRY, HostStatus::kNoEntryPoint, "no entry point"}};
  for (const Case& c : cases) {
    PluginModule module;
    ASSERT_EQ(module.Open(c.path), HostStatus::kOk) << module.Error();
    Vst2HostCallback host;
    Vst2Instance plug;
    EXPECT_EQ(plug.Create(FindVst2Entry(module), host), c.status) << c.path;
    EXPECT_EQ(plug.Error(), c.error);
    EXPECT_EQ(plug.IsValid(), c.status == HostStatus::kOk);
    if (plug.IsValid()) {
      EXPECT_EQ(plug.DescriptorFault(), "");
    }
  }
}

// Requests go to the host an instance was made with, while its entry point runs and afterwards; once it is
// closed, and for effects no instance holds, the default answers come.
TEST(Vst2HostCallback, RoutesEachInstancesRequestsToItsOwnHost) {
  Vst2HostAnswers answers;
  answers.mProduct = "Routing Host";
  answers.mProcessLevel = kVstProcessLevelOffline;
  Vst2HostCallback first(answers), second;
  FakePlugin a, b;
  Vst2Instance plugA, plugB;
  tFake = &a;
  ASSERT_EQ(plugA.Create(FakeEntry, first), HostStatus::kOk);
  tFake = &b;
  ASSERT_EQ(plugB.Create(FakeEntry, second), HostStatus::kOk);
  EXPECT_EQ(a.versionAtEntry, 2400);
  plugA.Open();
  ASSERT_EQ(first.Requests().size(), 2u);
  EXPECT_EQ(first.Requests()[0].mEffect, nullptr);  // asked while the entry point ran
  EXPECT_EQ(first.Requests()[1].mEffect, &a.effect);
  EXPECT_EQ(first.Count(audioMasterGetCurrentProcessLevel), 1);
  EXPECT_EQ(second.Count(audioMasterGetCurrentProcessLevel), 0);
  EXPECT_EQ(second.Requests(&a.effect).size(), 0u);

  char product[64] = {};
  EXPECT_EQ(Vst2HostCallback::Callback(&a.effect, audioMasterGetProductString, 0, 0, product, 0.0f), 1);
  EXPECT_STREQ(product, "Routing Host");
  EXPECT_EQ(Vst2HostCallback::Callback(&a.effect, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f),
            kVstProcessLevelOffline);
  EXPECT_EQ(Vst2HostCallback::Callback(&b.effect, audioMasterGetProductString, 0, 0, product, 0.0f), 0);
  plugA.Close();  // asks once more while it closes
  EXPECT_EQ(Vst2HostCallback::Callback(&a.effect, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(first.Count(audioMasterGetCurrentProcessLevel), 3);
}

TEST(Vst2HostCallback, InstancesMadeOnFourThreadsAtOnceReachTheirOwnHosts) {
  constexpr int kThreads = 4, kEach = 50;
  std::vector<Vst2HostCallback> hosts(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&hosts, t] {
      for (int i = 0; i < kEach; ++i) {
        FakePlugin fake;
        tFake = &fake;
        Vst2Instance plug;
        if (plug.Create(FakeEntry, hosts[t]) != HostStatus::kOk) return;
        plug.Open();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const Vst2HostCallback& host : hosts) {
    EXPECT_EQ(host.Count(audioMasterVersion), kEach);
    EXPECT_EQ(host.Count(audioMasterGetCurrentProcessLevel), 2 * kEach);  // effOpen and effClose
    EXPECT_EQ(host.Requests().size(), 3u * kEach);
  }
}

TEST(Vst2HostCallback, WithoutKeepingRequestsOnlyCounts) {
  Vst2HostCallback host(Vst2HostAnswers{}, false);
  FakePlugin fake;
  tFake = &fake;
  Vst2Instance plug;
  ASSERT_EQ(plug.Create(FakeEntry, host), HostStatus::kOk);
  plug.Open();
  EXPECT_EQ(host.Count(audioMasterVersion), 1);
  EXPECT_EQ(host.Count(audioMasterGetCurrentProcessLevel), 1);
  EXPECT_TRUE(host.Requests().empty());
}

// A resumed instance is suspended before it closes; effClose sent directly closes it as it is.
TEST(Vst2Instance, ClosingSuspendsAResumedInstanceFirst) {
  struct Case {
    bool start;
    bool closeDirectly;
    std::vector<VstInt32> sent;
  };
  const Case cases[] = {
      {false, false, {effOpen, effClose}},
      {true, false, {effOpen, effSetSampleRate, effSetBlockSize, effMainsChanged, effMainsChanged, effClose}},
      {true, true, {effOpen, effSetSampleRate, effSetBlockSize, effMainsChanged, effClose}},
  };
  for (const Case& c : cases) {
    Vst2HostCallback host;
    FakePlugin fake;
    tFake = &fake;
    {
      Vst2Instance plug;
      ASSERT_EQ(plug.Create(FakeEntry, host), HostStatus::kOk);
      if (c.start) {
        plug.Start(48000.0, 256);
      } else {
        plug.Open();
      }
      EXPECT_EQ(plug.IsResumed(), c.start);
      if (c.closeDirectly) plug.Dispatch(effClose);
      EXPECT_EQ(plug.IsValid(), !c.closeDirectly);
      plug.Close();
      EXPECT_FALSE(plug.IsValid());
    }  // nothing more is sent when the closed instance goes
    EXPECT_EQ(fake.opcodes, c.sent);
  }
}

}  // namespace
