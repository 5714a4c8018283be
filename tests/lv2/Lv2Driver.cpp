// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/lv2/Lv2Driver.h"

#include "effect/ParameterTable.h"

namespace {

constexpr const char kUri[] = "urn:quillmere:quillmere";
// The control port symbols in parameter order; hosts save sessions by these.
const char* const kSymbols[] = {"split", "low_q", "high_q", "low_angle", "high_angle"};

}  // namespace

std::string Lv2Driver::Load() {
  return mHost.LoadBundle(QUILLMERE_LV2_BUNDLE) ? "" : "cannot read the bundle: " + mHost.Error();
}

bool Lv2Driver::Start(double rate, int maxBlock) {
  if (!mHost.HasInstance()) {
    Lv2Host::Features features{true, maxBlock > 0 ? maxBlock : 0};
    if (maxBlock == test_support::kHostWithoutFeatures) features = Lv2Host::NoFeatures();
    if (!mHost.Instantiate(kUri, rate, features)) return false;
    for (const auto& pending : mPending) mHost.SetControl(kSymbols[pending.first], pending.second);
  }
  mHost.Activate();
  return true;
}

void Lv2Driver::Reset() {
  mHost.Deactivate();
  mHost.Activate();
}

double Lv2Driver::ValueAt(int param, double fraction) {
  const ParameterDefinition& row = kParameterTable[param];
  return static_cast<float>(row.mMin + fraction * (row.mMax - row.mMin));
}

void Lv2Driver::Set(int param, double value) {
  if (mHost.HasInstance()) {
    mHost.SetControl(kSymbols[param], static_cast<float>(value));
  } else {
    mPending.emplace_back(param, static_cast<float>(value));
  }
}

void Lv2Driver::SetOnReference(test_support::Vst2Reference& reference, int param, double value) {
  reference.SetExactValue(param, static_cast<float>(value));
}

bool Lv2Driver::Process(float** inputs, float** outputs, int frames,
                        const std::vector<test_support::Change>& changes) {
  if (!changes.empty() || !mHost.HasInstance()) return false;
  mHost.ConnectAudio(inputs, outputs);
  mHost.Run(static_cast<uint32_t>(frames));
  return true;
}
