// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/HostIdentification.h"

#include <cctype>
#include <cstring>

namespace {

struct HostKeyWord {
  const char* mWord;
  EHostId mId;
};

// Searched in this order: the first key word found anywhere in the lower-cased text decides.
constexpr HostKeyWord kHostKeyWords[] = {
    {"cubase", kAppCubase},
    {"reaper", kAppReaper},
    {"nuendo", kAppNuendo},
    {"cakewalk", kAppSonar},
    {"samplitude", kAppSamplitude},
    {"fruity", kAppFLStudio},
    {"live", kAppLive},
    {"melodyne", kAppMelodyne},
    {"vstmanlib", kAppVSTScanner},
    {"aulab", kAppAULab},
    {"garageband", kAppGarageBand},
    {"forte", kAppForte},
    {"chainer", kAppChainer},
    {"audition", kAppAudition},
    {"orion", kAppOrion},
    {"sawstudio", kAppSAWStudio},
    {"logic", kAppLogic},
    {"digital", kAppDigitalPerformer},
    {"audiomulch", kAppAudioMulch},
    {"presonus", kAppStudioOne},
    {"vst3plugintesthost", kAppVST3TestHost},
    {"protools", kAppProTools},
    {"ardour", kAppArdour},
    {"standalone", kAppStandalone},
};

}  // namespace

EHostId FindHostId(const char* productText) {
  char lower[kHostProductTextSize];
  ToLowerCopy(lower, productText, kHostProductTextSize);
  for (const HostKeyWord& key : kHostKeyWords) {
    if (std::strstr(lower, key.mWord)) return key.mId;
  }
  return kAppUnknown;
}

void ToLowerCopy(char* dest, const char* source, int destSize) {
  if (!dest || destSize < 1) return;
  int i = 0;
  if (source) {
    for (; i < destSize - 1 && source[i]; ++i) {
      dest[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(source[i])));
    }
  }
  dest[i] = '\0';
}

void SplitVersion(int32_t packed, int* major, int* minor, int* patch) {
  const uint32_t bits = static_cast<uint32_t>(packed);
  *major = static_cast<int>(bits >> 16);
  *minor = static_cast<int>((bits >> 8) & 0xFF);
  *patch = static_cast<int>(bits & 0xFF);
}

int VersionAsDecimal(int32_t packed) {
  int major = 0, minor = 0, patch = 0;
  SplitVersion(packed, &major, &minor, &patch);
  return major * 10000 + minor * 100 + patch;
}
