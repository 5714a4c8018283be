// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestHost.h"

#include <cstring>
#include <stdexcept>

namespace {

test_support::Vst2ReferenceOptions TestHostOptions(Vst2EntryName entry, const std::string& product) {
  test_support::Vst2ReferenceOptions options;
  options.answers.mProduct = product;
  options.answers.mVendorVersion = 5983;
  options.entry = entry;
  return options;
}

}  // namespace

TestPlugin::TestPlugin(Vst2EntryName entry, const std::string& product)
    : Vst2Reference(QUILLMERE_VST2_PATH, TestHostOptions(entry, product)) {
  if (!Ok()) throw std::runtime_error(Problem());
}

std::string WrittenText(Vst2Instance& plug, VstInt32 opcode, VstInt32 index) {
  char text[256];
  std::memset(text, 0x7f, sizeof(text));
  plug.Dispatch(opcode, index, 0, text);
  return std::string(text, strnlen(text, sizeof(text)));
}
