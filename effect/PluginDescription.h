// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// What the plug-in is, once for every format: the entry files, the bindings and the LV2 description generator
// read this header. The ids are stored by hosts in their sessions and never change.

inline constexpr const char kPluginName[] = "Quillmere";
inline constexpr const char kPluginProductName[] = "Quillmere";
// Empty: hosts are shown the product name in its place.
inline constexpr const char kPluginVendorName[] = "";
// What hosts show as the vendor.
inline constexpr const char* ShownVendorName() {
  return kPluginVendorName[0] != '\0' ? kPluginVendorName : kPluginProductName;
}

// Packed as 0xMMMMmmpp from the project version.
inline constexpr int32_t kPluginPackedVersion =
    (QUILLMERE_VERSION_MAJOR << 16) | (QUILLMERE_VERSION_MINOR << 8) | QUILLMERE_VERSION_PATCH;
inline constexpr int32_t kPluginVst2UniqueId = 0x4B717A72;  // 'Kqzr'
inline constexpr int32_t kPluginManufacturerId = 0x5A5156;  // 'ZQV'
// The VST 3 class id as four 32-bit words.
inline constexpr uint32_t kPluginVst3ClassId[4] = {0x324D7D68, 0x797B5D63, 0x47B28233, 0xF53FC2B5};
inline constexpr const char kPluginVst3SubCategories[] = "Fx|Spatial";
inline constexpr const char kPluginClapId[] = "org.quillmere.quillmere";
inline constexpr const char kPluginLv2Uri[] = "urn:quillmere:quillmere";

// Two inputs, two outputs.
inline constexpr const char kPluginChannelIO[] = "2-2";
inline constexpr int kPluginLatencyFrames = 0;

// The tail after the input falls silent: 0.4 s plus 10000 frames.
inline constexpr double kPluginTailSeconds = 0.4;
inline constexpr int kPluginTailFixedFrames = 10000;

// The state a host may hand back is at most this many bytes; a longer stream is refused whole.
inline constexpr int kStateSizeCap = 1 << 16;
