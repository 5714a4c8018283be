// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

enum EHostId : int32_t {
  kAppNotAsked = -1,
  kAppUnknown = 0,
  kAppReaper = 1,
  kAppProTools = 2,
  kAppCubase = 3,
  kAppNuendo = 4,
  kAppSonar = 5,
  kAppFLStudio = 7,
  kAppSamplitude = 8,
  kAppLive = 9,
  kAppMelodyne = 12,
  kAppVSTScanner = 13,
  kAppAULab = 14,
  kAppForte = 15,
  kAppChainer = 16,
  kAppAudition = 17,
  kAppOrion = 18,
  kAppSAWStudio = 20,
  kAppLogic = 21,
  kAppGarageBand = 22,
  kAppDigitalPerformer = 23,
  kAppStandalone = 24,
  kAppAudioMulch = 25,
  kAppStudioOne = 26,
  kAppVST3TestHost = 27,
  kAppArdour = 28,
};

// Room for a host product text of 255 characters and the terminator.
constexpr int kHostProductTextSize = 256;

// Identifies a host from its product text by ordered, case-blind key-word search; kAppUnknown when none matches.
EHostId FindHostId(const char* productText);
// Copies source lower-cased (C library conversion) into dest and terminates it; dest holds destSize bytes.
void ToLowerCopy(char* dest, const char* source, int destSize);
// Packed versions are 0xMMMMmmpp.
void SplitVersion(int32_t packed, int* major, int* minor, int* patch);
int VersionAsDecimal(int32_t packed);
