// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/clap/ClapTestSupport.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

namespace clap_test {

std::string ClapSubject::Load(const std::string& path) {
  if (module.Open(path) != HostStatus::kOk) return "cannot open " + path + ": " + module.Error();
  const auto* entry = static_cast<const clap_plugin_entry_t*>(module.Symbol("clap_entry"));
  if (instance.Create(entry, path, host) != HostStatus::kOk)
    return "cannot create the plug-in: " + instance.Error();
  return "";
}

std::string Vst2Subject::Load(const std::string& path) {
  if (module.Open(path) != HostStatus::kOk) return "cannot open " + path + ": " + module.Error();
  if (instance.Create(FindVst2Entry(module), host) != HostStatus::kOk)
    return "no VST 2 instance: " + instance.Error();
  return "";
}

std::string ExactText(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

void Apply(Vst2Instance& vst2, const std::vector<Setting>& settings) {
  for (const Setting& s : settings) vst2.SetParameterText(static_cast<int>(s.id), ExactText(s.value));
}

void AddEvents(ClapEventList& events, const std::vector<Setting>& settings, uint32_t time) {
  for (const Setting& s : settings) events.AddParamValue(time, s.id, s.value);
}

Signal::Signal(size_t frames, uint32_t seed) : left(frames), right(frames) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> noise(-0.3, 0.3);
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i);
    left[i] = static_cast<float>(noise(random) + 0.4 * std::sin(0.013 * t));
    right[i] = static_cast<float>(noise(random) + 0.4 * std::sin(0.0021 * t + 1.0));
  }
}

std::vector<float> Signal::Float(int channel) const {
  const std::vector<double>& source = channel == 0 ? left : right;
  return std::vector<float>(source.begin(), source.end());
}

template <class Sample>
size_t SameBitsUpTo(const std::vector<Sample>& a, const std::vector<Sample>& b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i)
    if (std::memcmp(&a[i], &b[i], sizeof(Sample)) != 0) return i;
  return n;
}

template size_t SameBitsUpTo<float>(const std::vector<float>&, const std::vector<float>&);
template size_t SameBitsUpTo<double>(const std::vector<double>&, const std::vector<double>&);

}  // namespace clap_test
