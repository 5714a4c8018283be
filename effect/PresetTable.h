// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "effect/ParameterTable.h"

// The factory presets, defined once: the VST 2 and VST 3 preset files, the LV2 bundle's preset descriptions,
// the renderer and the tests read this table. The plug-in itself declares no presets.
//
// Every value is exact in every format: a 32-bit float (an LV2 host writes the value to a float port) whose
// normalised value is a 32-bit float that maps back to exactly the value (a VST 2 host loads a preset file
// as normalised floats). That holds for linear values whose normalised value is a short binary fraction (a
// 1/64 grid of the range, say), and for the split frequency only at the ends of its range, 100 Hz and
// 20000 Hz. At 20000 Hz (and 44100 Hz) the low band carries everything and its Q in dB tilts it, darker below
// 0 dB; at 100 Hz the high band carries all but the bass and its Q in dB is also its gain.

// The longest name a VST 2 host keeps for a program.
inline constexpr int kPresetNameMaxLength = 24;

struct PresetDefinition {
  const char* mName;           // letters, digits, spaces and hyphens: it is also the preset's file name
  double mValues[kNumParams];  // in the parameters' own units, in parameter index order
};

inline constexpr PresetDefinition kPresetTable[] = {
    // The whole signal in the high band, placed anew every 51 chunks; the low band is silent.
    {"Slow Whole-Mix Drift", {100.0, -40.0, -1.0, 0.0, 0.0}},
    // The whole signal in the low band, placed anew every 21 chunks; the high band is silent.
    {"Quick Whole-Mix Hop", {20000.0, -1.0, -40.0, 0.0, 0.0}},
    // The quick hop with a boosted top band (about +4 dB at 16 kHz) placed on its own: of the settings tried,
    // the one whose mono sum of a centred source falls more than 6 dB below the channels least often (18 % of
    // chunks, against about a third with one band).
    {"Mono-Safe Two Bands", {20000.0, -1.0, 12.0, -5.3125, 8.75}},
    // A resonant bass band (+12 dB at 100 Hz) placed anew every 21 chunks, the rest every 51.
    {"Roaming Bass Boom", {100.0, 12.0, -1.0, 0.0, 0.0}},
    // The quick hop with the low-pass Q low: about 7 dB down at 6.4 kHz and 12 dB at 12.8 kHz.
    {"Dark Mellow Hop", {20000.0, -30.25, -40.0, 0.0, 0.0}},
    // The slow drift with the high-pass Q low: tilted up, 12 dB less at 100 Hz and 6.5 dB less at 12.8 kHz.
    {"Bright Thin Drift", {100.0, -40.0, -7.5, 0.0, 0.0}},
    // The lows and low mids (a gentle low-pass) and a boosted top band, each placed on its own, with the
    // upper mids scooped out between them (about 12 dB down at 6.4 kHz).
    {"Scooped Lows And Top", {20000.0, -40.0, 12.0, 0.0, 0.0}},
};

inline constexpr int kNumPresets = static_cast<int>(sizeof kPresetTable / sizeof kPresetTable[0]);
