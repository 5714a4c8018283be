// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/hosts/StereoPlugins.h"

std::string StereoVst2::Load(const std::string& path) {
  module.Keep();
  if (module.Open(path) != HostStatus::kOk) return "cannot open " + path + ": " + module.Error();
  if (instance.Create(FindVst2Entry(module), host) != HostStatus::kOk)
    return "no VST 2 instance: " + instance.Error();
  return "";
}

std::string StereoClap::Load(const std::string& path) {
  module.Keep();
  if (module.Open(path) != HostStatus::kOk) return "cannot open " + path + ": " + module.Error();
  const auto* entry = static_cast<const clap_plugin_entry_t*>(module.Symbol("clap_entry"));
  if (instance.Create(entry, path, host) != HostStatus::kOk) return "no CLAP plug-in: " + instance.Error();
  return "";
}

std::string StereoVst3::Load(const std::string& bundle, double sampleRate, int maxBlock,
                             Steinberg::int32 sampleSize) {
  Steinberg::TUID cid;
  if (mModule.Open(bundle) != HostStatus::kOk) return "cannot open " + bundle + ": " + mModule.Error();
  if (!mModule.FindAudioEffect(cid)) return "no audio effect in " + bundle;
  for (mCount = 0; mCount < 2; ++mCount) {
    Vst3Instance& instance = mInstances[mCount];
    if (instance.Create(mModule, cid, mApplication, mHandler) != HostStatus::kOk)
      return "no VST 3 instance: " + instance.Error();
    if (instance.Start(sampleRate, maxBlock, sampleSize) != Steinberg::kResultOk)
      return "the VST 3 instance does not start: " + instance.Error();
    if (instance.InputChannels() == 2) {
      ++mCount;
      break;
    }
  }
  return "";
}

std::string StereoLv2::Load(const std::string& bundle, const std::string& uri, double sampleRate,
                            int maxBlock, const std::vector<std::pair<std::string, float>>& controls) {
  if (bundle.empty()) {
    host.LoadInstalled();
  } else if (!host.LoadBundle(bundle)) {
    return "cannot read the bundle " + bundle;
  }
  if (!host.Instantiate(uri, sampleRate, {true, maxBlock}))
    return "cannot instantiate " + uri + ": " + host.Error();
  if (host.AudioInputs().size() != 2 || host.AudioOutputs().size() != 2) return uri + " is not stereo";
  for (const auto& [symbol, value] : controls) host.SetControl(symbol, value);
  host.Activate();
  return "";
}
