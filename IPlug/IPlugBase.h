// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include "IPlug/HostIdentification.h"
#include "IPlug/IChannelConfig.h"
#include "IPlug/IChannelConnection.h"
#include "IPlug/IMidiMessage.h"
#include "IPlug/IPlugEditor.h"
#include "IPlug/IPlugMutex.h"
#include "IPlug/IPlugParam.h"
#include "IPlug/IPlugPreset.h"
#include "IPlug/IPtrList.h"
#include "IPlug/IStateChunk.h"
#include "IPlug/ITransportInfo.h"
#include "IPlug/ITypedBuffer.h"

enum EPlugApi : int32_t {
  kApiVst2 = 0,
  kApiVst3 = 1,
  kApiClap = 2,
  kApiLv2 = 3,
};

// Names are copied into fields of this size: at most 127 characters and the terminator.
constexpr int kPlugNameSize = 128;

// The core of one plug-in instance: what it is, what it owns (parameters, presets, channel configurations and
// connections), what it knows of its host, and the one recursive lock that every host entry holds.
class IPlugBase {
 public:
  IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
            const char* productName, const char* vendorName, int vendorVersion, int uniqueId, int vendorId,
            int latency, bool doesMidi, bool doesChunks, bool isInstrument, EPlugApi plugApi);
  IPlugBase(const IPlugBase&) = delete;
  IPlugBase& operator=(const IPlugBase&) = delete;

  // Virtual operations, in slot order.
  virtual ~IPlugBase();
  virtual void ResetProcessing();
  virtual void ParamChanged(int paramIndex);
  virtual void ProcessDoubleBlock(double** inputs, double** outputs, int nFrames);
  // The same pass-through in 32 bits; the frame never calls it (it converts and calls ProcessDoubleBlock).
  virtual void ProcessFloatBlock(float** inputs, float** outputs, int nFrames);
  virtual void EditorOpenedHook() {}
  virtual void EditorClosedHook() {}
  virtual void ReservedHookA() {}
  virtual void ActivationChanged(bool active);
  virtual void ReceiveMidiMessage(const IMidiMessage* message);
  virtual void ReceiveSysExMessage(const ISysExMessage* /*message*/) {}
  virtual bool NoteNameFor(int noteNumber, char* text);
  virtual bool SaveState(IStateChunk* chunk);
  virtual int LoadState(const IStateChunk* chunk, int pos);
  virtual bool StateMatches(const IStateChunk* stored, int pos);
  virtual void EditorResizedHook() {}
  virtual bool ReservedQuery() { return false; }
  virtual void HostIdentifiedHook() {}
  virtual void ReservedHookB(int, int, int) {}
  virtual void SetParameterFromGUI(int paramIndex, double normalizedValue);
  virtual void HostBeginEdit(int paramIndex) = 0;
  virtual void HostAutomate(int paramIndex, double normalizedValue) = 0;
  virtual void HostEndEdit(int paramIndex) = 0;
  virtual void HostUpdateDisplay() = 0;
  virtual bool IsOfflineRender() { return false; }
  virtual int HostSamplePosition() = 0;
  virtual double HostTempo() = 0;
  virtual void HostTimeSignature(int* numerator, int* denominator) = 0;
  virtual void HostTransport(ITransportInfo* info) = 0;
  virtual EHostId HostId() { return mHostApp; }
  virtual EPlugApi PluginApi() { return mApiKind; }
  virtual void ResizeEditor(int width, int height) = 0;
  virtual void PrepareForHost() {}
  virtual void AttachEditor(IPlugEditor* editor);
  virtual void ChangeLatency(int samples) { mLatencySamples = samples; }
  virtual bool SendMidiMessage(const IMidiMessage* message) = 0;
  virtual bool SendSysExMessage(const ISysExMessage* /*message*/) { return false; }
  virtual void RefreshEditorParams();
  virtual void ReservedHookC() {}
  virtual void PresetChangedHook() {}
  virtual void ApplyBlockSize(int nFrames);
  // Replacing 32-bit processing of a host block of at most the block size with every channel connected,
  // straight from and to the host's buffers (which may share memory in any way). It must leave exactly what
  // the frame otherwise does: each input widened into inputCopies[i], ProcessDoubleBlock(inputCopies,
  // outputCopies) run, and each 64-bit output narrowed into outputs[i], channel after channel. Returns false,
  // having done nothing, when the plug-in does not offer it; the frame then does those steps itself.
  virtual bool ProcessFloatBlockDirect(float** /*inputs*/, float** /*outputs*/, double** /*inputCopies*/,
                                       double** /*outputCopies*/, int /*nFrames*/) {
    return false;
  }

  // Identity.
  const char* EffectName() const { return mPluginName; }
  const char* ProductTitle() const { return mProductTitle; }
  const char* VendorName() const { return mVendorName; }
  int UniqueId() const { return mPluginId; }
  int EffectVersion(bool decimal) const;
  bool WantsMidi() const { return mMidiFlag; }
  bool IsInstrument() const { return mInstrument; }
  bool KeepsStateChunks() const { return mKeepsChunks; }
  IPlugEditor* AttachedEditor() const { return mEditor; }
  int LatencySamples() const { return mLatencySamples; }
  IPlugMutex* Mutex() { return &mLock; }

  // Host.
  double SampleRate() const { return mHostSampleRate; }
  int BlockSize() const { return mFramesPerBlock; }
  // Stores a positive finite rate; anything else is ignored and the rate stays as it was.
  void ChangeSampleRate(double sampleRate);
  void SetHost(const char* productText, int packedVersion);
  int HostVersionPacked() const { return mHostVersionPacked; }

  // Parameters.
  int ParamCount() const { return mParamList.Count(); }
  IPlugParam* Param(int index) const { return mParamList.Get(index); }  // none outside the list
  void NotifyAllParamsChanged();
  bool SerializeParams(IStateChunk* chunk);
  int UnserializeParams(const IStateChunk* chunk, int pos);

  // Presets.
  int PresetCount() const { return mPresetList.Count(); }
  int CurrentPresetIndex() const { return mPresetIndex; }
  const char* PresetName(int index) const;  // "" outside the list
  IPlugPreset* FirstUnsetPreset() const;
  void NextUserPresetName(char* out, int outSize) const;
  void FillUnsetPresets(const char* name, int count);
  void FillDefaultPresets();
  bool SelectPreset(int index);
  void ModifyCurrentPreset(const char* name = nullptr);
  bool SerializePresets(IStateChunk* chunk);
  int UnserializePresets(const IStateChunk* chunk, int pos);

  // Channels.
  int InChannelCount() const { return mInputConnections.Count(); }
  int OutChannelCount() const { return mOutputConnections.Count(); }
  bool LegalIO(int nIn, int nOut) const;
  IInputConnection* InputConnection(int index) const { return mInputConnections.Get(index); }
  IOutputConnection* OutputConnection(int index) const { return mOutputConnections.Get(index); }
  int ChannelConfigCount() const { return mConfigs.Count(); }
  const IChannelConfig* ChannelConfig(int index) const { return mConfigs.Get(index); }

  // Processing frame. All of it runs under the instance lock, held by the caller.
  void SetInputsConnected(int first, int count, bool connected);
  void SetOutputsConnected(int first, int count, bool connected);
  void LimitExtraChannels();
  void BindInputBuffers(int first, int count, float** inputs, int nFrames);
  void BindInputBuffers(int first, int count, double** inputs, int nFrames);
  void BindOutputBuffers(int first, int count, float** outputs);
  void BindOutputBuffers(int first, int count, double** outputs);
  // Replacing processing of the buffers last bound, in their sample width (float or double).
  template <class Sample>
  void ProcessBlock(int nFrames);
  void ProcessBlockAccumulating(int nFrames);
  // A whole host block, replacing the outputs: binds every channel and processes, in pieces of at most the
  // block size when the host sends more frames than it announced; nothing at all for 0 or fewer frames. The
  // host's arrays hold one entry per connected channel.
  void ProcessHostBlock(float** inputs, float** outputs, int nFrames) {
    if (nFrames > 0 && nFrames <= mFramesPerBlock && mStereoConnected) {
      ProcessStereoHostBlock(inputs, outputs, nFrames);
    } else {
      ProcessAnyHostBlock(inputs, outputs, nFrames, false);
    }
  }
  void ProcessHostBlock(double** inputs, double** outputs, int nFrames) {
    if (nFrames > 0 && nFrames <= mFramesPerBlock && mStereoConnected) {
      ProcessStereoHostBlock(inputs, outputs, nFrames);
    } else {
      ProcessAnyHostBlock(inputs, outputs, nFrames);
    }
  }
  // The same, adding the results to what the host's 32-bit outputs hold.
  void ProcessHostBlockAccumulating(float** inputs, float** outputs, int nFrames) {
    ProcessAnyHostBlock(inputs, outputs, nFrames, true);
  }
  // A host block whose frame count may pass the int range: such a block goes in calls of kMaxCallFrames.
  static constexpr uint32_t kMaxCallFrames = 1u << 30;
  template <class Sample>
  void ProcessLongHostBlock(Sample** inputs, Sample** outputs, uint32_t nFrames) {
    if (nFrames <= kMaxCallFrames) {
      ProcessHostBlock(inputs, outputs, static_cast<int>(nFrames));
    } else {
      ProcessHostFrames(inputs, outputs, 0, nFrames, false);
    }
  }
  // A host block of nFrames frames, cut where parameters change. lists[0 .. nLists - 1] are the host's change
  // lists in the host's order, each holding a change read ahead; a list offers `int64_t Offset() const` (the
  // frame the change is timed at), `void Apply()` and `bool Advance()` (reads the next change ahead; false
  // when the list is used up, which drops it). A change takes effect at its frame held between the frames
  // already processed and the end of the block, so one out of order takes effect at once and one past the
  // block at its end; the frames before it are processed first, as a host block of their own. Of changes that
  // take effect at one frame the first list's comes first, and no piece lies between them. Inputs and outputs
  // are read only when nFrames > 0.
  template <class Sample, class ChangeList>
  void ProcessHostBlockAtChanges(Sample** inputs, Sample** outputs, uint32_t nFrames, ChangeList* lists,
                                 int nLists);

 private:
  IPtrList<IChannelConfig> mConfigs{true};
  IPlugMutex mLock;
  char mPluginName[kPlugNameSize];
  char mProductTitle[kPlugNameSize];
  char mVendorName[kPlugNameSize];
  int32_t mPluginId;
  int32_t mVendorId;
  int32_t mPackedVersion;
  EPlugApi mApiKind;
  EHostId mHostApp = kAppNotAsked;
  int32_t mHostVersionPacked = 0;
  bool mKeepsChunks;
  bool mInstrument;
  bool mMidiFlag;
  int32_t mPresetIndex = 0;
  double mHostSampleRate = 44100.0;
  int32_t mFramesPerBlock = 0;
  int32_t mLatencySamples;
  IPlugEditor* mEditor = nullptr;
  IPtrList<IPlugParam> mParamList{true};
  IPtrList<IPlugPreset> mPresetList{true};
  ITypedBuffer<double*> mInputSlots;
  ITypedBuffer<double*> mOutputSlots;
  IPtrList<IInputConnection> mInputConnections{true};
  IPtrList<IOutputConnection> mOutputConnections{true};

  // Whether every input and every output is connected, as the connection calls leave them; host blocks then
  // bind by a plain walk over the channels.
  bool mEveryChannelConnected = false;
  // Whether the plug-in has two inputs and two outputs, all connected: a 64-bit host block of at most the
  // block size then only hands the host's four pointers on, and a 32-bit one goes straight to the direct
  // conversion.
  bool mStereoConnected = false;
  // While mStereoConnected holds: the slot arrays, the scratch buffers of both inputs and both outputs, and
  // the output connections, so a stereo block reads them from here at once instead of through the lists. Kept
  // by NoteConnections and ApplyBlockSize, the only places where they change.
  struct StereoPath {
    double** inSlots = nullptr;
    double** outSlots = nullptr;
    double* inScratch[2] = {nullptr, nullptr};
    double* outScratch[2] = {nullptr, nullptr};
    IOutputConnection* outputs[2] = {nullptr, nullptr};
  } mStereo;
  void NoteConnections();
  void NoteStereoPath();
  void ProcessConnectedBlock(float** inputs, float** outputs, int nFrames, bool accumulate);
  void ProcessConnectedBlock(double** inputs, double** outputs, int nFrames);
  // ProcessHostBlock for a block of 1 to the block size frames while mStereoConnected holds (32 bits: not
  // accumulating).
  void ProcessStereoHostBlock(float** inputs, float** outputs, int nFrames);
  void ProcessStereoHostBlock(double** inputs, double** outputs, int nFrames);
  // Widens, processes and narrows a stereo block when the plug-in has no direct 32-bit processing.
  void ConvertStereoHostBlock(float** inputs, float** outputs, int nFrames);
  // ProcessHostBlock for the blocks that do not take the stereo path.
  void ProcessAnyHostBlock(double** inputs, double** outputs, int nFrames);
  void ProcessAnyHostBlock(float** inputs, float** outputs, int nFrames, bool accumulate);

  // Frames [first, first + nFrames) of the host's buffers, as host blocks of at most the block size each and
  // of at most kMaxCallFrames frames from first; with accumulate the results are added (32 bits only).
  template <class Sample>
  void ProcessHostFrames(Sample** inputs, Sample** outputs, uint32_t first, uint32_t nFrames,
                         bool accumulate);
  // Entries of the host's arrays: the connected inputs and outputs, as the connection calls leave them.
  int mInputEntries = 0;
  int mOutputEntries = 0;
  // Host pointers advanced to the start of a piece, one entry per channel; sized exactly at construction so
  // that the audio path allocates nothing.
  std::unique_ptr<float*[]> mPieceFloatInputs;
  std::unique_ptr<float*[]> mPieceFloatOutputs;
  std::unique_ptr<double*[]> mPieceDoubleInputs;
  std::unique_ptr<double*[]> mPieceDoubleOutputs;
  float** PieceInputs(float**) { return mPieceFloatInputs.get(); }
  float** PieceOutputs(float**) { return mPieceFloatOutputs.get(); }
  double** PieceInputs(double**) { return mPieceDoubleInputs.get(); }
  double** PieceOutputs(double**) { return mPieceDoubleOutputs.get(); }
};

template <>
void IPlugBase::ProcessBlock<float>(int nFrames);
template <>
void IPlugBase::ProcessBlock<double>(int nFrames);

template <class Sample, class ChangeList>
void IPlugBase::ProcessHostBlockAtChanges(Sample** inputs, Sample** outputs, uint32_t nFrames,
                                          ChangeList* lists, int nLists) {
  if (nLists <= 0) {
    ProcessLongHostBlock(inputs, outputs, nFrames);
    return;
  }
  uint32_t position = 0;
  auto frameOf = [&position, nFrames](int64_t offset) {
    if (offset <= position) return position;
    return offset >= nFrames ? nFrames : static_cast<uint32_t>(offset);
  };
  while (nLists > 0) {
    int next = 0;
    uint32_t nextAt = frameOf(lists[0].Offset());
    for (int k = 1; k < nLists; ++k) {
      const uint32_t at = frameOf(lists[k].Offset());
      if (at < nextAt) {
        nextAt = at;
        next = k;
      }
    }
    if (nextAt > position) {
      ProcessHostFrames(inputs, outputs, position, nextAt - position, false);
      position = nextAt;
    }
    lists[next].Apply();
    if (!lists[next].Advance()) {
      // The rest keep their order, which decides between changes at one frame.
      for (int k = next + 1; k < nLists; ++k) lists[k - 1] = lists[k];
      --nLists;
    }
  }
  if (position < nFrames) ProcessHostFrames(inputs, outputs, position, nFrames - position, false);
}
