// SPDX-License-Identifier: GPL-3.0-or-later
#include <atomic>
#include <mutex>
#include <new>
#include <thread>

#include "IPlug/IPlugMutex.h"

// A plain mutex with its owner and entry count beside it: entering again costs no atomic operation, and the
// first entry and the last leave cost those of the plain mutex alone, fewer than a recursive one's.
struct IPlugMutex::Impl {
  std::mutex mMutex;
  // Only the holding thread stores its own id here, so a thread that reads back its own id holds the lock.
  std::atomic<std::thread::id> mOwner{std::thread::id()};
  int mDepth = 0;  // entries of the holding thread; changed only by it
};

IPlugMutex::IPlugMutex() {
  static_assert(sizeof(Impl) <= sizeof(mStorage) && alignof(Impl) <= 16, "the lock must fit its storage");
  new (mStorage) Impl();
}

IPlugMutex::~IPlugMutex() { Get()->~Impl(); }

IPlugMutex::Impl* IPlugMutex::Get() { return std::launder(reinterpret_cast<Impl*>(mStorage)); }

void IPlugMutex::Enter() {
  Impl* impl = Get();
  const std::thread::id self = std::this_thread::get_id();
  if (impl->mOwner.load(std::memory_order_relaxed) == self) {
    ++impl->mDepth;
    return;
  }
  impl->mMutex.lock();
  impl->mOwner.store(self, std::memory_order_relaxed);
  impl->mDepth = 1;
}

void IPlugMutex::Leave() {
  Impl* impl = Get();
  if (--impl->mDepth > 0) return;
  impl->mOwner.store(std::thread::id(), std::memory_order_relaxed);
  impl->mMutex.unlock();
}
