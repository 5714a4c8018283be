// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "IPlug/IPlugMutex.h"
#include "TestPlug.h"

namespace {

// Starts a thread that enters the mutex and reports it; answers whether it got in within a short wait.
class Contender {
 public:
  explicit Contender(IPlugMutex* mutex)
      : mThread([this, mutex] {
          IPlugMutexLock lock(mutex);
          mEntered = true;
        }) {}
  ~Contender() { mThread.join(); }
  bool EnteredWithin(std::chrono::milliseconds wait) {
    const auto end = std::chrono::steady_clock::now() + wait;
    while (!mEntered && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return mEntered;
  }

 private:
  std::atomic<bool> mEntered{false};
  std::thread mThread;
};

constexpr std::chrono::milliseconds kShortWait(50);
constexpr std::chrono::milliseconds kLongWait(5000);

// Another thread waits for the held mutex, and gets in once leave() has given it up.
template <class Leave>
void ExpectOthersWaitUntil(IPlugMutex* mutex, Leave leave) {
  Contender other(mutex);
  EXPECT_FALSE(other.EnteredWithin(kShortWait));
  leave();
  EXPECT_TRUE(other.EnteredWithin(kLongWait));
}

TEST(IPlugMutex, SameThreadEntersAgainAndEachEntryNeedsItsLeave) {
  IPlugMutex mutex;
  mutex.Enter();
  mutex.Enter();
  mutex.Leave();
  ExpectOthersWaitUntil(&mutex, [&] { mutex.Leave(); });
}

TEST(IPlugMutex, GuardExcludesOtherThreadsUntilReleased) {
  IPlugMutex mutex;
  IPlugMutexLock guard(&mutex);
  ExpectOthersWaitUntil(&mutex, [&] { guard.Release(); });
}

// A released guard does not leave again when it is destroyed, and guards of no mutex or no plug-in leave
// nothing: the one entry made before them still keeps other threads out.
TEST(IPlugMutex, ReleasedGuardsAndGuardsOfNothingLeaveNoEntryOfOthers) {
  IPlugMutex mutex;
  mutex.Enter();
  {
    IPlugMutexLock released(&mutex);
    released.Release();
    IPlugMutexLock noMutex(static_cast<IPlugMutex*>(nullptr));
    IPlugMutexLock noPlug(static_cast<IPlugBase*>(nullptr));
    noPlug.Release();
  }
  ExpectOthersWaitUntil(&mutex, [&] { mutex.Leave(); });
}

TEST(IPlugMutex, GuardFromPlugInHoldsItsInstanceLock) {
  TestPlug plug;
  IPlugMutexLock guard(&plug);
  { IPlugMutexLock again(plug.Mutex()); }
  ExpectOthersWaitUntil(plug.Mutex(), [&] { guard.Release(); });
}

TEST(IPlugMutex, StateOperationsWaitForAnotherThreadsHold) {
  TestPlug plug;
  plug.Mutex()->Enter();
  std::atomic<bool> saved{false};
  std::thread saver([&] {
    IStateChunk chunk;
    plug.SerializeParams(&chunk);
    saved = true;
  });
  std::this_thread::sleep_for(kShortWait);
  EXPECT_FALSE(saved);
  plug.Mutex()->Leave();
  saver.join();
  EXPECT_TRUE(saved);
}

}  // namespace
