// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/IPlugMutex.h"

#include "IPlug/IPlugBase.h"

IPlugMutexLock::IPlugMutexLock(IPlugBase* plug) : mMutex(plug ? plug->Mutex() : nullptr) {
  if (mMutex) mMutex->Enter();
}
