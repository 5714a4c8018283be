// SPDX-License-Identifier: GPL-3.0-or-later
#include "Renderer.h"

#include <sndfile.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <utility>

#include "AudioFileReader.h"
#include "AudioFileWriter.h"
#include "DemoSignal.h"
#include "Presets.h"
#include "RenderError.h"
#include "StandardError.h"
#include "TemporaryFile.h"
#include "host/PluginModule.h"
#include "host/Vst2HostCallback.h"
#include "host/Vst2Instance.h"

#ifndef QUILLMERE_PLUGIN_FILE_NAME
#define QUILLMERE_PLUGIN_FILE_NAME "Quillmere.so"
#endif
#ifndef QUILLMERE_RENDER_VERSION_NUMBER
#define QUILLMERE_RENDER_VERSION_NUMBER 100
#endif

std::atomic<bool> Renderer::sStopRequested{false};

namespace {

bool IsFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

constexpr int kMaxChannels = 256;

// True when text starts with a number as strtod reads one; the renderer keeps the "C" locale throughout.
bool StartsWithNumber(const std::string& text) {
  char* end = nullptr;
  std::strtod(text.c_str(), &end);
  return end != text.c_str();
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// True when shown, a display text such as "100.000", shows value to its own number of decimals.
bool ShowsValue(const std::string& shown, double value) {
  char* end = nullptr;
  const double number = std::strtod(shown.c_str(), &end);
  if (end == shown.c_str()) return true;  // not a number: nothing to compare
  if (!std::isfinite(value)) return number == value;
  const auto point = shown.find('.');
  int decimals = 0;
  if (point != std::string::npos)
    while (point + 1 + decimals < shown.size() &&
           std::isdigit(static_cast<unsigned char>(shown[point + 1 + decimals])))
      ++decimals;
  const double tolerance = 0.5 * std::pow(10.0, -decimals) + 1e-9 * std::max(1.0, std::fabs(value));
  return std::fabs(number - value) <= tolerance;
}

// A batch never writes over one of its inputs, whichever file it renders.
void CheckNotAnInput(const std::string& output, const std::vector<std::string>& inputs) {
  struct stat target {};
  if (stat(output.c_str(), &target) != 0) return;
  for (const std::string& input : inputs) {
    struct stat st {};
    if (stat(input.c_str(), &st) == 0 && st.st_dev == target.st_dev && st.st_ino == target.st_ino)
      throw RenderError(output + " is an input file; choose another --output-dir");
  }
}

std::vector<uint8_t> ReadStateFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw RenderError("cannot read state file " + path);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw RenderError("cannot read state file " + path);
  if (bytes.empty()) throw RenderError("state file " + path + " is empty");
  return bytes;
}

}  // namespace

// The effect as a render holds it; declared in this order so that the instance closes before its host and its
// module go.
struct Renderer::LoadedEffect {
  explicit LoadedEffect(Vst2HostAnswers answers) : host(std::move(answers), false) {}
  PluginModule ownModule;
  Vst2HostCallback host;
  Vst2Instance effect;
};

Renderer::Renderer(const RenderOptions& options, const BatchPart* batch) : mOptions(options), mBatch(batch) {}

void Renderer::RequestStop() { sStopRequested.store(true); }

std::string Renderer::DefaultPluginPath() {
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (length > 0) {
    std::string folder(self, static_cast<size_t>(length));
    folder = folder.substr(0, folder.find_last_of('/') + 1);
    if (IsFile(folder + QUILLMERE_PLUGIN_FILE_NAME)) return folder + QUILLMERE_PLUGIN_FILE_NAME;
    // Installed: bin/quillmere-render and lib/vst/Quillmere.so under one prefix.
    const std::string installed = folder + "../lib/vst/" + QUILLMERE_PLUGIN_FILE_NAME;
    if (IsFile(installed)) return installed;
  }
#ifdef QUILLMERE_PLUGIN_BUILD_PATH
  if (IsFile(QUILLMERE_PLUGIN_BUILD_PATH)) return QUILLMERE_PLUGIN_BUILD_PATH;
#endif
  throw RenderError(
      std::string("found no ") + QUILLMERE_PLUGIN_FILE_NAME +
      " beside quillmere-render, in ../lib/vst or in the build tree; build it or pass --plugin PATH");
}

void Renderer::Run() {
  const bool demo = mOptions.mInput.empty() && !mOptions.mListParams;
  // The demo replaces its own earlier output.
  mReplaceOutput = mOptions.mForce || demo;

  // Everything that can be checked before the effect is loaded is checked first.
  std::unique_ptr<SignalSource> source;
  int inputFormat = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
  if (!mOptions.mInput.empty()) {
    auto reader = std::make_unique<AudioFileReader>(mOptions.mInput);
    inputFormat = reader->Format();
    source = std::move(reader);
  } else if (demo) {
    source = std::make_unique<DemoSignal>();
  }
  int outputFormat = 0;
  if (source) {
    outputFormat = AudioFileWriter::ChooseFormat(mOptions.mOutput, inputFormat, mOptions.mFormat);
    if (mBatch != nullptr) CheckNotAnInput(mOptions.mOutput, mBatch->mProtectedPaths);
    TemporaryFile::CheckDestination(mOptions.mOutput, mReplaceOutput, mOptions.mInput);
  }
  if (!mOptions.mSaveState.empty()) {
    if (!mOptions.mOutput.empty() && mOptions.mSaveState == mOptions.mOutput)
      throw RenderError("--save-state and OUTPUT name the same file", RenderError::kUsage);
    TemporaryFile::CheckDestination(mOptions.mSaveState, mOptions.mForce, mOptions.mInput);
  }
  std::vector<uint8_t> loadedState;
  if (!mOptions.mLoadState.empty()) loadedState = ReadStateFile(mOptions.mLoadState);

  const double sampleRate = source ? source->SampleRate() : 44100.0;
  LoadedEffect loaded(HostAnswers(sampleRate));
  const bool doublePrecision = Prepare(loaded, sampleRate, loadedState);
  Vst2Instance& effect = loaded.effect;
  // In a batch the values were shown once, before the first file.
  ApplySettings(effect, mBatch == nullptr);

  std::vector<uint8_t> state;
  if (!mOptions.mSaveState.empty()) {
    state = effect.GetChunk(Vst2Chunk::kProgram);
    if (state.empty()) throw RenderError("plug-in " + mPluginPath + " gave no program state to save");
  }
  if (mOptions.mListParams) {
    ListParams(effect);
    if (!state.empty()) WriteState(state);
    return;
  }
  Render(effect, *source, doublePrecision, outputFormat, state);
}

void Renderer::CheckSettings() {
  std::vector<uint8_t> loadedState;
  if (!mOptions.mLoadState.empty()) loadedState = ReadStateFile(mOptions.mLoadState);
  const double sampleRate = 44100.0;
  LoadedEffect loaded(HostAnswers(sampleRate));
  Prepare(loaded, sampleRate, loadedState);
  ApplySettings(loaded.effect, true);
}

bool Renderer::Prepare(LoadedEffect& loaded, double sampleRate, const std::vector<uint8_t>& loadedState) {
  OpenModule(loaded.ownModule);
  LoadEffect(loaded.host, loaded.effect);
  OpenEffect(loaded.effect, sampleRate);
  Vst2Instance& effect = loaded.effect;
  const bool doublePrecision = mOptions.mPrecision != EPrecision::kFloat && effect.CanProcessDouble();
  if (mOptions.mPrecision == EPrecision::kDouble && !effect.CanProcessDouble())
    throw RenderError("plug-in " + mPluginPath + " has no 64-bit processing; use --precision float");
  if (!loadedState.empty() && effect.SetChunk(Vst2Chunk::kProgram, loadedState) == 0)
    throw RenderError("plug-in " + mPluginPath + " rejected the state in " + mOptions.mLoadState);
  if (!mOptions.mPreset.empty()) ApplyPreset(effect, mOptions.mPreset, mPluginPath);
  return doublePrecision;
}

Vst2HostAnswers Renderer::HostAnswers(double sampleRate) const {
  Vst2HostAnswers answers;
  answers.mProduct = "quillmere-render";
  answers.mVendorVersion = QUILLMERE_RENDER_VERSION_NUMBER;
  answers.mSampleRate = sampleRate;
  answers.mBlockSize = mOptions.mBlockSize;
  answers.mProcessLevel = kVstProcessLevelOffline;
  return answers;
}

void Renderer::OpenModule(PluginModule& own) {
  if (mBatch != nullptr) {
    mPluginPath = mBatch->mPluginPath;
    mModule = mBatch->mModule;
    return;
  }
  mPluginPath = mOptions.mPluginPath.empty() ? DefaultPluginPath() : mOptions.mPluginPath;
  if (own.Open(mPluginPath) != HostStatus::kOk)
    throw RenderError("cannot load plug-in " + mPluginPath + ": " + own.Error());
  mModule = &own;
}

void Renderer::LoadEffect(Vst2HostCallback& host, Vst2Instance& effect) {
  const VstPluginMainProc entry = FindVst2Entry(*mModule);
  if (entry == nullptr)
    throw RenderError("plug-in " + mPluginPath + " exports no VSTPluginMain or main entry point");
  const std::string bad = "plug-in " + mPluginPath + " returned a bad effect descriptor: ";
  const HostStatus status = effect.Create(entry, host);
  if (status == HostStatus::kNoInstance)
    throw RenderError("plug-in " + mPluginPath + " made no effect instance");
  if (status != HostStatus::kOk) throw RenderError(bad + effect.Error());
  const std::string fault = effect.DescriptorFault();
  if (!fault.empty()) {
    effect.Close();
    throw RenderError(bad + fault);
  }
}

void Renderer::OpenEffect(Vst2Instance& effect, double sampleRate) {
  effect.Open();
  // Channel counts are read after effOpen, where an effect may still settle them.
  const int inputs = effect.Inputs();
  const int outputs = effect.Outputs();
  if (inputs > kMaxChannels || outputs > kMaxChannels)
    throw RenderError("plug-in " + mPluginPath + " returned a bad effect descriptor: " +
                      std::to_string(inputs) + " inputs and " + std::to_string(outputs) + " outputs");
  if (inputs < 2 || outputs < 2)
    throw RenderError("plug-in " + mPluginPath + " is not a stereo effect: it has " + std::to_string(inputs) +
                      (inputs == 1 ? " input and " : " inputs and ") + std::to_string(outputs) +
                      (outputs == 1 ? " output" : " outputs"));
  effect.SetSampleRate(sampleRate);
  effect.SetBlockSize(mOptions.mBlockSize);
}

void Renderer::ApplySettings(Vst2Instance& effect, bool report) {
  std::vector<int> changed;  // parameter indexes in the order they were first set
  for (const ParamSetting& setting : mOptions.mSettings) {
    int index = setting.mIndex;
    if (setting.mNormalized) {
      if (index >= effect.ParameterCount())
        throw RenderError("no parameter " + std::to_string(index) + " (the plug-in has " +
                          std::to_string(effect.ParameterCount()) + ", see --list-params)");
      effect.SetParameter(index, static_cast<float>(setting.mValue));
    } else {
      index = effect.FindParameter(setting.mName);
      if (index < 0) throw RenderError("no parameter named \"" + setting.mName + "\" (see --list-params)");
      // A parameter shown as a number reads its value text as one; a text without a number would silently set
      // its lowest value. Parameters shown as words take whatever texts the plug-in accepts.
      if (StartsWithNumber(effect.ParameterDisplay(index)) && !StartsWithNumber(setting.mText))
        throw RenderError("--set \"" + setting.mName + "=" + setting.mText + "\": \"" + setting.mText +
                              "\" is not a number",
                          RenderError::kUsage);
      if (effect.SetParameterText(index, setting.mText) == 0)
        throw RenderError("the plug-in rejected \"" + setting.mText + "\" as a value of \"" + setting.mName +
                          "\" (--set-normalized " + std::to_string(index) + "=X sets it directly)");
      if (report) WarnAboutPartlyReadText(effect, index, setting);
    }
    if (std::find(changed.begin(), changed.end(), index) == changed.end()) changed.push_back(index);
  }
  // The parameter list shows every value anyway.
  if (!report || mOptions.mListParams || mOptions.mQuiet) return;
  for (int index : changed) {
    const std::string label = effect.ParameterLabel(index);
    std::printf("%s = %s%s%s\n", effect.ParameterName(index).c_str(), effect.ParameterDisplay(index).c_str(),
                label.empty() ? "" : " ", label.c_str());
  }
  std::fflush(stdout);
}

// Plug-ins read the number a value text starts with and clamp it to the range, silently: "2 kHz" sets the
// lowest frequency. Said in one line when the text goes on with something other than the parameter's unit, or
// when the value set is not the number given and lies at an end of the range.
void Renderer::WarnAboutPartlyReadText(Vst2Instance& effect, int index, const ParamSetting& setting) {
  const std::string shown = effect.ParameterDisplay(index);
  if (!StartsWithNumber(shown)) return;
  char* end = nullptr;
  const double asked = std::strtod(setting.mText.c_str(), &end);
  const std::string number = Trim(setting.mText.substr(0, static_cast<size_t>(end - setting.mText.c_str())));
  const std::string rest = Trim(end);
  const std::string unit = Trim(effect.ParameterLabel(index));
  std::string problems;
  if (!rest.empty() && !SameIgnoringCase(rest, unit))
    problems = unit.empty()
                   ? "\"" + rest + "\" after the number was ignored (the parameter has no unit)"
                   : "\"" + rest + "\" after the number is not the unit " + unit + " and was ignored";
  const float normalized = effect.GetParameter(index);
  if (!ShowsValue(shown, asked) && (normalized <= 1e-6f || normalized >= 1.0f - 1e-6f))
    problems += (problems.empty() ? "" : ", and ") + number + " is outside the range";
  if (problems.empty()) return;
  std::fprintf(MessageStream(), "quillmere-render: warning: --set \"%s=%s\": %s; set %s%s%s\n",
               setting.mName.c_str(), setting.mText.c_str(), problems.c_str(), shown.c_str(),
               unit.empty() ? "" : " ", unit.c_str());
}

void Renderer::ListParams(Vst2Instance& effect) {
  struct Row {
    std::string index, name, display, label, normalized;
  };
  std::vector<Row> rows{{"#", "Name", "Value", "Unit", "Normalized"}};
  for (int i = 0; i < effect.ParameterCount(); ++i) {
    char normalized[32];
    std::snprintf(normalized, sizeof(normalized), "%.6f", effect.GetParameter(i));
    rows.push_back({std::to_string(i), effect.ParameterName(i), effect.ParameterDisplay(i),
                    effect.ParameterLabel(i), normalized});
  }
  size_t width[4] = {};
  for (const Row& row : rows) {
    width[0] = std::max(width[0], row.index.size());
    width[1] = std::max(width[1], row.name.size());
    width[2] = std::max(width[2], row.display.size());
    width[3] = std::max(width[3], row.label.size());
  }
  for (const Row& row : rows)
    std::printf("%*s  %-*s  %*s  %-*s  %s\n", static_cast<int>(width[0]), row.index.c_str(),
                static_cast<int>(width[1]), row.name.c_str(), static_cast<int>(width[2]), row.display.c_str(),
                static_cast<int>(width[3]), row.label.c_str(), row.normalized.c_str());
  std::fflush(stdout);
}

void Renderer::WriteState(const std::vector<uint8_t>& state) {
  TemporaryFile file(mOptions.mSaveState, mOptions.mForce, mOptions.mInput);
  file.WriteAll(state.data(), state.size());
  file.Commit();
}

void Renderer::Render(Vst2Instance& effect, SignalSource& source, bool doublePrecision, int outputFormat,
                      const std::vector<uint8_t>& state) {
  const int block = mOptions.mBlockSize;
  const int inChannels = source.Channels();
  const int effectInputs = effect.Inputs();
  const int effectOutputs = effect.Outputs();

  std::unique_ptr<TemporaryFile> stateFile;
  if (!state.empty()) {
    stateFile = std::make_unique<TemporaryFile>(mOptions.mSaveState, mOptions.mForce, mOptions.mInput);
    stateFile->WriteAll(state.data(), state.size());
  }
  AudioFileWriter writer(mOptions.mOutput, outputFormat, static_cast<int>(source.SampleRate()), 2,
                         mReplaceOutput, mOptions.mInput);

  std::vector<double> interleavedIn(static_cast<size_t>(block) * inChannels);
  std::vector<double> interleavedOut(static_cast<size_t>(block) * 2);
  // Inputs beyond the first two (side chains) get silence; outputs beyond two are dropped.
  std::vector<std::vector<double>> doubleIn(effectInputs, std::vector<double>(block));
  std::vector<std::vector<double>> doubleOut(effectOutputs, std::vector<double>(block));
  std::vector<std::vector<float>> floatIn(effectInputs, std::vector<float>(block));
  std::vector<std::vector<float>> floatOut(effectOutputs, std::vector<float>(block));
  std::vector<double*> doubleInPtr, doubleOutPtr;
  std::vector<float*> floatInPtr, floatOutPtr;
  for (auto& v : doubleIn) doubleInPtr.push_back(v.data());
  for (auto& v : doubleOut) doubleOutPtr.push_back(v.data());
  for (auto& v : floatIn) floatInPtr.push_back(v.data());
  for (auto& v : floatOut) floatOutPtr.push_back(v.data());

  ProgressPrinter progress(source.Frames(), source.SampleRate(), !mOptions.mQuiet && mBatch == nullptr);
  RenderSummary summary;
  summary.mOutputPath = mOptions.mOutput;
  summary.mSampleRate = source.SampleRate();
  summary.mDoublePrecision = doublePrecision;

  const auto start = std::chrono::steady_clock::now();
  effect.Resume();
  for (;;) {
    if (sStopRequested.load()) {
      progress.Finish();
      throw RenderError("interrupted; nothing was written");
    }
    const int frames = source.Read(interleavedIn.data(), block);
    if (frames == 0) break;

    for (int i = 0; i < frames; ++i) {
      const double left = interleavedIn[static_cast<size_t>(i) * inChannels];
      const double right = inChannels == 2 ? interleavedIn[static_cast<size_t>(i) * 2 + 1] : left;
      summary.mInputPeak = std::max({summary.mInputPeak, std::fabs(left), std::fabs(right)});
      doubleIn[0][i] = left;
      doubleIn[1][i] = right;
    }
    if (doublePrecision) {
      effect.ProcessDouble(doubleInPtr.data(), doubleOutPtr.data(), frames);
    } else {
      for (int c = 0; c < 2; ++c)
        for (int i = 0; i < frames; ++i) floatIn[c][i] = static_cast<float>(doubleIn[c][i]);
      effect.ProcessFloat(floatInPtr.data(), floatOutPtr.data(), frames);
      for (int c = 0; c < 2; ++c)
        for (int i = 0; i < frames; ++i) doubleOut[c][i] = floatOut[c][i];
    }
    for (int i = 0; i < frames; ++i) {
      for (int c = 0; c < 2; ++c) {
        const double sample = doubleOut[c][i];
        if (!std::isfinite(sample)) {
          progress.Finish();
          throw RenderError("plug-in " + mPluginPath + " produced a non-finite sample at frame " +
                            std::to_string(summary.mFrames + i) + "; nothing was written");
        }
        summary.mOutputPeak = std::max(summary.mOutputPeak, std::fabs(sample));
        interleavedOut[static_cast<size_t>(i) * 2 + c] = sample;
      }
    }
    writer.Write(interleavedOut.data(), frames);
    summary.mFrames += frames;
    progress.Update(summary.mFrames);
  }
  effect.Suspend();
  progress.Finish();
  // A stop that arrived during the last block still leaves nothing behind.
  if (sStopRequested.load()) throw RenderError("interrupted; nothing was written");

  writer.Commit();
  if (stateFile) stateFile->Commit();
  summary.mSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  mSummary = summary;
  // A batch prints the summaries itself, between its progress bar's redraws.
  if (mOptions.mQuiet || mBatch != nullptr) return;
  std::printf("%s\n", ProgressPrinter::FormatSummary(summary).c_str());
  std::fflush(stdout);
}
