// SPDX-License-Identifier: GPL-3.0-or-later
// What every format's entry does alike: build an instance under the creation lock, copy texts into host
// fields.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "IPlug/HostText.h"
#include "IPlug/IPlugEntry.h"

namespace {

// Counts live objects, so a made and then refused instance shows whether it was deleted.
struct CountedPlug {
  static int sLive;
  bool mFillThrows = false;
  bool mFilled = false;
  CountedPlug() { ++sLive; }
  ~CountedPlug() { --sLive; }
  void FillDefaultPresets() {
    if (mFillThrows) throw std::bad_alloc();
    mFilled = true;
  }
};
int CountedPlug::sLive = 0;

enum EStep { kSucceeds, kGivesNone, kThrows };

TEST(CreateInstance, GivesTheFinishedObjectOrNoneAndLeavesNothingBehind) {
  struct Case {
    const char* mName;
    EStep mMake;
    bool mFillThrows;
    EStep mFinish;  // kGivesNone: refuses
    bool mMade;
  } cases[] = {
      {"every step succeeds", kSucceeds, false, kSucceeds, true},
      {"make gives none", kGivesNone, false, kSucceeds, false},
      {"make throws", kThrows, false, kSucceeds, false},
      {"filling the presets throws", kSucceeds, true, kSucceeds, false},
      {"finish refuses", kSucceeds, false, kGivesNone, false},
      {"finish throws", kSucceeds, false, kThrows, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mName);
    bool finished = false;
    CountedPlug* plug = CreateInstance(
        [&]() -> CountedPlug* {
          if (c.mMake == kThrows) throw std::bad_alloc();
          if (c.mMake == kGivesNone) return nullptr;
          CountedPlug* made = new CountedPlug();
          made->mFillThrows = c.mFillThrows;
          return made;
        },
        [&](CountedPlug& made) {
          // The presets are filled before the format finishes the object.
          EXPECT_TRUE(made.mFilled);
          finished = true;
          if (c.mFinish == kThrows) throw std::bad_alloc();
          return c.mFinish == kSucceeds;
        });
    EXPECT_EQ(plug != nullptr, c.mMade);
    EXPECT_EQ(finished, c.mMake == kSucceeds && !c.mFillThrows);
    EXPECT_EQ(CountedPlug::sLive, c.mMade ? 1 : 0);
    delete plug;
  }
}

TEST(CreateInstance, HoldsTheCreationLockWhileMakingAndFinishing) {
  std::atomic<bool> otherEntered{false};
  std::thread other;
  CountedPlug* plug = CreateInstance([] { return new CountedPlug(); },
                                     [&](CountedPlug&) {
                                       other = std::thread([&] {
                                         IPlugMutexLock lock(&CreationLock());
                                         otherEntered = true;
                                       });
                                       std::this_thread::sleep_for(std::chrono::milliseconds(50));
                                       EXPECT_FALSE(otherEntered);
                                       return true;
                                     });
  other.join();
  EXPECT_TRUE(otherEntered);
  delete plug;
}

TEST(CopyToHost, CutsToTheFieldAndWritesNothingAfterTheTerminator) {
  struct Case {
    const char* mText;
    size_t mCapacity;
    const char* mExpected;
  } cases[] = {
      {"Quillmere", 32, "Quillmere"},
      {"Quillmere", 10, "Quillmere"},
      {"Quillmere", 9, "Quillmer"},
      {"Quillmere", 1, ""},
      {"", 8, ""},
      {nullptr, 8, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mText ? c.mText : "(null)") + " into " + std::to_string(c.mCapacity));
    char field[40];
    std::memset(field, '#', sizeof field);
    CopyToHost(field, c.mText, c.mCapacity);
    EXPECT_STREQ(field, c.mExpected);
    // A host's buffer may end right after the terminator.
    for (size_t i = std::strlen(c.mExpected) + 1; i < sizeof field; ++i) ASSERT_EQ(field[i], '#') << i;
  }
  char untouched[4] = {'#', '#', '#', '#'};
  CopyToHost(untouched, "text", 0);
  EXPECT_EQ(std::string(untouched, 4), "####");
  CopyToHost(nullptr, "text", 8);
}

}  // namespace
