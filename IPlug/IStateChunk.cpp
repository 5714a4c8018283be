// SPDX-License-Identifier: GPL-3.0-or-later
#include "IPlug/IStateChunk.h"

#include <climits>
#include <cstddef>
#include <cstring>

#include "IPlug/IText.h"

namespace {

// Whether p points into the n bytes at block (compared as addresses, since p may belong to any object).
bool PointsInto(const void* p, const uint8_t* block, int n) {
  const uintptr_t address = reinterpret_cast<uintptr_t>(p);
  const uintptr_t start = reinterpret_cast<uintptr_t>(block);
  return block && address >= start && address - start < static_cast<uintptr_t>(n);
}

}  // namespace

// Numbers are stored by copying their bytes, which is little-endian only on a little-endian machine.
#if defined(__BYTE_ORDER__)
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the chunk encoding assumes a little-endian target");
#endif
static_assert(sizeof(double) == 8, "doubles are stored as 8 bytes");

void IStateChunk::Clear() { mBytes.Resize(0); }

int IStateChunk::Resize(int n) {
  const int before = Size();
  if (n < 0) n = 0;
  if (mBytes.Resize(n) && n > before) std::memset(Data() + before, 0, static_cast<size_t>(n - before));
  return before;
}

int IStateChunk::AppendBytes(const void* bytes, int n) {
  if (n < 0 || (n > 0 && !bytes)) return -1;
  const int before = Size();
  if (n == 0) return before;
  if (static_cast<int64_t>(before) + n > INT_MAX) return -1;

  // The bytes may lie in this chunk's own storage, which the resize can move.
  const uint8_t* source = static_cast<const uint8_t*>(bytes);
  const bool inside = PointsInto(source, Data(), before);
  const ptrdiff_t offset = inside ? source - Data() : 0;

  if (!mBytes.Resize(before + n)) return -1;
  if (inside) source = Data() + offset;
  std::memcpy(Data() + before, source, static_cast<size_t>(n));
  return Size();
}

int IStateChunk::AppendInt32(int32_t value) { return AppendBytes(&value, sizeof value); }

int IStateChunk::AppendDouble(double value) { return AppendBytes(&value, sizeof value); }

int IStateChunk::AppendFlag(bool value) {
  const uint8_t byte = value ? 1 : 0;
  return AppendBytes(&byte, 1);
}

int IStateChunk::AppendText(const char* text) {
  const size_t length = text ? std::strlen(text) : 0;
  const int before = Size();
  if (static_cast<uint64_t>(before) + 4 + length > static_cast<uint64_t>(INT_MAX)) return -1;
  const int32_t n = static_cast<int32_t>(length);

  const bool inside = PointsInto(text, Data(), before);
  const ptrdiff_t offset = inside ? reinterpret_cast<const uint8_t*>(text) - Data() : 0;

  // One resize for the length and the bytes, so a failure appends nothing.
  if (!mBytes.Resize(before + 4 + n)) return -1;
  if (inside) text = reinterpret_cast<const char*>(Data() + offset);
  std::memcpy(Data() + before, &n, 4);
  if (n > 0) std::memcpy(Data() + before + 4, text, length);
  return Size();
}

int IStateChunk::AppendChunk(const IStateChunk& other) { return AppendBytes(other.Data(), other.Size()); }

int IStateChunk::ReadBytes(void* dest, int n, int pos) const {
  if (pos < 0 || n < 0 || (n > 0 && !dest)) return -1;
  const int64_t end = static_cast<int64_t>(pos) + n;
  if (end > Size()) return -1;
  if (n > 0) std::memcpy(dest, Data() + pos, static_cast<size_t>(n));
  return static_cast<int>(end);
}

int IStateChunk::ReadInt32(int32_t* dest, int pos) const { return ReadBytes(dest, sizeof *dest, pos); }

int IStateChunk::ReadDouble(double* dest, int pos) const { return ReadBytes(dest, sizeof *dest, pos); }

int IStateChunk::ReadFlag(bool* dest, int pos) const {
  uint8_t byte;
  const int next = dest ? ReadBytes(&byte, 1, pos) : -1;
  if (next >= 0) *dest = byte != 0;
  return next;
}

int IStateChunk::ReadText(IText* dest, int pos) const {
  int32_t length;
  const int start = ReadInt32(&length, pos);
  if (start < 0) return -1;
  // A length past the chunk gives an end beyond the size; an end past INT_MAX is held at INT_MAX, which no
  // size reaches.
  int64_t end = static_cast<int64_t>(start) + length;
  if (end > INT_MAX) end = INT_MAX;
  if (dest && length >= 1 && end <= Size()) dest->Set(reinterpret_cast<const char*>(Data() + start), length);
  return static_cast<int>(end);
}

void WriteChunkHeader(IStateChunk& chunk) {
  chunk.Clear();
  chunk.AppendInt32(kStateChunkMagic);
  chunk.AppendInt32(kStateChunkVersion);
}

int32_t ReadChunkHeader(const IStateChunk& chunk, int& pos) {
  int32_t magic;
  const int next = chunk.ReadInt32(&magic, pos);
  if (next < 0 || magic != kStateChunkMagic) return 0;
  int32_t version = 0;
  pos = chunk.ReadInt32(&version, next);
  return version;
}
