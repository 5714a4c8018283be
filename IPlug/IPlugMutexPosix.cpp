// SPDX-License-Identifier: GPL-3.0-or-later
#include <mutex>
#include <new>

#include "IPlug/IPlugMutex.h"

struct IPlugMutex::Impl {
  std::recursive_mutex mMutex;
};

IPlugMutex::IPlugMutex() {
  static_assert(sizeof(Impl) <= sizeof(mStorage) && alignof(Impl) <= 16, "the lock must fit its storage");
  new (mStorage) Impl();
}

IPlugMutex::~IPlugMutex() { Get()->~Impl(); }

IPlugMutex::Impl* IPlugMutex::Get() { return std::launder(reinterpret_cast<Impl*>(mStorage)); }

void IPlugMutex::Enter() { Get()->mMutex.lock(); }

void IPlugMutex::Leave() { Get()->mMutex.unlock(); }
