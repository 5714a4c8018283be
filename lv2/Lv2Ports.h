// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "effect/ParameterTable.h"

// The LV2 plug-in's ports (its URI is kPluginLv2Uri, effect/PluginDescription.h). The port indices and the
// port symbols never change: sessions store control values by symbol.

// Audio ports first, then one control input per parameter in parameter index order.
enum ELv2Port : uint32_t {
  kPortInLeft = 0,
  kPortInRight,
  kPortOutLeft,
  kPortOutRight,
  kPortFirstControl,
  kNumLv2Ports = kPortFirstControl + kNumParams
};

inline constexpr const char* kLv2AudioPortSymbols[kPortFirstControl] = {"in_l", "in_r", "out_l", "out_r"};

// The LV2 description of one parameter beyond what the plug-in object reports: its port symbol and the unit
// the value is in (a units: term, or empty for the plug-in's own angle unit, radians).
struct Lv2ControlPort {
  EParams mParam;
  const char* mSymbol;
  const char* mUnit;
};

inline constexpr Lv2ControlPort kLv2ControlPorts[] = {
    {kSplitHz, "split", "units:hz"}, {kLowQDb, "low_q", "units:db"}, {kHighQDb, "high_q", "units:db"},
    {kLowAngle, "low_angle", ""},    {kHighAngle, "high_angle", ""},
};

static_assert(sizeof kLv2ControlPorts / sizeof kLv2ControlPorts[0] == kNumParams,
              "one control port for every parameter");

constexpr bool ControlPortsInParamOrder() {
  for (int i = 0; i < kNumParams; ++i) {
    if (kLv2ControlPorts[i].mParam != i) return false;
  }
  return true;
}
static_assert(ControlPortsInParamOrder(), "control ports are in parameter index order");
