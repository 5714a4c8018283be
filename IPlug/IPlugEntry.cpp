// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/IPlugEntry.h"

IPlugMutex& CreationLock() {
  static IPlugMutex lock;
  return lock;
}
