// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>

#include "pluginterfaces/base/ipluginbase.h"

// The module's one factory: describes the plug-in's single class ("Audio Module Class") and creates its
// instances. Lives as long as the module; references only count.
class Vst3Factory final : public Steinberg::IPluginFactory3 {
 public:
  Vst3Factory() = default;

  // The factory of this module, built on the first call.
  static Vst3Factory& Instance();

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** object) override;
  Steinberg::uint32 PLUGIN_API addRef() override;
  Steinberg::uint32 PLUGIN_API release() override;

  Steinberg::tresult PLUGIN_API getFactoryInfo(Steinberg::PFactoryInfo* info) override;
  Steinberg::int32 PLUGIN_API countClasses() override;
  Steinberg::tresult PLUGIN_API getClassInfo(Steinberg::int32 index, Steinberg::PClassInfo* info) override;
  Steinberg::tresult PLUGIN_API createInstance(Steinberg::FIDString cid, Steinberg::FIDString iid,
                                               void** object) override;
  Steinberg::tresult PLUGIN_API getClassInfo2(Steinberg::int32 index, Steinberg::PClassInfo2* info) override;
  Steinberg::tresult PLUGIN_API getClassInfoUnicode(Steinberg::int32 index,
                                                    Steinberg::PClassInfoW* info) override;
  Steinberg::tresult PLUGIN_API setHostContext(Steinberg::FUnknown* context) override;

 private:
  std::atomic<Steinberg::uint32> mReferences{1};
};
