// SPDX-License-Identifier: GPL-3.0-or-later
// The objects a VST 3 host hands to a plug-in: its application context, a component handler that records the
// controller's requests, a memory stream for state, and the parameter changes of a process call. Each lives
// as long as its owner; the reference counts only count.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivsthostapplication.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

// Compares two interface or class IDs byte for byte (the IDs a host receives need not be aligned).
bool Vst3SameId(const void* a, const void* b);

// The host context given to initialize: IHostApplication with the host's name.
class Vst3HostApplication : public Steinberg::Vst::IHostApplication {
 public:
  explicit Vst3HostApplication(std::string name = "Quillmere VST 3 test host") : mName(std::move(name)) {}
  virtual ~Vst3HostApplication() = default;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** object) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return ++mReferences; }
  Steinberg::uint32 PLUGIN_API release() override { return --mReferences; }
  Steinberg::tresult PLUGIN_API getName(Steinberg::Vst::String128 name) override;
  // The host makes no messages or attribute lists.
  Steinberg::tresult PLUGIN_API createInstance(Steinberg::TUID cid, Steinberg::TUID iid,
                                               void** object) override;

  // References the plug-in holds now.
  long References() const { return static_cast<long>(mReferences.load()); }

 private:
  std::string mName;
  std::atomic<int32_t> mReferences{0};
};

// Records what a controller asks of its host; safe from any thread.
class Vst3ComponentHandler : public Steinberg::Vst::IComponentHandler {
 public:
  virtual ~Vst3ComponentHandler() = default;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** object) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return ++mReferences; }
  Steinberg::uint32 PLUGIN_API release() override { return --mReferences; }
  Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) override;
  Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id,
                                            Steinberg::Vst::ParamValue valueNormalized) override;
  Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) override;
  Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) override;

  long Edits() const { return mEdits.load(); }
  long Restarts() const { return mRestarts.load(); }
  long References() const { return static_cast<long>(mReferences.load()); }

 private:
  std::atomic<int32_t> mReferences{0};
  std::atomic<long> mEdits{0};
  std::atomic<long> mRestarts{0};
};

// A stream over bytes in memory. Reads can be limited to a few bytes each, as some hosts' streams give them.
class Vst3MemoryStream : public Steinberg::IBStream {
 public:
  Vst3MemoryStream() = default;
  explicit Vst3MemoryStream(std::vector<uint8_t> bytes, int maxBytesPerRead = 0)
      : mBytes(std::move(bytes)), mMaxPerRead(maxBytesPerRead) {}
  virtual ~Vst3MemoryStream() = default;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** object) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return ++mReferences; }
  Steinberg::uint32 PLUGIN_API release() override { return --mReferences; }
  Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes,
                                     Steinberg::int32* numBytesRead) override;
  Steinberg::tresult PLUGIN_API write(void* buffer, Steinberg::int32 numBytes,
                                      Steinberg::int32* numBytesWritten) override;
  Steinberg::tresult PLUGIN_API seek(Steinberg::int64 pos, Steinberg::int32 mode,
                                     Steinberg::int64* result) override;
  Steinberg::tresult PLUGIN_API tell(Steinberg::int64* pos) override;

  const std::vector<uint8_t>& Bytes() const { return mBytes; }
  // Reads so far; each read call counts once.
  int Reads() const { return mReads; }

 private:
  std::vector<uint8_t> mBytes;
  size_t mPosition = 0;
  int mMaxPerRead = 0;  // 0: no limit
  int mReads = 0;
  std::atomic<int32_t> mReferences{0};
};

// The points of one parameter in one process call, in the order they were added (a host normally adds them
// in offset order; tests may not).
class Vst3ParamQueue : public Steinberg::Vst::IParamValueQueue {
 public:
  Vst3ParamQueue() = default;
  virtual ~Vst3ParamQueue() = default;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** object) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }
  Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return mId; }
  Steinberg::int32 PLUGIN_API getPointCount() override {
    return static_cast<Steinberg::int32>(mPoints.size());
  }
  Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& sampleOffset,
                                         Steinberg::Vst::ParamValue& value) override;
  Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32 sampleOffset, Steinberg::Vst::ParamValue value,
                                         Steinberg::int32& index) override;

  struct Point {
    Steinberg::int32 offset;
    Steinberg::Vst::ParamValue value;
  };
  Steinberg::Vst::ParamID mId = 0;
  std::vector<Point> mPoints;
};

// The parameter changes of one process call: one queue per parameter, in the order first used.
class Vst3ParameterChanges : public Steinberg::Vst::IParameterChanges {
 public:
  Vst3ParameterChanges() = default;
  virtual ~Vst3ParameterChanges() = default;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** object) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }
  Steinberg::int32 PLUGIN_API getParameterCount() override { return mUsed; }
  Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override;
  Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID& id,
                                                                Steinberg::int32& index) override;

  // Appends a point to the queue of id (making the queue when it is new).
  void Add(Steinberg::Vst::ParamID id, Steinberg::int32 offset, Steinberg::Vst::ParamValue value);
  // Appends a queue of its own even when id has one already, as a faulty host might.
  Vst3ParamQueue& AddSeparateQueue(Steinberg::Vst::ParamID id);
  // Empties every queue, keeping their memory.
  void Clear();
  int PointCount() const;

 private:
  std::vector<Vst3ParamQueue> mQueues;  // the first mUsed are in use
  Steinberg::int32 mUsed = 0;
};
