// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "effect/PluginDescription.h"
#include "pluginterfaces/base/funknown.h"

// The plug-in's class id (effect/PluginDescription.h) as a TUID initialiser: const TUID id = ...;
#define QUILLMERE_VST3_CLASS_UID \
  INLINE_UID(kPluginVst3ClassId[0], kPluginVst3ClassId[1], kPluginVst3ClassId[2], kPluginVst3ClassId[3])
