// SPDX-License-Identifier: GPL-3.0-or-later
// A VST 3 host: opens a bundle's module through PluginModule, reads its factory, and drives one effect
// instance (component, processor and controller, whether one object or two) the way hosts drive it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Vst3HostObjects.h"
#include "host/HostStatus.h"
#include "host/PluginModule.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

// The module inside a bundle, as hosts find it: Contents/x86_64-linux/<name>.so on Linux,
// Contents/x86_64-win/<name>.vst3 on Windows, where <name> is the bundle's name without ".vst3".
std::string Vst3ModulePath(const std::string& bundle);

// An opened VST 3 module: the module entry called, the factory held until Close.
class Vst3Module {
 public:
  Vst3Module() = default;
  ~Vst3Module() { Close(); }
  Vst3Module(const Vst3Module&) = delete;
  Vst3Module& operator=(const Vst3Module&) = delete;

  // Opens a bundle (a folder ending in .vst3) or a module file directly; calls ModuleEntry (InitDll on
  // Windows) and GetPluginFactory. kCannotLoad, kNoEntryPoint or kNoInstance (no factory), Error() tells
  // more.
  HostStatus Open(const std::string& bundleOrModule);
  // Releases the factory, calls ModuleExit (ExitDll) and unloads the module.
  void Close();

  Steinberg::IPluginFactory* Factory() const { return mFactory; }
  // The factory's newer interfaces, or null when it has not got them (no reference is added).
  Steinberg::IPluginFactory2* Factory2() const { return mFactory2; }
  Steinberg::IPluginFactory3* Factory3() const { return mFactory3; }
  const std::string& Error() const { return mError; }
  // The first class of category "Audio Module Class"; false when there is none.
  bool FindAudioEffect(Steinberg::TUID cid, std::string* name = nullptr) const;

 private:
  PluginModule mModule;
  Steinberg::IPluginFactory* mFactory = nullptr;
  Steinberg::IPluginFactory2* mFactory2 = nullptr;
  Steinberg::IPluginFactory3* mFactory3 = nullptr;
  bool mEntered = false;
  std::string mError;
};

// One effect instance. The controller is the component itself when the component offers IEditController
// (one object), else the class the component names, made by the same factory and connected to it.
class Vst3Instance {
 public:
  Vst3Instance() = default;
  ~Vst3Instance() { Close(); }
  Vst3Instance(const Vst3Instance&) = delete;
  Vst3Instance& operator=(const Vst3Instance&) = delete;

  // Creates the component of class cid and its controller, initializes both with host as context and hands
  // the controller handler. host and handler must outlive the instance.
  HostStatus Create(const Vst3Module& module, const Steinberg::TUID cid, Vst3HostApplication& host,
                    Vst3ComponentHandler& handler);
  // Ends processing, deactivates, terminates and releases everything.
  void Close();
  bool IsValid() const { return mComponent != nullptr; }
  const std::string& Error() const { return mError; }

  Steinberg::Vst::IComponent* Component() const { return mComponent; }
  Steinberg::Vst::IAudioProcessor* Processor() const { return mProcessor; }
  Steinberg::Vst::IEditController* Controller() const { return mController; }
  bool OneObject() const { return mOneObject; }

  // setupProcessing with this rate (Hz), maximum block (frames), sample size (kSample32 or kSample64) and
  // mode.
  Steinberg::tresult Setup(double sampleRate, int maxBlock, Steinberg::int32 sampleSize,
                           Steinberg::int32 processMode = Steinberg::Vst::kRealtime);
  Steinberg::tresult SetActive(bool active);
  Steinberg::tresult SetProcessing(bool processing);
  // The start sequence of hosts: the main buses' arrangements (mono or stereo, as their channel counts say),
  // setupProcessing, setActive(true), setProcessing(true).
  Steinberg::tresult Start(double sampleRate, int maxBlock, Steinberg::int32 sampleSize);
  // Channels of the main audio buses.
  int InputChannels() const { return mInputChannels; }
  int OutputChannels() const { return mOutputChannels; }

  // One process call with one buffer per channel of the main buses, with changes (may be null) as the input
  // parameter changes.
  Steinberg::tresult ProcessFloat(float** inputs, float** outputs, int frames,
                                  Steinberg::Vst::IParameterChanges* changes = nullptr);
  Steinberg::tresult ProcessDouble(double** inputs, double** outputs, int frames,
                                   Steinberg::Vst::IParameterChanges* changes = nullptr);
  // A process call with data as the caller made it (processContext filled in when null).
  Steinberg::tresult ProcessRaw(Steinberg::Vst::ProcessData& data);

  // State. GetState gives the component's bytes (empty when it fails).
  std::vector<uint8_t> GetState();
  // setState with the bytes in a stream giving at most maxBytesPerRead bytes a read (0: all asked for).
  Steinberg::tresult SetState(const std::vector<uint8_t>& bytes, int maxBytesPerRead = 0);
  Steinberg::tresult SetComponentState(const std::vector<uint8_t>& bytes);

  // Controller.
  int ParameterCount();
  bool ParameterInfo(int index, Steinberg::Vst::ParameterInfo* info);
  std::string ParameterTitle(int index);
  std::string ParameterUnits(int index);
  // getParamStringByValue as UTF-8, or "" when the plug-in gives none.
  std::string ValueText(Steinberg::Vst::ParamID id, double normalized);
  // getParamValueByString; false when the plug-in does not read the text.
  bool ValueOfText(Steinberg::Vst::ParamID id, const std::string& text, double* normalized);

 private:
  // One process call on the main buses, with the buffers the caller set in mIn and mOut.
  Steinberg::tresult ProcessBuses(Steinberg::int32 sampleSize, int frames,
                                  Steinberg::Vst::IParameterChanges* changes);

  Steinberg::Vst::IComponent* mComponent = nullptr;
  Steinberg::Vst::IAudioProcessor* mProcessor = nullptr;
  Steinberg::Vst::IEditController* mController = nullptr;
  bool mOneObject = false;
  int mInputChannels = 0;
  int mOutputChannels = 0;
  bool mActive = false;
  bool mProcessing = false;
  double mSampleRate = 44100.0;
  Steinberg::int64 mProjectTime = 0;
  Steinberg::Vst::ProcessContext mContext{};
  // The main buses' buffers and the process data, kept from call to call as hosts keep them: a call sets only
  // what changes.
  Steinberg::Vst::AudioBusBuffers mIn{};
  Steinberg::Vst::AudioBusBuffers mOut{};
  Steinberg::Vst::ProcessData mData{};
  Vst3ParameterChanges mOutputChanges;
  std::string mError;
};

// Converts a UTF-16 text of the VST 3 interface (up to its terminator, at most units) to UTF-8.
std::string Vst3Utf8(const Steinberg::char16* text, size_t units = 128);
