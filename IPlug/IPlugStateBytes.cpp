// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/IPlugStateBytes.h"

#include "IPlug/DecimalText.h"

bool SaveStateChunk(IPlugBase* plug, IStateChunk* chunk, bool bank) {
  IPlugMutexLock lock(plug);
  WriteChunkHeader(*chunk);
  bool saved;
  if (bank) {
    plug->ModifyCurrentPreset();
    saved = plug->SerializePresets(chunk);
  } else {
    saved = plug->SaveState(chunk);
  }
  return saved && chunk->Size() > 0;
}

int LoadStateChunk(IPlugBase* plug, const IStateChunk& chunk, bool bank) {
  IPlugMutexLock lock(plug);
  int pos = 0;
  const int32_t version = ReadChunkHeader(chunk, pos);
  if (bank && version >= kStateChunkVersion) return plug->UnserializePresets(&chunk, pos);
  pos = plug->LoadState(&chunk, pos);
  plug->ModifyCurrentPreset();
  return pos;
}

bool LoadProgramStateWhole(IPlugBase* plug, const IStateChunk& chunk, IStateChunk* backup) {
  if (chunk.Size() <= 0) return false;
  IPlugMutexLock lock(plug);
  backup->Clear();
  if (!plug->SaveState(backup)) return false;
  if (LoadStateChunk(plug, chunk, false) >= 0) return true;
  plug->LoadState(backup, 0);
  plug->ModifyCurrentPreset();
  return false;
}

bool ParseValueText(const IPlugParam& param, const char* text, double* value) {
  if (!text) return false;
  if (param.ValueTextCount() > 0) {
    int found = 0;
    if (!param.LookUpValueText(text, &found)) return false;
    *value = found;
    return true;
  }
  *value = ReadDecimalText(text);
  return true;
}
