// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "IPlug/IPlugBase.h"
#include "IPlug/IStateChunk.h"

// Saved state and typed values as every plug-in format stores and reads them, so that each format saves the
// same bytes and reads the same texts. All of these take the instance lock.

// Empties chunk and writes the 8-byte header, then either the plug-in's own state (a program) or, for a bank,
// every preset after the current one has taken the present state. False when nothing could be written.
bool SaveStateChunk(IPlugBase* plug, IStateChunk* chunk, bool bank);

// Loads what SaveStateChunk wrote; a program chunk may also come without its header. A bank with a header
// older than the present version loads as a program. Returns the position after what was read, or -1 when the
// chunk ended too early: what was read before that point stays loaded.
int LoadStateChunk(IPlugBase* plug, const IStateChunk& chunk, bool bank);

// Loads a program chunk completely or not at all: when it is empty, short or unreadable, every parameter
// keeps the value it had and false is returned. The present state is kept in backup meanwhile (this
// allocates).
bool LoadProgramStateWhole(IPlugBase* plug, const IStateChunk& chunk, IStateChunk* backup);

// The program state as the formats that save state through a byte stream exchange it with their host:
// written whole, read whole up to a size cap and loaded all or nothing. Keeps its working chunks, so that
// repeated saves and loads reuse their storage. The caller holds the instance lock.
class IPlugStateStream {
 public:
  // A stream of more than sizeCap bytes is refused.
  explicit IPlugStateStream(int sizeCap) : mSizeCap(sizeCap) {}

  // Writes the program chunk; write(const uint8_t* bytes, int n) answers how many of the n bytes the stream
  // took, and any answer below 1 or above n is a failure. False when the state could not be written whole.
  template <class Write>
  bool Save(IPlugBase* plug, Write write);
  // Reads the stream to its end; read(uint8_t* buffer, int size) answers how many bytes it put into buffer,
  // 0 at the end of the stream, and a negative count (or one above size) when the stream failed. False when
  // the stream failed or holds more than the cap; then nothing is loaded. The bytes may come in any count per
  // read.
  template <class Read>
  bool ReadStream(Read read);
  // Loads what ReadStream read, all or nothing.
  bool LoadRead(IPlugBase* plug) { return LoadProgramStateWhole(plug, mBytes, &mBackup); }
  // Loads another program chunk, all or nothing.
  bool LoadWhole(IPlugBase* plug, const IStateChunk& chunk) {
    return LoadProgramStateWhole(plug, chunk, &mBackup);
  }
  template <class Read>
  bool Load(IPlugBase* plug, Read read) {
    return ReadStream(read) && LoadRead(plug);
  }

 private:
  int mSizeCap;
  IStateChunk mBytes;  // what Save last wrote or ReadStream last read
  IStateChunk mBackup;
};

template <class Write>
bool IPlugStateStream::Save(IPlugBase* plug, Write write) {
  if (!SaveStateChunk(plug, &mBytes, false)) return false;
  const uint8_t* bytes = mBytes.Data();
  for (int done = 0, size = mBytes.Size(); done < size;) {
    const int64_t taken = write(bytes + done, size - done);
    if (taken < 1 || taken > size - done) return false;
    done += static_cast<int>(taken);
  }
  return true;
}

template <class Read>
bool IPlugStateStream::ReadStream(Read read) {
  mBytes.Clear();
  uint8_t piece[512];
  constexpr int kPieceSize = static_cast<int>(sizeof piece);
  for (;;) {
    const int64_t got = read(piece, kPieceSize);
    if (got == 0) return true;
    if (got < 0 || got > kPieceSize || got > mSizeCap - mBytes.Size() ||
        mBytes.AppendBytes(piece, static_cast<int>(got)) < 0) {
      mBytes.Clear();
      return false;
    }
  }
}

// Reads a typed value as the plug-in's text entry does: for a parameter with value texts, the value whose
// text matches exactly (false when none does); otherwise the decimal number at the start of the text, 0 when
// there is none. The result is not clamped.
bool ParseValueText(const IPlugParam& param, const char* text, double* value);
