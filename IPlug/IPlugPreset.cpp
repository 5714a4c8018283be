// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/IPlugPreset.h"

#include <cstring>

IPlugPreset::IPlugPreset() { std::strcpy(mName, "empty"); }
