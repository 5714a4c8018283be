// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "tests/support/Vst2Reference.h"

// The fixed conversation the check host holds with a plug-in, the same on every platform, and what it yields.

// One instance made through an entry point with a host of its own, which answers the vendor "Quillmere", the
// product "QuillmereCheck" and the vendor version 0x10000.
struct CheckInstance {
  explicit CheckInstance(VstPluginMainProc entry);

  // What makes the instance unusable as a stereo effect with Quillmere's parameters, or "" when nothing does.
  std::string Problem() const;

  test_support::Vst2Reference plug;
};

enum class SampleWidth { kFloat, kDouble };

struct ConversationResult {
  std::vector<double> samples;  // interleaved left, right; float-path samples are held exactly
  std::vector<unsigned char> programChunk;
  std::vector<unsigned char> bankChunk;
  std::vector<float> parameters;  // normalised values after the last block
  std::string parameterTexts;     // one line per parameter: index, name, display, label
};

constexpr float kCheckSampleRate = 44100.0f;
constexpr int kCheckBlockSize = 512;
constexpr int kCheckBlocks = 240;

// Frames the conversation renders in its first blocks blocks.
int ConversationFrames(int blocks);

// Starts the instance at 44100 Hz with 512-frame blocks, sets parameters by value and by text, renders blocks
// blocks of varying size with parameter changes between some of them, then reads back parameters, their texts
// and both chunks.
ConversationResult RunConversation(Vst2Instance& plug, SampleWidth width, int blocks);

// Parameter values and texts as RunConversation reports them.
std::vector<float> ReadParameters(Vst2Instance& plug);
std::string DescribeParameters(Vst2Instance& plug);
