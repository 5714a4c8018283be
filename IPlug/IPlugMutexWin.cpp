// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <new>

#include "IPlug/IPlugMutex.h"

// A critical section may be entered again by the thread that holds it.
struct IPlugMutex::Impl {
  CRITICAL_SECTION mSection;
};

IPlugMutex::IPlugMutex() {
  static_assert(sizeof(Impl) <= sizeof(mStorage) && alignof(Impl) <= 16, "the lock must fit its storage");
  InitializeCriticalSection(&(new (mStorage) Impl())->mSection);
}

IPlugMutex::~IPlugMutex() {
  DeleteCriticalSection(&Get()->mSection);
  Get()->~Impl();
}

IPlugMutex::Impl* IPlugMutex::Get() { return std::launder(reinterpret_cast<Impl*>(mStorage)); }

void IPlugMutex::Enter() { EnterCriticalSection(&Get()->mSection); }

void IPlugMutex::Leave() { LeaveCriticalSection(&Get()->mSection); }
