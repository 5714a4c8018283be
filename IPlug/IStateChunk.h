// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "IPlug/IHeapBuffer.h"

class IText;

// "tffp" in the chunk's first four bytes.
constexpr int32_t kStateChunkMagic = 0x70666674;
constexpr int32_t kStateChunkVersion = 0x00010000;

// A growable run of bytes holding saved state. Numbers are little-endian and unaligned; texts are a 32-bit
// length followed by the bytes. Writes append at the end; reads name their start position and return the
// position after what they read, or -1 when the item does not lie wholly inside the chunk (the destination is
// then untouched).
class IStateChunk {
 public:
  IStateChunk() : mBytes(4096) {}

  int Size() const { return mBytes.Size(); }
  uint8_t* Data() const { return static_cast<uint8_t*>(mBytes.Data()); }  // none when the size is 0
  void Clear();
  // Size becomes n (negative counts as 0), bytes gained are zero. Returns the size before. When memory runs
  // out the size stays as it was: callers compare Size() with what they asked for.
  int Resize(int n);

  // Each append returns the new size, or -1 when memory ran out or n is negative (nothing is appended then).
  int AppendBytes(const void* bytes, int n);
  int AppendInt32(int32_t value);
  int AppendDouble(double value);
  int AppendFlag(bool value);
  int AppendText(const char* text);
  int AppendChunk(const IStateChunk& other);

  int ReadBytes(void* dest, int n, int pos) const;
  int ReadInt32(int32_t* dest, int pos) const;
  int ReadDouble(double* dest, int pos) const;
  int ReadFlag(bool* dest, int pos) const;
  int ReadText(IText* dest, int pos) const;

 private:
  IHeapBuffer mBytes;
};

// Empties the chunk and writes the magic and version words.
void WriteChunkHeader(IStateChunk& chunk);
// Returns the version after a magic word at pos (pos moves past the header, or becomes -1 when the version
// does not fit), or 0 when there is no magic there (pos unchanged).
int32_t ReadChunkHeader(const IStateChunk& chunk, int& pos);
