// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "IPlug/IPlugBase.h"
#include "IPlug/IPlugStateBytes.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

// IPlugInstanceInfo (IPlug/IPlugFactory.h): what an entry hands MakePlug for a new VST 3 instance. A VST 3
// instance meets its host only after creation (the context in initialize, the component handler later), so
// this carries nothing.
struct IPlugVST3InstanceInfo {};
using IPlugInstanceInfo = IPlugVST3InstanceInfo;

// The VST 3 binding of a plug-in instance: maps the component, processor and controller calls onto the core,
// and carries the plug-in's requests to the host. Vst3Effect is the object the host holds; it forwards here.
//
// The controller keeps its own view of the parameter values (what getParamNormalized answers), separate from
// the values the audio runs with: a host changes the latter only through the points it hands to process, at
// their sample offsets, and the former through setParamNormalized and setComponentState.
//
// Normalised values from the host go through 32-bit float before they reach a parameter, exactly as the
// VST 2 plug-in's setParameter receives them, and normalised values given out are rounded to float, as its
// getParameter answers: a session saved or automated through either format sets the same parameter values.
class IPlugVST3 : public IPlugBase {
 public:
  // The last argument is ignored.
  IPlugVST3(IPlugInstanceInfo info, int nParams, const char* channelIOStr, int nPresets,
            const char* effectName, const char* productName, const char* vendorName, int vendorVersion,
            int uniqueId, int vendorId, int latency, bool doesMidi, bool doesChunks, bool isInstrument,
            int reserved);
  ~IPlugVST3() override;

  void HostBeginEdit(int paramIndex) override;
  void HostAutomate(int paramIndex, double normalizedValue) override;
  void HostEndEdit(int paramIndex) override;
  void HostUpdateDisplay() override;
  bool IsOfflineRender() override;
  int HostSamplePosition() override;
  double HostTempo() override;
  void HostTimeSignature(int* numerator, int* denominator) override;
  void HostTransport(ITransportInfo* info) override;
  void ResizeEditor(int width, int height) override;
  bool SendMidiMessage(const IMidiMessage* message) override;

  // Called once after construction, when the effect has defined its parameters: builds the controller's view.
  void PrepareController();

  // Lifecycle. Each of these takes the instance lock.
  // IPluginBase::initialize: keeps the host context, learns the host's name, announces every parameter to the
  // effect (as the VST 2 plug-in's effOpen does). A second call, as a host makes for the controller side of
  // the same object, keeps the first context.
  void Connect(Steinberg::FUnknown* hostContext);
  void Disconnect();
  // Sample rate, then block size, each followed by a reset; false, with nothing changed, for a setup that
  // cannot be run (unknown sample size, rate not positive and finite, maximum block below 1).
  bool SetupProcessing(const Steinberg::Vst::ProcessSetup& setup);
  // false: suspend and reset; true: resume.
  void SetActive(bool active);
  // Processes one host call: the block in pieces that end at the parameter points' offsets.
  void Process(Steinberg::Vst::ProcessData& data);
  // The tail in frames at the present sample rate.
  int TailFrames() const;

  // State: the program chunk of the core, 48 bytes.
  Steinberg::tresult WriteState(Steinberg::IBStream* stream);
  // Loads the whole stream, all or nothing; the controller's view follows (the controller shares this call).
  Steinberg::tresult ReadState(Steinberg::IBStream* stream);
  // Sets the controller's view from a component state, leaving the values the audio runs with as they were.
  Steinberg::tresult ReadControllerState(Steinberg::IBStream* stream);

  // Controller. Parameter IDs are the parameter indices. Each takes the instance lock.
  bool IsParamId(Steinberg::Vst::ParamID id) const { return id < static_cast<unsigned>(ParamCount()); }
  bool FillParameterInfo(int index, Steinberg::Vst::ParameterInfo& info);
  double ControllerNormalized(Steinberg::Vst::ParamID id);
  bool SetControllerNormalized(Steinberg::Vst::ParamID id, double normalized);
  // The plain value (in the parameter's own unit) a parameter holds after receiving normalized.
  double PlainOf(Steinberg::Vst::ParamID id, double normalized);
  double NormalizedOfPlain(Steinberg::Vst::ParamID id, double plain);
  // The display text the plug-in shows after receiving normalized, cut as the VST 2 plug-in cuts it.
  bool DisplayText(Steinberg::Vst::ParamID id, double normalized, char* text, int textSize);
  // A typed value read as the VST 2 plug-in's text entry reads it, as the normalised value that sets it.
  bool ParseText(Steinberg::Vst::ParamID id, const char* text, double* normalized);
  void SetComponentHandler(Steinberg::Vst::IComponentHandler* handler);

 private:
  template <class Sample>
  bool ProcessStereoCallWithoutChanges(Steinberg::Vst::ProcessData& data);
  template <class Sample>
  void ProcessSampleSize(Steinberg::Vst::ProcessData& data);
  template <class Sample>
  void ProcessBuses(Steinberg::Vst::ProcessData& data, Sample** inputs, Sample** outputs);
  // The controller's view takes the values the audio runs with.
  void FollowRunningValues();
  // Reads the whole stream into mStateStream; false when it fails or is too long.
  bool ReadStateStream(Steinberg::IBStream* stream);

  bool mConnected = false;
  Steinberg::FUnknown* mHostContext = nullptr;               // held (one reference) while connected
  Steinberg::Vst::IComponentHandler* mHandler = nullptr;     // held (one reference) until replaced or gone
  const Steinberg::Vst::ProcessContext* mContext = nullptr;  // the host's, during a process call only
  Steinberg::int32 mProcessMode = Steinberg::Vst::kRealtime;
  std::unique_ptr<IPlugParam[]> mControllerParams;  // the controller's view, one per parameter
  IPlugStateStream mStateStream;                    // what getState last wrote or setState last read
};

// IPlugBinding (IPlug/IPlugFactory.h): the class the effect class derives from when it is built as a VST 3
// plug-in.
using IPlugBinding = IPlugVST3;
