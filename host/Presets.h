// SPDX-License-Identifier: GPL-3.0-or-later
// The factory presets in the renderer: listing them, and loading one into the effect as a VST 2 host loads
// the preset's program file (its normalised values through setParameter).
#pragma once

#include <cstdio>
#include <string>

class Vst2Instance;

// Every preset's name and values, in the parameters' own units, as a table.
void PrintPresetList(std::FILE* out);

// True when a factory preset has exactly this name.
bool IsPresetName(const std::string& name);

// Sets the effect's parameters to the preset. Throws RenderError when the effect is not the plug-in the
// presets belong to (another unique id or parameter count).
void ApplyPreset(Vst2Instance& effect, const std::string& name, const std::string& pluginPath);
