// SPDX-License-Identifier: GPL-3.0-or-later
// IStateChunk reads at positions and in an order that the input decides. The first bytes are the script, one
// byte per read: the low 3 bits pick the read, the rest a start position when the previous read failed.
#include <cstring>

#include "IPlug/IStateChunk.h"
#include "IPlug/IText.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t scriptLength = data[0] % 32 < size ? data[0] % 32 : size - 1;
  const uint8_t* script = data + 1;
  const uint8_t* body = data + 1 + scriptLength;
  const int bodySize = static_cast<int>(size - 1 - scriptLength);

  IStateChunk chunk;
  if (bodySize > 0) FUZZ_CHECK(chunk.AppendBytes(body, bodySize) == bodySize);
  FUZZ_CHECK(chunk.Size() == bodySize);

  IText text;
  int pos = 0;
  for (size_t s = 0; s < scriptLength; ++s) {
    const int op = script[s] & 7;
    const int start = pos < 0 ? (script[s] >> 3) - 4 : pos;  // -4 .. 27 after a failure
    int next = -1;
    switch (op) {
      case 0: {
        int32_t v = 0;
        next = chunk.ReadInt32(&v, start);
        break;
      }
      case 1: {
        double v = 0;
        next = chunk.ReadDouble(&v, start);
        break;
      }
      case 2: {
        bool v = false;
        next = chunk.ReadFlag(&v, start);
        break;
      }
      case 3:
        next = chunk.ReadText(&text, start);
        FUZZ_CHECK(std::strlen(text.Get()) == static_cast<size_t>(text.Length()));
        break;
      case 4: {
        uint8_t bytes[32];
        const int n = script[s] >> 3;
        next = chunk.ReadBytes(bytes, n, start);
        if (next >= 0 && n > 0)
          FUZZ_CHECK(std::memcmp(bytes, chunk.Data() + start, static_cast<size_t>(n)) == 0);
        break;
      }
      case 5: {
        int at = start;
        const bool magic =
            start >= 0 && start <= bodySize - 4 && std::memcmp(chunk.Data() + start, "tffp", 4) == 0;
        const int32_t version = ReadChunkHeader(chunk, at);
        if (!magic) FUZZ_CHECK(version == 0 && at == start);
        next = at;
        break;
      }
      case 6: {
        int32_t v = 0;
        const long long far = static_cast<long long>(start) + (script[s] >> 3) * 1000;
        next = chunk.ReadInt32(&v, far > INT32_MAX ? INT32_MAX : static_cast<int>(far));
        break;
      }
      default: {
        double v = 0;
        next = chunk.ReadDouble(&v, -1 - (script[s] >> 3));
        FUZZ_CHECK(next == -1);
        break;
      }
    }
    // A text with a negative length answers a position before the text, and a header read without the magic
    // leaves the position as it was; every other read answers a position or -1.
    if (op != 3 && op != 5) FUZZ_CHECK(next >= -1);
    if (op <= 4 && (start < 0 || start > bodySize)) FUZZ_CHECK(next == -1);
    pos = next;
  }
  // Growth and shrinking keep the bytes that stay.
  const int keep = bodySize / 2;
  chunk.Resize(keep);
  FUZZ_CHECK(chunk.Size() == keep);
  if (keep > 0) FUZZ_CHECK(std::memcmp(chunk.Data(), body, static_cast<size_t>(keep)) == 0);
  return 0;
}
