// SPDX-License-Identifier: GPL-3.0-or-later
#include "HostConversation.h"

#include <cstdint>

namespace {

const int kBlockPattern[] = {512, 333, 512, 64, 1, 500, 512, 200};
constexpr int kPatternLength = sizeof kBlockPattern / sizeof kBlockPattern[0];

int BlockFrames(int block) { return kBlockPattern[block % kPatternLength]; }

// A unit phasor turned by a fixed angle per frame: (cos, sin) of 2 pi f / 44100 written out as numbers.
struct Rotor {
  double c, s, x = 1.0, y = 0.0;
  void Step() {
    const double nx = c * x - s * y;
    y = s * x + c * y;
    x = nx;
  }
};

// The host's own changes, keyed by the block before which they happen.
void ChangeParameters(VstTestHost& host, int block) {
  switch (block) {
    case 0:
      host.SetParameterText(0, "2500");
      host.SetParameter(1, 0.75f);
      host.SetParameter(2, 0.6f);
      host.SetParameterText(3, "-1.25");
      host.SetParameter(4, 0.35f);
      break;
    case 60:
      host.SetParameter(0, 0.2f);
      break;
    case 120:
      host.SetParameterText(2, "3.5");
      break;
    case 180:
      host.SetParameter(3, 0.9f);
      host.SetParameterText(4, "7");
      break;
    default:
      break;
  }
}

template <typename Sample>
void Render(VstTestHost& host, int blocks, std::vector<double>& samples) {
  const int frames = ConversationFrames(blocks);
  std::vector<double> left, right;
  MakeTestSignal(frames, left, right);
  std::vector<Sample> inL(kCheckBlockSize), inR(kCheckBlockSize), outL(kCheckBlockSize),
      outR(kCheckBlockSize);
  Sample* inputs[2] = {inL.data(), inR.data()};
  Sample* outputs[2] = {outL.data(), outR.data()};
  samples.assign(2 * static_cast<size_t>(frames), 0.0);
  int at = 0;
  for (int block = 0; block < blocks; ++block) {
    ChangeParameters(host, block);
    const int n = BlockFrames(block);
    for (int i = 0; i < n; ++i) {
      inL[i] = static_cast<Sample>(left[at + i]);
      inR[i] = static_cast<Sample>(right[at + i]);
      outL[i] = outR[i] = static_cast<Sample>(1234.5);  // must all be replaced
    }
    host.Process(inputs, outputs, n);
    for (int i = 0; i < n; ++i) {
      samples[2 * (at + i)] = outL[i];
      samples[2 * (at + i) + 1] = outR[i];
    }
    at += n;
  }
}

}  // namespace

int ConversationFrames(int blocks) {
  int frames = 0;
  for (int block = 0; block < blocks; ++block) frames += BlockFrames(block);
  return frames;
}

void MakeTestSignal(int frames, std::vector<double>& left, std::vector<double>& right) {
  Rotor low{0.9995087954669746, 0.03133955622145082};  // 220 Hz
  Rotor mid{0.9988848356101576, 0.04721318870896634};  // 331.5 Hz
  Rotor high{0.8090169943749475, 0.5877852522924731};  // 4410 Hz
  uint32_t noise = 0x2545F491u;
  left.resize(frames);
  right.resize(frames);
  for (int i = 0; i < frames; ++i) {
    noise = noise * 1664525u + 1013904223u;
    const double white = static_cast<double>(static_cast<int32_t>(noise)) / 2147483648.0;
    // A slow swell every 16384 frames keeps the level moving.
    const double swell = 0.5 + 0.5 * static_cast<double>(i % 16384) / 16384.0;
    left[i] = static_cast<float>(swell * (0.30 * low.y + 0.12 * high.x) + 0.05 * white);
    right[i] = static_cast<float>(swell * (0.25 * mid.y + 0.10 * high.y) - 0.04 * white);
    low.Step();
    mid.Step();
    high.Step();
  }
}

std::vector<float> ReadParameters(VstTestHost& host) {
  std::vector<float> values;
  for (VstInt32 i = 0; i < host.Effect()->numParams; ++i) values.push_back(host.GetParameter(i));
  return values;
}

std::string DescribeParameters(VstTestHost& host) {
  std::string text;
  for (VstInt32 i = 0; i < host.Effect()->numParams; ++i) {
    text += std::to_string(i) + "\t" + host.Text(effGetParamName, i) + "\t" +
            host.Text(effGetParamDisplay, i) + "\t" + host.Text(effGetParamLabel, i) + "\n";
  }
  return text;
}

ConversationResult RunConversation(VstTestHost& host, SampleWidth width, int blocks) {
  ConversationResult result;
  host.Start(kCheckSampleRate, kCheckBlockSize);
  if (width == SampleWidth::kFloat)
    Render<float>(host, blocks, result.samples);
  else
    Render<double>(host, blocks, result.samples);
  result.parameters = ReadParameters(host);
  result.parameterTexts = DescribeParameters(host);
  result.programChunk = host.GetChunk(false);
  result.bankChunk = host.GetChunk(true);
  return result;
}
