// SPDX-License-Identifier: GPL-3.0-or-later
// Events a host hands a CLAP plug-in with a block or a flush: parameter values, and any other record as
// given, kept in the order added (a host sorts them by time; tests may not).
#pragma once

#include <cstdint>
#include <vector>

#include "clap/events.h"

class ClapEventList {
 public:
  ClapEventList();
  ClapEventList(const ClapEventList&) = delete;
  ClapEventList& operator=(const ClapEventList&) = delete;

  // A parameter value event at time (frames into the block) in the core event space.
  void AddParamValue(uint32_t time, clap_id id, double value);
  // A copy of any record: header->size bytes, at most the largest event record's size (the rest reads 0).
  void AddRecord(const clap_event_header_t& header);
  void Clear() { mRecords.clear(); }
  uint32_t Size() const { return static_cast<uint32_t>(mRecords.size()); }

  // The list as the plug-in reads it, valid while this object lives; reading it allocates nothing.
  const clap_input_events_t* Input() const { return &mInput; }

 private:
  union Record {
    clap_event_header_t header;
    clap_event_note_t note;
    clap_event_note_expression_t expression;
    clap_event_param_value_t value;
    clap_event_param_mod_t mod;
    clap_event_param_gesture_t gesture;
    clap_event_transport_t transport;
    clap_event_midi_t midi;
    clap_event_midi_sysex_t sysex;
    clap_event_midi2_t midi2;
  };
  static uint32_t CLAP_ABI ListSize(const clap_input_events_t* list);
  static const clap_event_header_t* CLAP_ABI ListGet(const clap_input_events_t* list, uint32_t index);

  std::vector<Record> mRecords;
  clap_input_events_t mInput;
};
