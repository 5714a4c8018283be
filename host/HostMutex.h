// SPDX-License-Identifier: GPL-3.0-or-later
// A plain, non-recursive lock for the host library's shared records: a slim reader/writer lock on Windows
// (the mingw-w64 runtime has no std::mutex), a pthread mutex elsewhere.
#pragma once

class HostMutex {
 public:
  HostMutex();
  ~HostMutex();
  HostMutex(const HostMutex&) = delete;
  HostMutex& operator=(const HostMutex&) = delete;

  void Lock();
  void Unlock();

 private:
  alignas(8) unsigned char mNative[64];  // the platform's lock object, built in place
};

// Holds a HostMutex for the lifetime of the scope.
class HostMutexLock {
 public:
  explicit HostMutexLock(HostMutex& mutex) : mMutex(mutex) { mMutex.Lock(); }
  ~HostMutexLock() { mMutex.Unlock(); }
  HostMutexLock(const HostMutexLock&) = delete;
  HostMutexLock& operator=(const HostMutexLock&) = delete;

 private:
  HostMutex& mMutex;
};
