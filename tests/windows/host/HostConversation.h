// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "VstTestHost.h"

// The fixed conversation the check host holds with a plug-in, the same on every platform, and what it yields.

enum class SampleWidth { kFloat, kDouble };

struct ConversationResult {
  std::vector<double> samples;  // interleaved left, right; float-path samples are held exactly
  std::vector<unsigned char> programChunk;
  std::vector<unsigned char> bankChunk;
  std::vector<float> parameters;  // normalised values after the last block
  std::string parameterTexts;     // one line per parameter: index, name, display, label
};

constexpr float kCheckSampleRate = 44100.0f;
constexpr VstInt32 kCheckBlockSize = 512;
constexpr int kCheckBlocks = 240;

// Frames the conversation renders in its first blocks blocks.
int ConversationFrames(int blocks);

// A deterministic stereo input built from plain arithmetic only (no sine or cosine calls), so every platform
// makes the same bits; the samples are rounded to float so both sample widths see the same signal.
void MakeTestSignal(int frames, std::vector<double>& left, std::vector<double>& right);

// Starts the instance at 44100 Hz with 512-frame blocks, sets parameters by value and by text, renders blocks
// blocks of varying size with parameter changes between some of them, then reads back parameters, their texts
// and both chunks.
ConversationResult RunConversation(VstTestHost& host, SampleWidth width, int blocks);

// Parameter values and texts as RunConversation reports them.
std::vector<float> ReadParameters(VstTestHost& host);
std::string DescribeParameters(VstTestHost& host);
