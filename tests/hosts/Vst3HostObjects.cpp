// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vst3HostObjects.h"

#include <algorithm>
#include <cstring>

using namespace Steinberg;
using namespace Steinberg::Vst;

bool Vst3SameId(const void* a, const void* b) { return std::memcmp(a, b, sizeof(TUID)) == 0; }

namespace {

// The answer of queryInterface for an object that has one interface besides FUnknown.
template <class Interface>
tresult QueryOne(Interface* self, const TUID iid, const TUID ownIid, void** object) {
  if (!object) return kInvalidArgument;
  if (Vst3SameId(iid, FUnknown_iid) || Vst3SameId(iid, ownIid)) {
    self->addRef();
    *object = self;
    return kResultOk;
  }
  *object = nullptr;
  return kNoInterface;
}

}  // namespace

// --- Vst3HostApplication
// ------------------------------------------------------------------------------------

tresult PLUGIN_API Vst3HostApplication::queryInterface(const TUID iid, void** object) {
  return QueryOne<IHostApplication>(this, iid, IHostApplication_iid, object);
}

tresult PLUGIN_API Vst3HostApplication::getName(String128 name) {
  if (!name) return kInvalidArgument;
  size_t i = 0;
  for (; i < mName.size() && i < 127; ++i)
    name[i] = static_cast<char16>(static_cast<unsigned char>(mName[i]));
  name[i] = 0;
  return kResultOk;
}

tresult PLUGIN_API Vst3HostApplication::createInstance(TUID /*cid*/, TUID /*iid*/, void** object) {
  if (object) *object = nullptr;
  return kResultFalse;
}

// --- Vst3ComponentHandler
// -----------------------------------------------------------------------------------

tresult PLUGIN_API Vst3ComponentHandler::queryInterface(const TUID iid, void** object) {
  return QueryOne<IComponentHandler>(this, iid, IComponentHandler_iid, object);
}

tresult PLUGIN_API Vst3ComponentHandler::beginEdit(ParamID /*id*/) { return kResultOk; }

tresult PLUGIN_API Vst3ComponentHandler::performEdit(ParamID /*id*/, ParamValue /*valueNormalized*/) {
  ++mEdits;
  return kResultOk;
}

tresult PLUGIN_API Vst3ComponentHandler::endEdit(ParamID /*id*/) { return kResultOk; }

tresult PLUGIN_API Vst3ComponentHandler::restartComponent(int32 /*flags*/) {
  ++mRestarts;
  return kResultOk;
}

// --- Vst3MemoryStream
// ---------------------------------------------------------------------------------------

tresult PLUGIN_API Vst3MemoryStream::queryInterface(const TUID iid, void** object) {
  return QueryOne<IBStream>(this, iid, IBStream_iid, object);
}

tresult PLUGIN_API Vst3MemoryStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
  ++mReads;
  if (numBytesRead) *numBytesRead = 0;
  if (!buffer || numBytes < 0) return kInvalidArgument;
  size_t n = std::min(static_cast<size_t>(numBytes), mBytes.size() - mPosition);
  if (mMaxPerRead > 0) n = std::min(n, static_cast<size_t>(mMaxPerRead));
  if (n > 0) std::memcpy(buffer, mBytes.data() + mPosition, n);
  mPosition += n;
  if (numBytesRead) *numBytesRead = static_cast<int32>(n);
  return kResultOk;
}

tresult PLUGIN_API Vst3MemoryStream::write(void* buffer, int32 numBytes, int32* numBytesWritten) {
  if (numBytesWritten) *numBytesWritten = 0;
  if (!buffer || numBytes < 0) return kInvalidArgument;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  const size_t end = mPosition + static_cast<size_t>(numBytes);
  if (end > mBytes.size()) mBytes.resize(end);
  std::copy(bytes, bytes + numBytes, mBytes.begin() + static_cast<std::ptrdiff_t>(mPosition));
  mPosition = end;
  if (numBytesWritten) *numBytesWritten = numBytes;
  return kResultOk;
}

tresult PLUGIN_API Vst3MemoryStream::seek(int64 pos, int32 mode, int64* result) {
  int64 base = 0;
  if (mode == kIBSeekCur) {
    base = static_cast<int64>(mPosition);
  } else if (mode == kIBSeekEnd) {
    base = static_cast<int64>(mBytes.size());
  } else if (mode != kIBSeekSet) {
    return kInvalidArgument;
  }
  const int64 target = base + pos;
  if (target < 0 || target > static_cast<int64>(mBytes.size())) return kResultFalse;
  mPosition = static_cast<size_t>(target);
  if (result) *result = target;
  return kResultOk;
}

tresult PLUGIN_API Vst3MemoryStream::tell(int64* pos) {
  if (!pos) return kInvalidArgument;
  *pos = static_cast<int64>(mPosition);
  return kResultOk;
}

// --- Vst3ParamQueue and Vst3ParameterChanges
// ----------------------------------------------------------------

tresult PLUGIN_API Vst3ParamQueue::queryInterface(const TUID iid, void** object) {
  return QueryOne<IParamValueQueue>(this, iid, IParamValueQueue_iid, object);
}

tresult PLUGIN_API Vst3ParamQueue::getPoint(int32 index, int32& sampleOffset, ParamValue& value) {
  if (index < 0 || index >= static_cast<int32>(mPoints.size())) return kResultFalse;
  sampleOffset = mPoints[static_cast<size_t>(index)].offset;
  value = mPoints[static_cast<size_t>(index)].value;
  return kResultOk;
}

tresult PLUGIN_API Vst3ParamQueue::addPoint(int32 sampleOffset, ParamValue value, int32& index) {
  index = static_cast<int32>(mPoints.size());
  mPoints.push_back({sampleOffset, value});
  return kResultOk;
}

tresult PLUGIN_API Vst3ParameterChanges::queryInterface(const TUID iid, void** object) {
  return QueryOne<IParameterChanges>(this, iid, IParameterChanges_iid, object);
}

IParamValueQueue* PLUGIN_API Vst3ParameterChanges::getParameterData(int32 index) {
  if (index < 0 || index >= mUsed) return nullptr;
  return &mQueues[static_cast<size_t>(index)];
}

IParamValueQueue* PLUGIN_API Vst3ParameterChanges::addParameterData(const ParamID& id, int32& index) {
  for (int32 i = 0; i < mUsed; ++i) {
    if (mQueues[static_cast<size_t>(i)].mId == id) {
      index = i;
      return &mQueues[static_cast<size_t>(i)];
    }
  }
  index = mUsed;
  return &AddSeparateQueue(id);
}

void Vst3ParameterChanges::Add(ParamID id, int32 offset, ParamValue value) {
  int32 index;
  int32 pointIndex;
  addParameterData(id, index)->addPoint(offset, value, pointIndex);
}

Vst3ParamQueue& Vst3ParameterChanges::AddSeparateQueue(ParamID id) {
  if (mUsed == static_cast<int32>(mQueues.size())) mQueues.emplace_back();
  Vst3ParamQueue& queue = mQueues[static_cast<size_t>(mUsed++)];
  queue.mId = id;
  queue.mPoints.clear();
  return queue;
}

void Vst3ParameterChanges::Clear() {
  for (Vst3ParamQueue& queue : mQueues) queue.mPoints.clear();
  mUsed = 0;
}

int Vst3ParameterChanges::PointCount() const {
  int n = 0;
  for (int32 i = 0; i < mUsed; ++i) n += static_cast<int>(mQueues[static_cast<size_t>(i)].mPoints.size());
  return n;
}
