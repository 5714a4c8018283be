// SPDX-License-Identifier: GPL-3.0-or-later
// The host side of VST 2 requests (the audioMasterCallback): a default answer set, and a record of every
// request that tests can read.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "IPlug/IPlugMutex.h"
#include "vst/VstInterface.h"

// What a Vst2HostCallback answers. Empty texts and zero numbers are not answered (the request gets 0).
struct Vst2HostAnswers {
  std::string mProduct;  // audioMasterGetProductString, at most 63 characters
  std::string mVendor;   // audioMasterGetVendorString, at most 63 characters
  VstIntPtr mVendorVersion = 0;
  double mSampleRate = 0.0;  // Hz
  VstIntPtr mBlockSize = 0;  // frames
  VstIntPtr mProcessLevel = kVstProcessLevelUnknown;
  bool mTransport = false;  // audioMasterGetTime: a stopped transport at 120 bpm in 4/4
};

// One request as the host received it.
struct Vst2Request {
  const AEffect* mEffect;
  VstInt32 mOpcode;
  VstInt32 mIndex;
  VstIntPtr mValue;
  float mOpt;
  std::vector<VstMidiEvent>
      mMidiEvents;  // copies of what audioMasterProcessEvents carried (null ones zeroed)
};

class Vst2HostCallback {
 public:
  static constexpr VstInt32 kCountedOpcodes = 64;  // requests with opcodes outside 0..63 are recorded only

  // Without keepRequests only the counts are kept: the host allocates nothing when asked.
  explicit Vst2HostCallback(Vst2HostAnswers answers = {}, bool keepRequests = true);
  virtual ~Vst2HostCallback() = default;
  Vst2HostCallback(const Vst2HostCallback&) = delete;
  Vst2HostCallback& operator=(const Vst2HostCallback&) = delete;

  // The callback to hand to an entry point. A request goes to the Vst2HostCallback its instance was made with
  // through Vst2Instance (also while the entry point runs); any other request gets the default answers.
  static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                        void* ptr, float opt);

  const Vst2HostAnswers& Answers() const { return mAnswers; }
  // Requests with this opcode so far, from every instance of this host. Safe from any thread.
  long Count(VstInt32 opcode) const;
  // The requests so far in the order they arrived: all of them, or those of one effect (none unless kept).
  std::vector<Vst2Request> Requests(const AEffect* effect = nullptr) const;

 protected:
  // The answer to one request, given after it is recorded and counted; may run on any thread. The default
  // answers the version (2400), what Answers() holds, and 1 to audioMasterProcessEvents; 0 to everything
  // else.
  virtual VstIntPtr Answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                           float opt);

 private:
  friend class Vst2Instance;

  // Which host an effect's requests go to: a link in a list of the attached effects, held by its instance so
  // that attaching allocates nothing.
  struct Attachment {
    const AEffect* mEffect = nullptr;
    Vst2HostCallback* mHost = nullptr;
    Attachment* mNext = nullptr;
  };
  // Sends the requests of link.mEffect to link.mHost until Detach(link); the host must outlive that.
  static void Attach(Attachment& link);
  static void Detach(Attachment& link);
  struct Registry;
  static Registry& TheRegistry();

  // Sends the requests made on this thread by an effect not yet attached (an entry point making its instance)
  // to a host for the lifetime of the scope.
  class Making {
   public:
    explicit Making(Vst2HostCallback* host);
    ~Making();
    Making(const Making&) = delete;
    Making& operator=(const Making&) = delete;

   private:
    Vst2HostCallback* mPrevious;
  };

  VstIntPtr Receive(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

  const Vst2HostAnswers mAnswers;
  const bool mKeepRequests;
  VstTimeInfo mTime{};
  std::atomic<long> mCounts[kCountedOpcodes];
  mutable IPlugMutex mMutex;  // guards mRequests
  std::vector<Vst2Request> mRequests;
};
