// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vst3Host.h"

#include <cstring>
#include <filesystem>
#include <system_error>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

#if defined(_WIN32)
constexpr const char* kBinaryFolder = "x86_64-win";
constexpr const char* kModuleSuffix = ".vst3";
constexpr const char* kEntryName = "InitDll";
constexpr const char* kExitName = "ExitDll";
using ModuleEntryProc = bool (*)();
#else
constexpr const char* kBinaryFolder = "x86_64-linux";
constexpr const char* kModuleSuffix = ".so";
constexpr const char* kEntryName = "ModuleEntry";
constexpr const char* kExitName = "ModuleExit";
using ModuleEntryProc = bool (*)(void*);
#endif
using ModuleExitProc = bool (*)();

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

template <class Interface>
Interface* Query(FUnknown* object, const TUID iid) {
  void* found = nullptr;
  if (!object || object->queryInterface(iid, &found) != kResultOk) return nullptr;
  return static_cast<Interface*>(found);
}

template <class Interface>
void ReleaseAndClear(Interface*& object) {
  if (object) object->release();
  object = nullptr;
}

}  // namespace

std::string Vst3Utf8(const char16* text, size_t units) {
  std::string out;
  for (size_t i = 0; text && i < units && text[i] != 0; ++i) {
    uint32_t c = static_cast<uint16_t>(text[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && static_cast<uint16_t>(text[i + 1]) >= 0xDC00 &&
        static_cast<uint16_t>(text[i + 1]) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint16_t>(text[++i]) - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string Vst3ModulePath(const std::string& bundle) {
  std::string folder = bundle;
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  const size_t slash = folder.find_last_of("/\\");
  std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
  if (EndsWith(name, ".vst3")) name.resize(name.size() - 5);
  return folder + "/Contents/" + kBinaryFolder + "/" + name + kModuleSuffix;
}

// --- Vst3Module
// ---------------------------------------------------------------------------------------------

HostStatus Vst3Module::Open(const std::string& bundleOrModule) {
  Close();
  mError.clear();
  // A bundle is a folder; on Windows the module file inside it has the suffix .vst3 too.
  std::error_code error;
  const bool bundle = std::filesystem::is_directory(std::filesystem::u8path(bundleOrModule), error);
  const std::string path = bundle ? Vst3ModulePath(bundleOrModule) : bundleOrModule;
  if (mModule.Open(path) != HostStatus::kOk) {
    mError = path + ": " + mModule.Error();
    return HostStatus::kCannotLoad;
  }
  if (auto entry = reinterpret_cast<ModuleEntryProc>(mModule.Symbol(kEntryName))) {
#if defined(_WIN32)
    const bool entered = entry();
#else
    const bool entered = entry(nullptr);
#endif
    if (!entered) {
      mError = std::string(kEntryName) + " failed";
      mModule.Close();
      return HostStatus::kNoInstance;
    }
    mEntered = true;
  }
  auto getFactory = reinterpret_cast<GetFactoryProc>(mModule.Symbol("GetPluginFactory"));
  if (!getFactory) {
    mError = "no GetPluginFactory";
    Close();
    return HostStatus::kNoEntryPoint;
  }
  mFactory = getFactory();
  if (!mFactory) {
    mError = "GetPluginFactory gave no factory";
    Close();
    return HostStatus::kNoInstance;
  }
  mFactory2 = Query<IPluginFactory2>(mFactory, IPluginFactory2_iid);
  mFactory3 = Query<IPluginFactory3>(mFactory, IPluginFactory3_iid);
  // The factory keeps its own reference; these pointers borrow it.
  if (mFactory2) mFactory2->release();
  if (mFactory3) mFactory3->release();
  return HostStatus::kOk;
}

void Vst3Module::Close() {
  mFactory2 = nullptr;
  mFactory3 = nullptr;
  ReleaseAndClear(mFactory);
  if (mEntered) {
    if (auto exit = reinterpret_cast<ModuleExitProc>(mModule.Symbol(kExitName))) exit();
    mEntered = false;
  }
  mModule.Close();
}

bool Vst3Module::FindAudioEffect(TUID cid, std::string* name) const {
  if (!mFactory) return false;
  const int32 n = mFactory->countClasses();
  for (int32 i = 0; i < n; ++i) {
    PClassInfo info;
    if (mFactory->getClassInfo(i, &info) != kResultOk) continue;
    if (std::strncmp(info.category, kVstAudioEffectClass, PClassInfo::kCategorySize) != 0) continue;
    std::memcpy(cid, info.cid, sizeof(TUID));
    if (name) *name = std::string(info.name, strnlen(info.name, PClassInfo::kNameSize));
    return true;
  }
  return false;
}

// --- Vst3Instance
// -------------------------------------------------------------------------------------------

HostStatus Vst3Instance::Create(const Vst3Module& module, const TUID cid, Vst3HostApplication& host,
                                Vst3ComponentHandler& handler) {
  Close();
  mError.clear();
  IPluginFactory* factory = module.Factory();
  if (!factory) {
    mError = "the module is not open";
    return HostStatus::kNoEntryPoint;
  }
  void* made = nullptr;
  if (factory->createInstance(cid, IComponent_iid, &made) != kResultOk || !made) {
    mError = "the factory made no component";
    return HostStatus::kNoInstance;
  }
  mComponent = static_cast<IComponent*>(made);
  if (mComponent->initialize(&host) != kResultOk) {
    mError = "the component did not initialize";
    Close();
    return HostStatus::kBadDescriptor;
  }
  mProcessor = Query<IAudioProcessor>(mComponent, IAudioProcessor_iid);
  if (!mProcessor) {
    mError = "the component has no audio processor";
    Close();
    return HostStatus::kBadDescriptor;
  }
  mController = Query<IEditController>(mComponent, IEditController_iid);
  mOneObject = mController != nullptr;
  if (!mController) {
    TUID controllerId;
    void* controller = nullptr;
    if (mComponent->getControllerClassId(controllerId) == kResultTrue &&
        factory->createInstance(controllerId, IEditController_iid, &controller) == kResultOk && controller) {
      mController = static_cast<IEditController*>(controller);
      if (mController->initialize(&host) != kResultOk) {
        mError = "the controller did not initialize";
        Close();
        return HostStatus::kBadDescriptor;
      }
      // The controller starts from the component's state.
      Vst3MemoryStream state;
      if (mComponent->getState(&state) == kResultOk) {
        state.seek(0, IBStream::kIBSeekSet, nullptr);
        mController->setComponentState(&state);
      }
    }
  }
  if (!mController) {
    mError = "no controller";
    Close();
    return HostStatus::kBadDescriptor;
  }
  mController->setComponentHandler(&handler);
  BusInfo bus{};
  mInputChannels = mComponent->getBusCount(kAudio, kInput) > 0 &&
                           mComponent->getBusInfo(kAudio, kInput, 0, bus) == kResultOk
                       ? bus.channelCount
                       : 0;
  mOutputChannels = mComponent->getBusCount(kAudio, kOutput) > 0 &&
                            mComponent->getBusInfo(kAudio, kOutput, 0, bus) == kResultOk
                        ? bus.channelCount
                        : 0;
  mContext = ProcessContext{};
  mProjectTime = 0;
  // What stays the same from block to block.
  mIn = AudioBusBuffers{};
  mIn.numChannels = mInputChannels;
  mOut = AudioBusBuffers{};
  mOut.numChannels = mOutputChannels;
  mData = ProcessData{};
  mData.processMode = kRealtime;
  mData.numInputs = 1;
  mData.numOutputs = 1;
  mData.inputs = &mIn;
  mData.outputs = &mOut;
  mData.outputParameterChanges = &mOutputChanges;
  mData.processContext = &mContext;
  return HostStatus::kOk;
}

void Vst3Instance::Close() {
  if (mProcessing && mProcessor) mProcessor->setProcessing(false);
  mProcessing = false;
  if (mActive && mComponent) mComponent->setActive(false);
  mActive = false;
  if (mController) {
    mController->setComponentHandler(nullptr);
    if (!mOneObject) mController->terminate();
  }
  ReleaseAndClear(mController);
  ReleaseAndClear(mProcessor);
  if (mComponent) mComponent->terminate();
  ReleaseAndClear(mComponent);
  mOneObject = false;
}

tresult Vst3Instance::Setup(double sampleRate, int maxBlock, int32 sampleSize, int32 processMode) {
  ProcessSetup setup{};
  setup.processMode = processMode;
  setup.symbolicSampleSize = sampleSize;
  setup.maxSamplesPerBlock = maxBlock;
  setup.sampleRate = sampleRate;
  const tresult result = mProcessor->setupProcessing(setup);
  if (result == kResultOk) mSampleRate = sampleRate;
  return result;
}

tresult Vst3Instance::SetActive(bool active) {
  const tresult result = mComponent->setActive(active ? 1 : 0);
  mActive = active;
  return result;
}

tresult Vst3Instance::SetProcessing(bool processing) {
  const tresult result = mProcessor->setProcessing(processing ? 1 : 0);
  mProcessing = processing;
  return result;
}

tresult Vst3Instance::Start(double sampleRate, int maxBlock, int32 sampleSize) {
  SpeakerArrangement in = mInputChannels == 1 ? SpeakerArr::kMono : SpeakerArr::kStereo;
  SpeakerArrangement out = mOutputChannels == 1 ? SpeakerArr::kMono : SpeakerArr::kStereo;
  mProcessor->setBusArrangements(&in, 1, &out, 1);
  mComponent->activateBus(kAudio, kInput, 0, 1);
  mComponent->activateBus(kAudio, kOutput, 0, 1);
  tresult result = Setup(sampleRate, maxBlock, sampleSize);
  if (result != kResultOk) return result;
  result = SetActive(true);
  if (result != kResultOk) return result;
  return SetProcessing(true);
}

tresult Vst3Instance::ProcessRaw(ProcessData& data) {
  if (!data.processContext) {
    mContext.sampleRate = mSampleRate;
    mContext.projectTimeSamples = mProjectTime;
    data.processContext = &mContext;
  }
  const tresult result = mProcessor->process(data);
  if (data.numSamples > 0) mProjectTime += data.numSamples;
  return result;
}

// Inline in both sample sizes, so a block costs the host one call of its own. The process data keeps what
// Create set; a block sets only what changes.
inline tresult Vst3Instance::ProcessBuses(int32 sampleSize, int frames, IParameterChanges* changes) {
  mData.symbolicSampleSize = sampleSize;
  mData.numSamples = frames;
  mData.inputParameterChanges = changes;
  if (mOutputChanges.getParameterCount() > 0) mOutputChanges.Clear();
  mContext.sampleRate = mSampleRate;
  mContext.projectTimeSamples = mProjectTime;
  const tresult result = mProcessor->process(mData);
  if (frames > 0) mProjectTime += frames;
  return result;
}

tresult Vst3Instance::ProcessFloat(float** inputs, float** outputs, int frames, IParameterChanges* changes) {
  mIn.channelBuffers32 = inputs;
  mOut.channelBuffers32 = outputs;
  return ProcessBuses(kSample32, frames, changes);
}

tresult Vst3Instance::ProcessDouble(double** inputs, double** outputs, int frames,
                                    IParameterChanges* changes) {
  mIn.channelBuffers64 = inputs;
  mOut.channelBuffers64 = outputs;
  return ProcessBuses(kSample64, frames, changes);
}

std::vector<uint8_t> Vst3Instance::GetState() {
  Vst3MemoryStream stream;
  if (mComponent->getState(&stream) != kResultOk) return {};
  return stream.Bytes();
}

tresult Vst3Instance::SetState(const std::vector<uint8_t>& bytes, int maxBytesPerRead) {
  Vst3MemoryStream stream(bytes, maxBytesPerRead);
  return mComponent->setState(&stream);
}

tresult Vst3Instance::SetComponentState(const std::vector<uint8_t>& bytes) {
  Vst3MemoryStream stream(bytes);
  return mController->setComponentState(&stream);
}

int Vst3Instance::ParameterCount() { return mController->getParameterCount(); }

bool Vst3Instance::ParameterInfo(int index, Steinberg::Vst::ParameterInfo* info) {
  return mController->getParameterInfo(index, *info) == kResultOk;
}

std::string Vst3Instance::ParameterTitle(int index) {
  Steinberg::Vst::ParameterInfo info{};
  return ParameterInfo(index, &info) ? Vst3Utf8(info.title) : std::string();
}

std::string Vst3Instance::ParameterUnits(int index) {
  Steinberg::Vst::ParameterInfo info{};
  return ParameterInfo(index, &info) ? Vst3Utf8(info.units) : std::string();
}

std::string Vst3Instance::ValueText(ParamID id, double normalized) {
  String128 text = {};
  if (mController->getParamStringByValue(id, normalized, text) != kResultOk) return {};
  return Vst3Utf8(text);
}

bool Vst3Instance::ValueOfText(ParamID id, const std::string& text, double* normalized) {
  String128 wide = {};
  for (size_t i = 0; i < text.size() && i < 127; ++i)
    wide[i] = static_cast<char16>(static_cast<unsigned char>(text[i]));
  ParamValue value = 0.0;
  if (mController->getParamValueByString(id, wide, value) != kResultOk) return false;
  *normalized = value;
  return true;
}
