// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClapEventList.h"

#include <cstring>

ClapEventList::ClapEventList() : mInput{this, ListSize, ListGet} {}

void ClapEventList::AddParamValue(uint32_t time, clap_id id, double value) {
  Record record;
  std::memset(&record, 0, sizeof record);
  clap_event_param_value_t& event = record.value;
  event.header.size = sizeof event;
  event.header.time = time;
  event.header.space_id = CLAP_CORE_EVENT_SPACE_ID;
  event.header.type = CLAP_EVENT_PARAM_VALUE;
  event.header.flags = 0;
  event.param_id = id;
  event.cookie = nullptr;
  event.note_id = -1;
  event.port_index = -1;
  event.channel = -1;
  event.key = -1;
  event.value = value;
  mRecords.push_back(record);
}

void ClapEventList::AddRecord(const clap_event_header_t& header) {
  Record record;
  std::memset(&record, 0, sizeof record);
  const size_t bytes = header.size < sizeof record ? header.size : sizeof record;
  std::memcpy(&record, &header, bytes < sizeof header ? sizeof header : bytes);
  mRecords.push_back(record);
}

uint32_t CLAP_ABI ClapEventList::ListSize(const clap_input_events_t* list) {
  return static_cast<const ClapEventList*>(list->ctx)->Size();
}

const clap_event_header_t* CLAP_ABI ClapEventList::ListGet(const clap_input_events_t* list, uint32_t index) {
  const ClapEventList* self = static_cast<const ClapEventList*>(list->ctx);
  return index < self->Size() ? &self->mRecords[index].header : nullptr;
}
