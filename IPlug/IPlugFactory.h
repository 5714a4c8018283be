// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The effect class is compiled once per plug-in format, against that format's binding. Each format target
// defines IPLUG_BINDING_HEADER as its binding class's header, which declares two names:
//   IPlugBinding       the format's binding class, the class the effect class derives from;
//   IPlugInstanceInfo  what the format's entry hands MakePlug for a new instance (whatever the binding needs
//                      from the host's creation call, such as the host's callback).
#ifndef IPLUG_BINDING_HEADER
#error "IPLUG_BINDING_HEADER names the binding header of the format being built"
#endif
#include IPLUG_BINDING_HEADER

// Builds the effect's plug-in object; provided by the effect. The caller owns the object.
IPlugBinding* MakePlug(const IPlugInstanceInfo& info);
