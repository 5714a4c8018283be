// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <climits>
#include <cmath>
#include <cstdint>

// What the plug-in is, written once for every format: the effect class hands it to its binding, the entry
// files describe the plug-in to hosts from it without building an instance, and the LV2 description generator
// writes it into the bundle. Hosts store the names and ids in their sessions: none of them ever changes.
// Needs the project version as QUILLMERE_VERSION ("1.2.3") and QUILLMERE_VERSION_MAJOR, _MINOR and _PATCH.

// Names, at most 127 bytes each: the instance keeps them whole in 128-byte fields (the effect class checks).
inline constexpr const char kPluginName[] = "Quillmere";
inline constexpr const char kPluginProductName[] = "Quillmere";
inline constexpr const char kPluginVendorName[] = "";
// The vendor the VST 3 factory, the CLAP descriptor and the LV2 description name: the product name stands in
// for an empty vendor name. VST 2 hosts ask for the vendor and the product separately and get each as it is.
inline constexpr const char* DescribedVendorName() {
  return kPluginVendorName[0] != '\0' ? kPluginVendorName : kPluginProductName;
}
// No web address or contact; fields for them are left empty.
inline constexpr const char kPluginUrl[] = "";
inline constexpr const char kPluginEmail[] = "";

// The version: as text, and packed as 0xMMMMmmpp.
inline constexpr const char kPluginVersionText[] = QUILLMERE_VERSION;
inline constexpr int32_t kPluginPackedVersion =
    (QUILLMERE_VERSION_MAJOR << 16) | (QUILLMERE_VERSION_MINOR << 8) | QUILLMERE_VERSION_PATCH;

// The ids hosts know the plug-in by: VST 2 unique and manufacturer ids, VST 3 class id, CLAP id, LV2 URI.
inline constexpr int32_t kPluginVst2UniqueId = 0x4B717A72;  // 'Kqzr'
inline constexpr int32_t kPluginManufacturerId = 0x5A5156;  // 'ZQV'
// The VST 3 class id as four 32-bit words, in the order a VST 3 class id is written.
inline constexpr uint32_t kPluginVst3ClassId[4] = {0x324D7D68, 0x797B5D63, 0x47B28233, 0xF53FC2B5};
inline constexpr const char kPluginClapId[] = "org.quillmere.quillmere";
inline constexpr const char kPluginLv2Uri[] = "urn:quillmere:quillmere";

// What kind of plug-in it is: an effect (VST 2 category effect, not a synth), no MIDI, no presets of its own
// (hosts see one program), state kept as parameter values rather than declared chunks.
inline constexpr bool kPluginIsInstrument = false;
inline constexpr bool kPluginTakesMidi = false;
inline constexpr int kPluginPresetCount = 0;
inline constexpr bool kPluginDeclaresChunks = false;
// The categories each format's hosts file it under.
inline constexpr const char kPluginVst3SubCategories[] = "Fx|Spatial";
inline constexpr const char* const kPluginClapFeatures[] = {"audio-effect", "stereo", nullptr};
inline constexpr const char kPluginLv2Class[] = "SpatialPlugin";  // in the LV2 core vocabulary

// Two inputs and two outputs, as the channel I/O text the plug-in core reads.
inline constexpr int kPluginInputs = 2;
inline constexpr int kPluginOutputs = 2;
inline constexpr const char kPluginChannelIO[] = "2-2";
static_assert(kPluginChannelIO[0] == '0' + kPluginInputs && kPluginChannelIO[1] == '-' &&
                  kPluginChannelIO[2] == '0' + kPluginOutputs && kPluginChannelIO[3] == '\0',
              "the channel I/O text names the channel counts");

inline constexpr int kPluginLatencyFrames = 0;

// The tail: the effect's impulse response falls 120 dB below its peak within this many frames at every sample
// rate and setting (lowest split and highest Q included). The fixed pre-filter rings for a number of frames,
// the band filters for a time in seconds.
inline constexpr double kPluginTailSeconds = 0.4;
inline constexpr int kPluginTailFixedFrames = 10000;

// The tail in frames at sampleRate (Hz), as every format that reports a tail reports it; INT_MAX at most.
inline int PluginTailFrames(double sampleRate) {
  const double frames = std::ceil(kPluginTailSeconds * sampleRate) + kPluginTailFixedFrames;
  return frames < static_cast<double>(INT_MAX) ? static_cast<int>(frames) : INT_MAX;
}

// The state a host may hand back is at most this many bytes; a longer stream is not the plug-in's and is
// refused whole before it could exhaust memory.
inline constexpr int kPluginStateSizeCap = 1 << 16;
