// SPDX-License-Identifier: GPL-3.0-or-later
#include "vst3/Vst3Factory.h"

#include <cstring>
#include <memory>

#include "IPlug/IPlugFactory.h"
#include "IPlug/IPlugMutex.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "vst3/Vst3Effect.h"
#include "vst3/Vst3Ids.h"
#include "vst3/Vst3Text.h"

using namespace Steinberg;

namespace {

const TUID kClassId = QUILLMERE_VST3_CLASS_UID;

bool SameIid(const void* a, const void* b) { return std::memcmp(a, b, sizeof(TUID)) == 0; }

// Serialises instance creation; built on the first call and kept until the process ends.
IPlugMutex& CreationLock() {
  static IPlugMutex lock;
  return lock;
}

// The class's name and vendor as the plug-in object gives them (the product name stands in for an empty
// vendor name), read once from an instance made for the purpose.
struct ClassTexts {
  char mName[PClassInfo::kNameSize] = {};
  char mVendor[PFactoryInfo::kNameSize] = {};
};

const ClassTexts& Texts() {
  static const ClassTexts texts = [] {
    ClassTexts made;
    IPlugMutexLock lock(&CreationLock());
    std::unique_ptr<IPlugBinding> plug(MakePlug(IPlugInstanceInfo{}));
    if (plug) {
      CopyToField(made.mName, sizeof made.mName, plug->EffectName());
      const char* vendor = plug->VendorName()[0] != '\0' ? plug->VendorName() : plug->ProductTitle();
      CopyToField(made.mVendor, sizeof made.mVendor, vendor);
    }
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
    CopyToField(info->category, sizeof info->category, kVstAudioEffectClass);
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
    CopyToField(info->vendor, sizeof info->vendor, Texts().mVendor);
    CopyToField(info->url, sizeof info->url, kVst3Url);
    CopyToField(info->email, sizeof info->email, kVst3Email);
    info->flags = Vst::kDefaultFactoryFlags;
    return kResultOk;
  } catch (...) {
    return kInternalError;
  }
}

int32 PLUGIN_API Vst3Factory::countClasses() { return 1; }

tresult PLUGIN_API Vst3Factory::getClassInfo(int32 index, PClassInfo* info) {
  return FillClassInfo(index, info, [](PClassInfo& i) { CopyToField(i.name, sizeof i.name, Texts().mName); });
}

tresult PLUGIN_API Vst3Factory::getClassInfo2(int32 index, PClassInfo2* info) {
  return FillClassInfo(index, info, [](PClassInfo2& i) {
    CopyToField(i.name, sizeof i.name, Texts().mName);
    i.classFlags = 0;
    CopyToField(i.subCategories, sizeof i.subCategories, kVst3SubCategories);
    CopyToField(i.vendor, sizeof i.vendor, Texts().mVendor);
    CopyToField(i.version, sizeof i.version, QUILLMERE_VERSION);
    CopyToField(i.sdkVersion, sizeof i.sdkVersion, kVstVersionString);
  });
}

tresult PLUGIN_API Vst3Factory::getClassInfoUnicode(int32 index, PClassInfoW* info) {
  return FillClassInfo(index, info, [](PClassInfoW& i) {
    CopyUtf8ToUtf16(i.name, PClassInfo::kNameSize, Texts().mName);
    i.classFlags = 0;
    CopyToField(i.subCategories, sizeof i.subCategories, kVst3SubCategories);
    CopyUtf8ToUtf16(i.vendor, PClassInfoW::kVendorSize, Texts().mVendor);
    CopyUtf8ToUtf16(i.version, PClassInfoW::kVersionSize, QUILLMERE_VERSION);
    CopyUtf8ToUtf16(i.sdkVersion, PClassInfoW::kVersionSize, kVstVersionString);
  });
}

tresult PLUGIN_API Vst3Factory::createInstance(FIDString cid, FIDString iid, void** object) {
  if (!object) return kInvalidArgument;
  *object = nullptr;
  if (!cid || !iid) return kInvalidArgument;
  if (!SameIid(cid, kClassId)) return kNoInterface;
  try {
    Vst3Effect* effect;
    {
      IPlugMutexLock lock(&CreationLock());
      std::unique_ptr<IPlugBinding> plug(MakePlug(IPlugInstanceInfo{}));
      if (!plug) return kOutOfMemory;
      plug->FillDefaultPresets();
      plug->PrepareController();
      effect = new Vst3Effect(plug.get());
      plug.release();
    }
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
