// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The effect class is compiled once per plug-in format. Each format target defines IPLUG_BINDING_HEADER as
// the header of its binding class, which names that class IPlugBinding and what the binding needs to reach
// its host IPlugInstanceInfo.
#ifndef IPLUG_BINDING_HEADER
#error "IPLUG_BINDING_HEADER names the binding header of the format being built"
#endif
#include IPLUG_BINDING_HEADER

// Builds the effect's plug-in object; provided by the effect. The caller owns the object.
IPlugBinding* MakePlug(const IPlugInstanceInfo& info);
