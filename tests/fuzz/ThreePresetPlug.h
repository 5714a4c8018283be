// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vst/IPlugVST.h"

// A plug-in object with three presets and five parameters of different curves, for exercising bank bodies.
class ThreePresetPlug : public IPlugVST {
 public:
  explicit ThreePresetPlug(audioMasterCallback hostCallback)
      : IPlugVST(hostCallback, 5, "2-2", 3, "Three Presets", "Three Presets", "Fuzz", 0x10203, 0x54687233,
                 0x465A, 0, false, false, false, 0) {
    Param(0)->DefineContinuous("Frequency", 1000.0, 100.0, 20000.0, 0.001, "Hz", 0.0);
    Param(1)->DefineContinuous("Gain", 0.0, -40.0, 12.0, 0.5, "dB", 1.0);
    Param(2)->DefineContinuous("Curve", 2.0, 1.0, 10.0, 0.25, "", 2.0);
    Param(3)->DefineContinuous("Angle", 0.0, -10.0, 10.0, 1.0, "angular", 1.0);
    Param(4)->DefineContinuous("Steps", 3.0, 0.0, 7.0, 1.0, "", 1.0);
    Param(4)->SetKind(kKindInt);
    FillDefaultPresets();
  }
};
