// SPDX-License-Identifier: GPL-3.0-or-later
#include <pthread.h>

#include <new>

#include "HostMutex.h"

static_assert(sizeof(pthread_mutex_t) <= 64 && alignof(pthread_mutex_t) <= 8, "HostMutex storage");

namespace {

pthread_mutex_t* Native(unsigned char* storage) {
  return std::launder(reinterpret_cast<pthread_mutex_t*>(storage));
}

}  // namespace

HostMutex::HostMutex() { pthread_mutex_init(new (mNative) pthread_mutex_t, nullptr); }

HostMutex::~HostMutex() { pthread_mutex_destroy(Native(mNative)); }

void HostMutex::Lock() { pthread_mutex_lock(Native(mNative)); }

void HostMutex::Unlock() { pthread_mutex_unlock(Native(mNative)); }
