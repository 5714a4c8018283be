// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class IPlugBase;

// A recursive lock (a critical section on Windows, a plain mutex with its owner and entry count elsewhere):
// the same thread may enter it again while holding it; each entry needs its own leave.
class IPlugMutex {
 public:
  IPlugMutex();
  ~IPlugMutex();
  IPlugMutex(const IPlugMutex&) = delete;
  IPlugMutex& operator=(const IPlugMutex&) = delete;

  void Enter();
  void Leave();

 private:
  struct Impl;
  alignas(16) unsigned char mStorage[64];
  Impl* Get();
};

// Scoped guard: enters on construction, leaves on destruction unless released before.
class IPlugMutexLock {
 public:
  explicit IPlugMutexLock(IPlugBase* plug);                     // the plug-in's instance lock
  explicit IPlugMutexLock(IPlugMutex* mutex) : mMutex(mutex) {  // none: holds nothing
    if (mMutex) mMutex->Enter();
  }
  ~IPlugMutexLock() {
    if (mMutex) mMutex->Leave();
  }
  IPlugMutexLock(const IPlugMutexLock&) = delete;
  IPlugMutexLock& operator=(const IPlugMutexLock&) = delete;

  // Leaves at once and forgets the mutex, so destruction does nothing.
  void Release() {
    if (mMutex) mMutex->Leave();
    mMutex = nullptr;
  }

 private:
  IPlugMutex* mMutex;
};
