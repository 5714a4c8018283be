// SPDX-License-Identifier: GPL-3.0-or-later
// The host side of a CLAP plug-in's requests (the clap_host_t record): it offers no extension and counts what
// the plug-in asks of it, so tests can read that.
#pragma once

#include <atomic>
#include <string>

#include "clap/host.h"

class ClapHost {
 public:
  enum ERequest { kExtension, kRestart, kProcess, kCallback, kRequestKinds };

  explicit ClapHost(std::string name = "Quillmere test host", std::string version = "1.0");
  ClapHost(const ClapHost&) = delete;
  ClapHost& operator=(const ClapHost&) = delete;

  // The record to hand to create_plugin; it lives as long as this object.
  const clap_host_t* Record() const { return &mRecord; }
  // Requests of a kind so far, from every instance made with this host. Safe from any thread.
  long Count(ERequest kind) const { return mCounts[kind].load(); }

 private:
  static ClapHost* Of(const clap_host_t* host);
  static const void* CLAP_ABI Extension(const clap_host_t* host, const char* id);
  static void CLAP_ABI RequestRestart(const clap_host_t* host);
  static void CLAP_ABI RequestProcess(const clap_host_t* host);
  static void CLAP_ABI RequestCallback(const clap_host_t* host);

  std::string mName;
  std::string mVersion;
  clap_host_t mRecord;
  std::atomic<long> mCounts[kRequestKinds];
};
