// SPDX-License-Identifier: GPL-3.0-or-later
// quillmere-clap-check PLUGIN OUTDIR [STATE]
// Loads a CLAP plug-in, holds a fixed conversation with it through the CLAP test host, and writes what it got
// into OUTDIR: the descriptor, ports and parameters (descriptor.txt), value texts and typed values
// (texts.txt), renders in 64 and 32 bits with parameter events inside blocks (render-double.raw,
// render-float.raw: raw little-endian samples, left then right per frame) and the saved state (state.bin);
// with STATE, that state loaded and saved again (loaded-state.bin). The same source is built for Linux and
// for Windows. Exits 1 when the plug-in misbehaved, with the reasons on stderr.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host/PluginModule.h"
#include "tests/hosts/ClapInstance.h"
#include "tests/support/TestSignal.h"
#include "tests/support/Vst2Reference.h"
#include "tests/windows/CheckFiles.h"

namespace {

using namespace check_files;
using test_support::ExactText;

constexpr double kRate = 44100.0;
constexpr uint32_t kMaxFrames = 512;
constexpr int kBlocks = 160;

// The block sizes and the events of block b; plain arithmetic, so both platforms make the same.
uint32_t FramesOf(int b) { return b % 7 == 3 ? 1 + (b * 37) % kMaxFrames : kMaxFrames; }

void AddEventsOf(int b, uint32_t frames, ClapEventList& events) {
  events.Clear();
  if (b % 4 != 1) return;
  events.AddParamValue((frames * 3) / 8, b % 5, -3.0 + 0.25 * (b % 11));
  events.AddParamValue(frames / 2, 0, 300.0 + 40.0 * b);
  events.AddParamValue(frames + 5, 4, 0.125 * (b % 9) - 0.5);
}

bool MakeInstance(const PluginModule& module, const std::string& path, ClapHost& host, ClapInstance& plug) {
  const auto* entry = static_cast<const clap_plugin_entry_t*>(module.Symbol("clap_entry"));
  if (plug.Create(entry, path, host) != HostStatus::kOk) {
    Complain("cannot create the plug-in: " + plug.Error());
    return false;
  }
  if (!plug.Params() || !plug.State() || !plug.AudioPorts()) {
    Complain("the plug-in lacks the params, state or audio-ports extension");
    return false;
  }
  return true;
}

void SetUp(ClapInstance& plug) {
  ClapEventList settings;
  settings.AddParamValue(0, 0, 1733.25);
  settings.AddParamValue(0, 1, -4.5);
  settings.AddParamValue(0, 2, 7.75);
  settings.AddParamValue(0, 3, 2.125);
  settings.AddParamValue(0, 4, -6.0625);
  plug.Flush(settings);
  if (!plug.Start(kRate, kMaxFrames)) Complain("activate or start_processing failed");
}

template <class Sample>
std::vector<Sample> Render(ClapInstance& plug) {
  size_t total = 0;
  for (int b = 0; b < kBlocks; ++b) total += FramesOf(b);
  const test_support::Stereo<double> input = test_support::TestSignal(total);
  std::vector<Sample> inL(input[0].begin(), input[0].end()), inR(input[1].begin(), input[1].end());
  std::vector<Sample> outL(total), outR(total);
  ClapEventList events;
  size_t done = 0;
  for (int b = 0; b < kBlocks; ++b) {
    const uint32_t frames = FramesOf(b);
    AddEventsOf(b, frames, events);
    Sample* in[2] = {inL.data() + done, inR.data() + done};
    Sample* out[2] = {outL.data() + done, outR.data() + done};
    if (plug.Process(in, out, frames, &events) != CLAP_PROCESS_CONTINUE)
      Complain("a block was not processed");
    done += frames;
  }
  std::vector<Sample> interleaved;
  for (size_t i = 0; i < total; ++i) {
    interleaved.push_back(outL[i]);
    interleaved.push_back(outR[i]);
  }
  return interleaved;
}

std::string Describe(ClapInstance& plug) {
  const clap_plugin_descriptor_t* d = plug.Descriptor();
  std::string text = std::string("id ") + d->id + "\nname " + d->name + "\nvendor " + d->vendor +
                     "\nversion " + d->version + "\nfeatures";
  for (const char* const* f = d->features; f && *f; ++f) text += std::string(" ") + *f;
  text += "\n";
  for (bool isInput : {true, false}) {
    for (const clap_audio_port_info_t& port : plug.AudioPortInfos(isInput)) {
      text += std::string(isInput ? "input " : "output ") + std::to_string(port.id) + " " + port.name +
              " flags " + std::to_string(port.flags) + " channels " + std::to_string(port.channel_count) +
              " " + (port.port_type ? port.port_type : "-") + " pair " + std::to_string(port.in_place_pair) +
              "\n";
    }
  }
  for (const clap_param_info_t& info : plug.ParamInfos()) {
    text += "param " + std::to_string(info.id) + " " + info.name + " flags " + std::to_string(info.flags) +
            " " + ExactText(info.min_value) + " " + ExactText(info.max_value) + " " +
            ExactText(info.default_value) + "\n";
  }
  text += "latency " + std::to_string(plug.LatencySamples()) + "\n";
  return text;
}

std::string Texts(ClapInstance& plug) {
  std::string text;
  const char* typed[] = {"2000", "2000.000 Hz", " -3.5", "1e9", "0x1p4", "abc", "12.3456789"};
  for (const clap_param_info_t& info : plug.ParamInfos()) {
    for (int k = 0; k <= 8; ++k) {
      const double value = info.min_value + (info.max_value - info.min_value) * k / 8.0 + 0.000123 * k;
      std::string shown;
      plug.ValueText(info.id, value, &shown);
      text += std::to_string(info.id) + " " + ExactText(value) + " -> " + shown + "\n";
    }
    for (const char* t : typed) {
      double value = 0.0;
      const bool read = plug.TextValue(info.id, t, &value);
      text += std::to_string(info.id) + " \"" + t + "\" -> " + (read ? ExactText(value) : "refused") + "\n";
    }
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: quillmere-clap-check PLUGIN OUTDIR [STATE]\n");
    return 2;
  }
  const std::string path = argv[1], dir = argv[2];
  PluginModule module;
  if (module.Open(path) != HostStatus::kOk) {
    std::fprintf(stderr, "cannot open %s: %s\n", path.c_str(), module.Error().c_str());
    return 1;
  }
  {
    ClapHost host;
    ClapInstance plug;
    if (MakeInstance(module, path, host, plug)) {
      const std::string description = Describe(plug), texts = Texts(plug);
      Write(dir, "descriptor.txt", description);
      Write(dir, "texts.txt", texts);
      SetUp(plug);
      const std::vector<double> rendered = Render<double>(plug);
      Write(dir, "render-double.raw", rendered);
      std::vector<uint8_t> state;
      if (!plug.SaveState(&state, 1)) Complain("state.save failed");
      Write(dir, "state.bin", state);
    }
  }
  {
    ClapHost host;
    ClapInstance plug;
    if (MakeInstance(module, path, host, plug)) {
      SetUp(plug);
      const std::vector<float> rendered = Render<float>(plug);
      Write(dir, "render-float.raw", rendered);
      std::vector<uint8_t> loaded;
      if (argc > 3) {
        if (!ReadBytes(argv[3], loaded)) {
          Complain(std::string("cannot read ") + argv[3]);
        } else if (!plug.LoadState(loaded, 3)) {
          Complain("state.load refused the state given");
        } else {
          std::vector<uint8_t> again;
          if (!plug.SaveState(&again)) Complain("state.save failed after loading");
          Write(dir, "loaded-state.bin", again);
        }
      }
    }
  }
  return ReportProblems(dir);
}
