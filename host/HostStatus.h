// SPDX-License-Identifier: GPL-3.0-or-later
// What a host-library operation that can fail reports; the object that failed holds the reason as text.
#pragma once

enum class HostStatus {
  kOk,
  kCannotLoad,     // the module file could not be opened
  kNoEntryPoint,   // the module exports none of the entry points looked for
  kNoInstance,     // the entry point returned no instance
  kBadDescriptor,  // the instance's descriptor cannot be talked to
};
