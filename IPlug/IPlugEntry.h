// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "IPlug/IPlugMutex.h"

// What every format's entry file does alike: export its entry points, and build instances one at a time.

// Marks a function as one of the module's exported entry points (unmangled, visible outside the module).
#if defined(_WIN32)
#define IPLUG_EXPORT extern "C" __declspec(dllexport)
#else
#define IPLUG_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// The module's creation lock: instances are built one at a time even when a host creates several on different
// threads. Built on the first call and kept until the process ends. Not any instance's own lock.
IPlugMutex& CreationLock();

// Builds one instance for a host under the creation lock: make() returns the new plug-in object (owned by the
// caller from then on), which then fills its unset presets, and finish(plug), still under the lock, does what
// the format needs before the host may see it and answers false to refuse it. Answers none when make gives
// none, finish refuses or anything throws (running out of memory): nothing thrown reaches the host, and an
// object that was made is deleted.
template <class Make, class Finish>
auto CreateInstance(Make make, Finish finish) -> decltype(make()) {
  IPlugMutexLock lock(&CreationLock());
  decltype(make()) plug = nullptr;
  try {
    plug = make();
    if (!plug) return nullptr;
    plug->FillDefaultPresets();
    if (finish(*plug)) return plug;
  } catch (...) {
  }
  delete plug;
  return nullptr;
}

template <class Make>
auto CreateInstance(Make make) -> decltype(make()) {
  return CreateInstance(make, [](auto&) { return true; });
}
