// SPDX-License-Identifier: GPL-3.0-or-later
// The built plug-in hosted through the host library, with a recording host of its own per instance.
#pragma once

#include <string>

#include "tests/support/Vst2Reference.h"

// One instance of the built plug-in made through one of its entry points. Its host answers the product string
// it is given and the vendor version 5983, and records every request. Throws when the plug-in cannot be made.
class TestPlugin : public test_support::Vst2Reference {
 public:
  explicit TestPlugin(Vst2EntryName entry = Vst2EntryName::kVstPluginMain,
                      const std::string& product = "Test Host");
};

// The text the plug-in writes for opcode and index into a 256-byte buffer filled with 0x7f beforehand, so a
// request that writes nothing or no terminator shows.
std::string WrittenText(Vst2Instance& plug, VstInt32 opcode, VstInt32 index = 0);
