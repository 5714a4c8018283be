// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClapHost.h"

#include <utility>

ClapHost::ClapHost(std::string name, std::string version)
    : mName(std::move(name)), mVersion(std::move(version)) {
  for (std::atomic<long>& count : mCounts) count.store(0);
  mRecord.clap_version = CLAP_VERSION;
  mRecord.host_data = this;
  mRecord.name = mName.c_str();
  mRecord.vendor = "Quillmere";
  mRecord.url = "";
  mRecord.version = mVersion.c_str();
  mRecord.get_extension = Extension;
  mRecord.request_restart = RequestRestart;
  mRecord.request_process = RequestProcess;
  mRecord.request_callback = RequestCallback;
}

ClapHost* ClapHost::Of(const clap_host_t* host) {
  return host ? static_cast<ClapHost*>(host->host_data) : nullptr;
}

const void* CLAP_ABI ClapHost::Extension(const clap_host_t* host, const char* /*id*/) {
  if (ClapHost* self = Of(host)) ++self->mCounts[kExtension];
  return nullptr;
}

void CLAP_ABI ClapHost::RequestRestart(const clap_host_t* host) {
  if (ClapHost* self = Of(host)) ++self->mCounts[kRestart];
}

void CLAP_ABI ClapHost::RequestProcess(const clap_host_t* host) {
  if (ClapHost* self = Of(host)) ++self->mCounts[kProcess];
}

void CLAP_ABI ClapHost::RequestCallback(const clap_host_t* host) {
  if (ClapHost* self = Of(host)) ++self->mCounts[kCallback];
}
