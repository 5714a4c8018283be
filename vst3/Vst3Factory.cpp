// SPDX-License-Identifier: GPL-3.0-or-later
#include "vst3/Vst3Factory.h"

#include <cstring>
#include <memory>

#include "IPlug/HostText.h"
#include "IPlug/IPlugEntry.h"
#include "IPlug/IPlugFactory.h"
#include "effect/PluginDescription.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "vst3/Vst3Effect.h"
#include "vst3/Vst3Ids.h"
#include "vst3/Vst3Text.h"

using namespace Steinberg;

namespace {

const TUID kClassId = QUILLMERE_VST3_CLASS_UID;

bool SameIid(const void* a, const void* b) { return std::memcmp(a, b, sizeof(TUID)) == 0; }

// The class's name and vendor from the description, cut to the 8-bit fields (the UTF-16 fields take these cut
// texts too).
struct ClassTexts {
  char mName[PClassInfo::kNameSize] = {};
  char mVendor[PFactoryInfo::kNameSize] = {};
};

const ClassTexts& Texts() {
  static const ClassTexts texts = [] {
    ClassTexts made;
    CopyToHost(made.mName, kPluginName, sizeof made.mName);
    CopyToHost(made.mVendor, DescribedVendorName(), sizeof made.mVendor);
    return made;
  }();
  return texts;
}

// A class info of any of the three kinds for the one class: cleared, the fields all kinds have alike (id,
// cardinality, category) filled in, then the rest by fill. Anything thrown on the way is an internal error.
template <class Info, class Fill>
tresult FillClassInfo(int32 index, Info* info, Fill fill) {
  if (!info || index != 0) return kInvalidArgument;
  try {
    *info = {};
    std::memcpy(info->cid, kClassId, sizeof(TUID));
    info->cardinality = PClassInfo::kManyInstances;
    CopyToHost(info->category, kVstAudioEffectClass, sizeof info->category);
    fill(*info);
    return kResultOk;
  } catch (...) {
    return kInternalError;
  }
}

}  // namespace

Vst3Factory& Vst3Factory::Instance() {
  static Vst3Factory factory;
  return factory;
}

tresult PLUGIN_API Vst3Factory::queryInterface(const TUID iid, void** object) {
  if (!object) return kInvalidArgument;
  *object = nullptr;
  if (!iid) return kNoInterface;
  if (SameIid(iid, FUnknown_iid) || SameIid(iid, IPluginFactory_iid) || SameIid(iid, IPluginFactory2_iid) ||
      SameIid(iid, IPluginFactory3_iid)) {
    *object = static_cast<IPluginFactory3*>(this);
    addRef();
    return kResultOk;
  }
  return kNoInterface;
}

uint32 PLUGIN_API Vst3Factory::addRef() { return ++mReferences; }

// The factory is never deleted: the module owns it.
uint32 PLUGIN_API Vst3Factory::release() {
  uint32 count = mReferences.load();
  while (count > 1 && !mReferences.compare_exchange_weak(count, count - 1)) {
  }
  return count > 1 ? count - 1 : 1;
}

tresult PLUGIN_API Vst3Factory::getFactoryInfo(PFactoryInfo* info) {
  if (!info) return kInvalidArgument;
  try {
    *info = {};
    CopyToHost(info->vendor, Texts().mVendor, sizeof info->vendor);
    CopyToHost(info->url, kPluginUrl, sizeof info->url);
    CopyToHost(info->email, kPluginEmail, sizeof info->email);
    info->flags = Vst::kDefaultFactoryFlags;
    return kResultOk;
  } catch (...) {
    return kInternalError;
  }
}

int32 PLUGIN_API Vst3Factory::countClasses() { return 1; }

tresult PLUGIN_API Vst3Factory::getClassInfo(int32 index, PClassInfo* info) {
  return FillClassInfo(index, info, [](PClassInfo& i) { CopyToHost(i.name, Texts().mName, sizeof i.name); });
}

tresult PLUGIN_API Vst3Factory::getClassInfo2(int32 index, PClassInfo2* info) {
  return FillClassInfo(index, info, [](PClassInfo2& i) {
    CopyToHost(i.name, Texts().mName, sizeof i.name);
    i.classFlags = 0;
    CopyToHost(i.subCategories, kPluginVst3SubCategories, sizeof i.subCategories);
    CopyToHost(i.vendor, Texts().mVendor, sizeof i.vendor);
    CopyToHost(i.version, kPluginVersionText, sizeof i.version);
    CopyToHost(i.sdkVersion, kVstVersionString, sizeof i.sdkVersion);
  });
}

tresult PLUGIN_API Vst3Factory::getClassInfoUnicode(int32 index, PClassInfoW* info) {
  return FillClassInfo(index, info, [](PClassInfoW& i) {
    CopyUtf8ToUtf16(i.name, PClassInfo::kNameSize, Texts().mName);
    i.classFlags = 0;
    CopyToHost(i.subCategories, kPluginVst3SubCategories, sizeof i.subCategories);
    CopyUtf8ToUtf16(i.vendor, PClassInfoW::kVendorSize, Texts().mVendor);
    CopyUtf8ToUtf16(i.version, PClassInfoW::kVersionSize, kPluginVersionText);
    CopyUtf8ToUtf16(i.sdkVersion, PClassInfoW::kVersionSize, kVstVersionString);
  });
}

tresult PLUGIN_API Vst3Factory::createInstance(FIDString cid, FIDString iid, void** object) {
  if (!object) return kInvalidArgument;
  *object = nullptr;
  if (!cid || !iid) return kInvalidArgument;
  if (!SameIid(cid, kClassId)) return kNoInterface;
  try {
    std::unique_ptr<IPlugBinding> plug(CreateInstance([] { return MakePlug(IPlugInstanceInfo{}); },
                                                      [](IPlugBinding& made) {
                                                        made.PrepareController();
                                                        return true;
                                                      }));
    if (!plug) return kOutOfMemory;
    Vst3Effect* effect = new Vst3Effect(plug.get());
    plug.release();
    // The host's reference is the one queryInterface adds; the creator's goes.
    const tresult result = effect->queryInterface(iid, object);
    effect->release();
    return result;
  } catch (...) {
    return kOutOfMemory;
  }
}

// The factory needs nothing of the host.
tresult PLUGIN_API Vst3Factory::setHostContext(FUnknown* /*context*/) { return kResultOk; }
