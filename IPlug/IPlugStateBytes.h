// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "IPlug/IPlugBase.h"
#include "IPlug/IStateChunk.h"

// Saved state and typed values as every plug-in format stores and reads them, so that each format saves the
// same bytes and reads the same texts. All of these take the instance lock.

// Empties chunk and writes the 8-byte header, then either the plug-in's own state (a program) or, for a bank,
// every preset after the current one has taken the present state. False when nothing could be written.
bool SaveStateChunk(IPlugBase* plug, IStateChunk* chunk, bool bank);

// Loads what SaveStateChunk wrote; a program chunk may also come without its header. A bank with a header
// older than the present version loads as a program. Returns the position after what was read, or -1 when the
// chunk ended too early: what was read before that point stays loaded.
int LoadStateChunk(IPlugBase* plug, const IStateChunk& chunk, bool bank);

// Loads a program chunk completely or not at all: when it is short or unreadable, every parameter keeps the
// value it had and false is returned. Uses scratch and backup as working storage (this allocates).
bool LoadProgramStateWhole(IPlugBase* plug, const void* data, int size, IStateChunk* scratch,
                           IStateChunk* backup);

// Reads a typed value as the plug-in's text entry does: for a parameter with value texts, the value whose
// text matches exactly (false when none does); otherwise the decimal number at the start of the text, 0 when
// there is none. The result is not clamped.
bool ParseValueText(const IPlugParam& param, const char* text, double* value);
