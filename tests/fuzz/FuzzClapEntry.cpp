// SPDX-License-Identifier: GPL-3.0-or-later
// The CLAP plug-in driven through clap_entry by a host whose calls, in any order, the input decides: activate
// with any rate and block limits, deactivate, reset, blocks of any length in either width with parameter
// events of any time, id, type and value, flushes, texts both ways into small buffers, state saved and loaded
// through streams that move a few bytes per call, and state streams of any bytes. Finite input gives finite
// output; a state load that fails changes nothing; parameter values stay in their ranges.
#include <cmath>
#include <cstring>
#include <vector>

#include "clap/entry.h"
#include "clap/ext/params.h"
#include "clap/ext/state.h"
#include "clap/plugin-factory.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr uint32_t kLongest = 5000;
constexpr int kMaxEvents = 8;

const clap_host_t kHost = {CLAP_VERSION_INIT,
                           nullptr,
                           "fuzz",
                           "",
                           "",
                           "1",
                           [](const clap_host_t*, const char*) -> const void* { return nullptr; },
                           [](const clap_host_t*) {},
                           [](const clap_host_t*) {},
                           [](const clap_host_t*) {}};

// An event list of any records; the size field says what each record claims to be.
struct EventList {
  union Record {
    clap_event_header_t header;
    clap_event_param_value_t value;
    clap_event_note_t note;
  };
  Record records[kMaxEvents];
  uint32_t count = 0;
  clap_input_events_t list{this, Size, Get};

  static uint32_t CLAP_ABI Size(const clap_input_events_t* list) {
    return static_cast<const EventList*>(list->ctx)->count;
  }
  static const clap_event_header_t* CLAP_ABI Get(const clap_input_events_t* list, uint32_t index) {
    const EventList* self = static_cast<const EventList*>(list->ctx);
    return index < self->count ? &self->records[index].header : nullptr;
  }

  void Fill(fuzz::Reader& in) {
    count = in.Byte() % (kMaxEvents + 1);
    for (uint32_t i = 0; i < count; ++i) {
      Record& r = records[i];
      std::memset(&r, 0, sizeof r);
      const uint8_t shape = in.Byte();
      r.value.header.size = (shape & 1) ? sizeof(clap_event_param_value_t) : in.Byte();
      r.value.header.time = (shape & 2) ? in.Byte() * 23u : in.Byte() * 0x01000000u;
      r.value.header.space_id = (shape & 4) ? CLAP_CORE_EVENT_SPACE_ID : in.Byte();
      r.value.header.type = (shape & 8) ? CLAP_EVENT_PARAM_VALUE : in.Byte() % 16;
      r.value.param_id = (shape & 16) ? in.Byte() % 6 : in.Byte() * 0x01010101u;
      r.value.value = (shape & 32) ? (in.Byte() - 128) * 200.0 : in.Raw<double>();
      r.value.note_id = -1;
    }
  }
};

// A stream that moves at most step bytes per call; reads come from bytes, writes go to bytes.
struct Stream {
  std::vector<uint8_t> bytes;
  size_t pos = 0;
  size_t step = 1;
  clap_istream_t in{this, Read};
  clap_ostream_t out{this, Write};

  static int64_t CLAP_ABI Read(const clap_istream_t* stream, void* buffer, uint64_t size) {
    Stream* self = static_cast<Stream*>(stream->ctx);
    size_t n = self->bytes.size() - self->pos;
    if (n > self->step) n = self->step;
    if (n > size) n = static_cast<size_t>(size);
    if (n > 0) std::memcpy(buffer, self->bytes.data() + self->pos, n);
    self->pos += n;
    return static_cast<int64_t>(n);
  }
  static int64_t CLAP_ABI Write(const clap_ostream_t* stream, const void* buffer, uint64_t size) {
    Stream* self = static_cast<Stream*>(stream->ctx);
    size_t n = self->step < size ? self->step : static_cast<size_t>(size);
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    self->bytes.insert(self->bytes.end(), p, p + n);
    return static_cast<int64_t>(n);
  }
};

struct Values {
  double v[8] = {};
  bool operator==(const Values& other) const { return std::memcmp(v, other.v, sizeof v) == 0; }
};

Values ReadValues(const clap_plugin_t* plugin, const clap_plugin_params_t* params) {
  Values values;
  const uint32_t count = params->count(plugin);
  for (uint32_t i = 0; i < count && i < 8; ++i) {
    clap_param_info_t info;
    FUZZ_CHECK(params->get_info(plugin, i, &info));
    FUZZ_CHECK(params->get_value(plugin, info.id, &values.v[i]));
    FUZZ_CHECK(values.v[i] >= info.min_value && values.v[i] <= info.max_value);
  }
  return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<float> floats[4];
  static std::vector<double> doubles[4];
  if (floats[0].empty()) {
    for (int c = 0; c < 4; ++c) {
      floats[c].resize(kLongest);
      doubles[c].resize(kLongest);
    }
  }
  const double rates[] = {44100.0, 8000.0, 1234.5678, 384000.0, 0.0, -1.0, 1.0, 96000.0};
  const uint32_t limits[] = {512, 1, 17, 4096, 4097, 0, 0xFFFFFFFFu, 64};
  const uint32_t frameCounts[] = {0, 1, 32, 511, 512, 4096, 4097, kLongest};

  fuzz::Reader in(data, size);
  FUZZ_CHECK(clap_entry.init("/fuzz/Quillmere.clap"));
  const clap_plugin_factory_t* factory =
      static_cast<const clap_plugin_factory_t*>(clap_entry.get_factory(CLAP_PLUGIN_FACTORY_ID));
  FUZZ_CHECK(factory && factory->get_plugin_count(factory) == 1);
  const clap_plugin_t* plugin =
      factory->create_plugin(factory, &kHost, factory->get_plugin_descriptor(factory, 0)->id);
  FUZZ_CHECK(plugin && plugin->init(plugin));
  const clap_plugin_params_t* params =
      static_cast<const clap_plugin_params_t*>(plugin->get_extension(plugin, CLAP_EXT_PARAMS));
  const clap_plugin_state_t* state =
      static_cast<const clap_plugin_state_t*>(plugin->get_extension(plugin, CLAP_EXT_STATE));
  FUZZ_CHECK(params && state);
  EventList events;
  int steps = 0;
  while (in.More() && steps++ < 48) {
    const uint8_t action = in.Byte();
    switch (action % 8) {
      case 0:
        plugin->activate(plugin, rates[(action >> 3) % 8], 1, limits[(action >> 5) % 8]);
        break;
      case 1:
        if (action & 8)
          plugin->deactivate(plugin);
        else if (action & 16)
          plugin->reset(plugin);
        else if (action & 32)
          plugin->start_processing(plugin);
        else
          plugin->stop_processing(plugin);
        break;
      case 2:
        events.Fill(in);
        params->flush(plugin, &events.list, nullptr);
        break;
      case 3: {
        // Any text into a buffer of any size, and back.
        char text[24];
        for (char& ch : text) ch = static_cast<char>(in.Byte());
        text[sizeof text - 1] = '\0';
        const clap_id id = in.Byte() % 7;
        double value = 0.0;
        if (params->text_to_value(plugin, id, text, &value)) {
          char display[40];
          const uint32_t room = 1 + in.Byte() % 39;
          std::memset(display, 'x', sizeof display);
          FUZZ_CHECK(params->value_to_text(plugin, id, value, display, room));
          FUZZ_CHECK(std::memchr(display, '\0', room) != nullptr);
        }
        break;
      }
      case 4: {
        // Saved state loads back, however few bytes each stream call moves.
        Stream stream;
        stream.step = 1 + in.Byte() % 50;
        const Values before = ReadValues(plugin, params);
        FUZZ_CHECK(state->save(plugin, &stream.out));
        FUZZ_CHECK(stream.bytes.size() == 48);
        FUZZ_CHECK(state->load(plugin, &stream.in));
        FUZZ_CHECK(ReadValues(plugin, params) == before);
        break;
      }
      case 5: {
        // Any bytes as state: loaded whole, or refused with nothing changed.
        Stream stream;
        stream.step = 1 + in.Byte() % 7;
        const size_t n = in.Byte() % 64;
        for (size_t i = 0; i < n; ++i) stream.bytes.push_back(in.Byte());
        const Values before = ReadValues(plugin, params);
        if (!state->load(plugin, &stream.in)) FUZZ_CHECK(ReadValues(plugin, params) == before);
        break;
      }
      default: {
        const uint32_t frames = frameCounts[(action >> 3) % 8];
        const bool wide = (action >> 6) & 1;
        const bool inPlace = (action >> 7) & 1;
        const double level = in.Byte() / 255.0;
        for (int c = 0; c < 2; ++c)
          for (uint32_t i = 0; i < frames; ++i) {
            doubles[c][i] = level * std::sin(0.01 * (i + 1) * (c + 1));
            floats[c][i] = static_cast<float>(doubles[c][i]);
          }
        events.Fill(in);
        float* f[4] = {floats[0].data(), floats[1].data(), floats[2].data(), floats[3].data()};
        double* d[4] = {doubles[0].data(), doubles[1].data(), doubles[2].data(), doubles[3].data()};
        clap_audio_buffer_t input{}, output{};
        input.channel_count = output.channel_count = 2;
        if (wide) {
          input.data64 = d;
          output.data64 = inPlace ? d : d + 2;
        } else {
          input.data32 = f;
          output.data32 = inPlace ? f : f + 2;
        }
        clap_process_t process{};
        process.steady_time = -1;
        process.frames_count = frames;
        process.audio_inputs = &input;
        process.audio_outputs = &output;
        process.audio_inputs_count = 1;
        process.audio_outputs_count = 1;
        process.in_events = &events.list;
        // Now and then a host that hands too few channels or ports.
        const uint8_t fault = in.Byte();
        if (fault == 1) output.channel_count = 1;
        if (fault == 2) process.audio_inputs_count = 0;
        if (fault == 3) process.in_events = nullptr;
        const clap_process_status status = plugin->process(plugin, &process);
        if (frames > 0 && (fault == 1 || fault == 2)) {
          FUZZ_CHECK(status == CLAP_PROCESS_ERROR);
        } else {
          FUZZ_CHECK(status == CLAP_PROCESS_CONTINUE);
          FUZZ_CHECK(wide ? fuzz::Finite(output.data64, frames) : fuzz::Finite(output.data32, frames));
        }
        break;
      }
    }
  }
  ReadValues(plugin, params);
  plugin->deactivate(plugin);
  plugin->destroy(plugin);
  clap_entry.deinit();
  return 0;
}
