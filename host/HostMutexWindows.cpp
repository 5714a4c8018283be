// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <new>

#include "HostMutex.h"

static_assert(sizeof(SRWLOCK) <= 64 && alignof(SRWLOCK) <= 8, "HostMutex storage");

namespace {

SRWLOCK* Native(unsigned char* storage) { return std::launder(reinterpret_cast<SRWLOCK*>(storage)); }

}  // namespace

HostMutex::HostMutex() { InitializeSRWLock(new (mNative) SRWLOCK); }

HostMutex::~HostMutex() {}  // a slim lock holds no resources

void HostMutex::Lock() { AcquireSRWLockExclusive(Native(mNative)); }

void HostMutex::Unlock() { ReleaseSRWLockExclusive(Native(mNative)); }
