// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>
#include <cstring>

#include "IPlug/IPlugBase.h"

namespace {

constexpr const char* kUserPresetWord = "user preset";

// Names longer than the field are cut.
void CopyPresetName(IPlugPreset* preset, const char* name) {
  std::snprintf(preset->mName, kPresetNameSize, "%s", name);
}

// The stored state is emptied first: it is always read back from its first byte.
bool CaptureState(IPlugBase* plug, IPlugPreset* preset) {
  preset->mState.Clear();
  return plug->SaveState(&preset->mState);
}

}  // namespace

const char* IPlugBase::PresetName(int index) const {
  const IPlugPreset* preset = mPresetList.Get(index);
  return preset ? preset->mName : "";
}

IPlugPreset* IPlugBase::FirstUnsetPreset() const {
  for (int i = 0; i < mPresetList.Count(); ++i) {
    IPlugPreset* preset = mPresetList.Get(i);
    if (!preset->mIsSet) return preset;
  }
  return nullptr;
}

void IPlugBase::NextUserPresetName(char* out, int outSize) const {
  int k = 0;
  for (int i = 0; i < mPresetList.Count(); ++i) {
    if (std::strstr(mPresetList.Get(i)->mName, kUserPresetWord)) ++k;
  }
  if (out && outSize > 0) std::snprintf(out, outSize, "%s %d", kUserPresetWord, k + 1);
}

void IPlugBase::FillUnsetPresets(const char* name, int count) {
  for (int n = 0; n < count; ++n) {
    IPlugPreset* preset = FirstUnsetPreset();
    if (!preset) return;
    preset->mIsSet = true;
    CopyPresetName(preset, name ? name : "Empty");
    CaptureState(this, preset);
  }
}

void IPlugBase::FillDefaultPresets() { FillUnsetPresets("Empty", PresetCount()); }

bool IPlugBase::SelectPreset(int index) {
  IPlugPreset* preset = mPresetList.Get(index);
  if (!preset) return false;
  bool ok;
  if (!preset->mIsSet) {
    // An unset preset captures the current state; the parameters stay as they are.
    preset->mIsSet = true;
    char name[kPresetNameSize];
    NextUserPresetName(name, kPresetNameSize);
    CopyPresetName(preset, name);
    ok = CaptureState(this, preset);
  } else {
    ok = LoadState(&preset->mState, 0) > 0;
  }
  if (ok) {
    mPresetIndex = index;
    PresetChangedHook();
    RefreshEditorParams();
  }
  return ok;
}

void IPlugBase::ModifyCurrentPreset(const char* name) {
  IPlugPreset* preset = mPresetList.Get(mPresetIndex);
  if (!preset) return;
  CaptureState(this, preset);
  if (name && name[0]) CopyPresetName(preset, name);
}

bool IPlugBase::SerializePresets(IStateChunk* chunk) {
  bool ok = true;
  for (int i = 0; i < mPresetList.Count() && ok; ++i) {
    const IPlugPreset* preset = mPresetList.Get(i);
    ok = chunk->AppendText(preset->mName) > 0;
    if (ok) ok = chunk->AppendFlag(preset->mIsSet) > 0;
    if (ok && preset->mIsSet) ok = chunk->AppendChunk(preset->mState) > 0;
  }
  return ok;
}

int IPlugBase::UnserializePresets(const IStateChunk* chunk, int pos) {
  // A record with an empty name keeps the name read for the record before it.
  IText name;
  for (int i = 0; i < mPresetList.Count() && pos >= 0; ++i) {
    IPlugPreset* preset = mPresetList.Get(i);
    pos = chunk->ReadText(&name, pos);
    if (pos < 0) break;
    CopyPresetName(preset, name.Get());
    pos = chunk->ReadFlag(&preset->mIsSet, pos);
    if (pos < 0) break;
    if (preset->mIsSet) {
      // The values pass through the parameters, so the preset keeps them as re-read and clamped.
      pos = LoadState(chunk, pos);
      if (pos > 0) CaptureState(this, preset);
    }
  }
  SelectPreset(CurrentPresetIndex());
  return pos;
}
