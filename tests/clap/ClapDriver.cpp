// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/clap/ClapDriver.h"

#include "effect/ParameterTable.h"

using test_support::Change;

std::string ClapSubject::Load(const std::string& path) {
  if (module.Open(path) != HostStatus::kOk) return "cannot open " + path + ": " + module.Error();
  const auto* entry = static_cast<const clap_plugin_entry_t*>(module.Symbol("clap_entry"));
  if (instance.Create(entry, path, host) != HostStatus::kOk)
    return "cannot create the plug-in: " + instance.Error();
  return "";
}

bool ClapDriver::Start(double rate, int maxBlock) {
  return mClap.instance.Activate(rate, 1, static_cast<uint32_t>(maxBlock)) &&
         mClap.instance.StartProcessing();
}

void ClapDriver::Stop() {
  mClap.instance.StopProcessing();
  mClap.instance.Deactivate();
}

double ClapDriver::ValueAt(int param, double fraction) {
  const ParameterDefinition& row = kParameterTable[param];
  return row.mMin + fraction * (row.mMax - row.mMin);
}

void ClapDriver::Set(int param, double value) {
  if (mClap.instance.IsProcessing()) {
    mPending.push_back({param, 0, value});
    return;
  }
  ClapEventList events;
  events.AddParamValue(0, static_cast<clap_id>(param), value);
  mClap.instance.Flush(events);
}

void ClapDriver::SetOnReference(test_support::Vst2Reference& reference, int param, double value) {
  reference.SetExactValue(param, value);
}

template <class Sample>
bool ClapDriver::ProcessChanges(Sample** inputs, Sample** outputs, int frames,
                                const std::vector<Change>& changes) {
  ClapEventList events;
  for (const Change& c : mPending) events.AddParamValue(0, static_cast<clap_id>(c.param), c.value);
  mPending.clear();
  for (const Change& c : changes)
    events.AddParamValue(static_cast<uint32_t>(c.offset), static_cast<clap_id>(c.param), c.value);
  if (!changes.empty()) {
    // Events of other types and spaces, which change and split nothing.
    clap_event_note_t note{};
    note.header = {sizeof note, 200, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_NOTE_ON, 0};
    note.key = 60;
    note.velocity = 1.0;
    events.AddRecord(note.header);
    clap_event_param_gesture_t gesture{
        {sizeof gesture, 220, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_GESTURE_BEGIN, 0}, 0};
    events.AddRecord(gesture.header);
    clap_event_param_value_t foreign{};
    foreign.header = {sizeof foreign, 420, 5, CLAP_EVENT_PARAM_VALUE, 0};
    foreign.value = 9000.0;
    events.AddRecord(foreign.header);
  }
  return mClap.instance.Process(inputs, outputs, static_cast<uint32_t>(frames), &events) ==
             CLAP_PROCESS_CONTINUE &&
         mClap.instance.OutputEventCount() == 0;
}

bool ClapDriver::Process(float** inputs, float** outputs, int frames, const std::vector<Change>& changes) {
  return ProcessChanges(inputs, outputs, frames, changes);
}

bool ClapDriver::Process(double** inputs, double** outputs, int frames, const std::vector<Change>& changes) {
  return ProcessChanges(inputs, outputs, frames, changes);
}

bool ClapDriver::SaveState(std::vector<uint8_t>* bytes, size_t bytesPerCall) {
  return mClap.instance.SaveState(bytes, bytesPerCall);
}

bool ClapDriver::LoadState(const std::vector<uint8_t>& bytes, size_t bytesPerCall) {
  return mClap.instance.LoadState(bytes, bytesPerCall);
}
