// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "IPlug/IStateChunk.h"
#include "IPlug/IText.h"

namespace {

std::vector<uint8_t> Bytes(const IStateChunk& chunk) {
  return chunk.Size() ? std::vector<uint8_t>(chunk.Data(), chunk.Data() + chunk.Size())
                      : std::vector<uint8_t>();
}

IStateChunk& Fill(IStateChunk& chunk, std::vector<uint8_t> bytes) {
  chunk.Clear();
  chunk.AppendBytes(bytes.data(), static_cast<int>(bytes.size()));
  return chunk;
}

TEST(IStateChunk, AppendsEncodeLittleEndianAndReturnTheNewSize) {
  IStateChunk chunk;
  EXPECT_EQ(chunk.Data(), nullptr);
  EXPECT_EQ(chunk.AppendInt32(0x01020304), 4);
  EXPECT_EQ(chunk.AppendDouble(1.0), 12);
  EXPECT_EQ(chunk.AppendFlag(true), 13);
  EXPECT_EQ(chunk.AppendFlag(false), 14);
  EXPECT_EQ(chunk.AppendText("hi"), 20);
  EXPECT_EQ(chunk.AppendText(nullptr), 24);
  EXPECT_EQ(chunk.AppendBytes("", 0), 24);
  const std::vector<uint8_t> expected = {4, 3, 2, 1, 0, 0, 0,   0,   0, 0, 0xF0, 0x3F,
                                         1, 0, 2, 0, 0, 0, 'h', 'i', 0, 0, 0,    0};
  EXPECT_EQ(Bytes(chunk), expected);
}

TEST(IStateChunk, ReadsUnalignedValuesBack) {
  IStateChunk chunk;
  chunk.AppendFlag(true);
  chunk.AppendInt32(-123456789);
  chunk.AppendDouble(-2.5e-300);
  int32_t i = 0;
  double d = 0;
  bool b = false;
  EXPECT_EQ(chunk.ReadFlag(&b, 0), 1);
  EXPECT_EQ(chunk.ReadInt32(&i, 1), 5);
  EXPECT_EQ(chunk.ReadDouble(&d, 5), 13);
  EXPECT_TRUE(b);
  EXPECT_EQ(i, -123456789);
  EXPECT_EQ(d, -2.5e-300);
}

TEST(IStateChunk, AnyNonZeroByteReadsAsTrue) {
  IStateChunk chunk;
  Fill(chunk, {7, 0});
  bool b = false;
  EXPECT_EQ(chunk.ReadFlag(&b, 0), 1);
  EXPECT_TRUE(b);
  EXPECT_EQ(chunk.ReadFlag(&b, 1), 2);
  EXPECT_FALSE(b);
}

TEST(IStateChunk, ReadsAtTheEdgeFitExactlyOrFail) {
  IStateChunk chunk;
  chunk.AppendDouble(0.0);
  chunk.AppendInt32(0);  // 12 bytes
  const struct {
    const char* what;
    int bytes;
    int pos;
    int result;
  } cases[] = {
      {"int fits exactly", 4, 8, 12},
      {"int one byte short", 4, 9, -1},
      {"double fits exactly", 8, 4, 12},
      {"double one byte short", 8, 5, -1},
      {"negative start", 4, -1, -1},
      {"flag at the last byte", 1, 11, 12},
      {"flag past the end", 1, 12, -1},
      {"nothing at the end", 0, 12, 12},
      {"nothing past the end", 0, 13, -1},
      {"start far past the end", 4, INT_MAX, -1},
      {"start near the limit", 4, INT_MAX - 2, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    alignas(8) uint8_t dest[8];
    std::memset(dest, 0xAB, sizeof dest);
    int result;
    if (c.bytes == 4) {
      result = chunk.ReadInt32(reinterpret_cast<int32_t*>(dest), c.pos);
    } else if (c.bytes == 8) {
      result = chunk.ReadDouble(reinterpret_cast<double*>(dest), c.pos);
    } else if (c.bytes == 1) {
      bool flag = true;
      result = chunk.ReadFlag(&flag, c.pos);
      if (result < 0) {
        EXPECT_TRUE(flag);
      }
    } else {
      result = chunk.ReadBytes(dest, c.bytes, c.pos);
    }
    EXPECT_EQ(result, c.result);
    if (result < 0) {
      EXPECT_EQ(dest[0], 0xAB);
    }
  }
}

TEST(IStateChunk, NoReadLooksOutsideTheChunk) {
  IStateChunk chunk;
  for (int i = 0; i < 40; ++i) chunk.AppendFlag(i & 1);
  const int counts[] = {INT_MIN, -5, -1, 0, 1, 4, 8, 39, 40, 41, INT_MAX - 40, INT_MAX};
  std::vector<uint8_t> dest(64, 0xCD);
  for (int pos = -45; pos <= 85; ++pos) {
    for (int n : counts) {
      const bool fits = pos >= 0 && n >= 0 && static_cast<int64_t>(pos) + n <= 40;
      const int result = chunk.ReadBytes(dest.data(), n, pos);
      ASSERT_EQ(result, fits ? pos + n : -1) << "pos " << pos << " n " << n;
    }
  }
  for (int pos : {INT_MIN, INT_MAX, INT_MAX - 3}) {
    IText text;
    EXPECT_EQ(chunk.ReadBytes(dest.data(), 4, pos), -1);
    EXPECT_EQ(chunk.ReadText(&text, pos), -1);
  }
}

TEST(IStateChunk, ReadTextFollowsTheStoredLength) {
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    int pos;
    int result;
    const char* text;
  } cases[] = {
      {"plain text", {3, 0, 0, 0, 'a', 'b', 'c'}, 0, 7, "abc"},
      {"text after other bytes", {9, 2, 0, 0, 0, 'x', 'y', 9}, 1, 7, "xy"},
      {"length 0 leaves the text", {0, 0, 0, 0, 'a'}, 0, 4, "old"},
      {"length past the end", {100, 0, 0, 0, 'x', 'y'}, 0, 104, "old"},
      {"length one past the end", {3, 0, 0, 0, 'x', 'y'}, 0, 7, "old"},
      {"largest length does not wrap", {0xFF, 0xFF, 0xFF, 0x7F, 'x'}, 0, INT_MAX, "old"},
      {"embedded zero byte", {5, 0, 0, 0, 'a', 'b', 0, 'c', 'd'}, 0, 9, "ab"},
      {"negative length", {0xFC, 0xFF, 0xFF, 0xFF, 'a'}, 0, 0, "old"},
      {"negative length before the start", {0xF0, 0xFF, 0xFF, 0xFF, 'a'}, 0, -12, "old"},
      {"length cut short", {3, 0, 0}, 0, -1, "old"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    IStateChunk chunk;
    Fill(chunk, c.bytes);
    IText text;
    text.Set("old");
    EXPECT_EQ(chunk.ReadText(&text, c.pos), c.result);
    EXPECT_STREQ(text.Get(), c.text);
  }
}

TEST(IStateChunk, ReadAfterALengthPastTheEndFails) {
  IStateChunk chunk;
  chunk.AppendInt32(100);
  chunk.AppendInt32(5);
  IText text;
  const int next = chunk.ReadText(&text, 0);
  int32_t value = 0;
  EXPECT_EQ(chunk.ReadInt32(&value, next), -1);
  EXPECT_EQ(value, 0);
}

TEST(IStateChunk, TextRoundTrips) {
  IStateChunk chunk;
  chunk.AppendText("first");
  chunk.AppendText("");
  chunk.AppendText("third");
  IText a, b, c;
  b.Set("kept");
  int pos = chunk.ReadText(&a, 0);
  pos = chunk.ReadText(&b, pos);
  pos = chunk.ReadText(&c, pos);
  EXPECT_EQ(pos, chunk.Size());
  EXPECT_STREQ(a.Get(), "first");
  EXPECT_STREQ(b.Get(), "kept");
  EXPECT_STREQ(c.Get(), "third");
}

TEST(IStateChunk, ResizeReturnsThePreviousSizeAndZeroesGainedBytes) {
  IStateChunk chunk;
  Fill(chunk, {1, 2, 3, 4, 5});
  const struct {
    int request;
    int before;
    std::vector<uint8_t> after;
  } steps[] = {
      {3, 5, {1, 2, 3}}, {6, 3, {1, 2, 3, 0, 0, 0}}, {6, 6, {1, 2, 3, 0, 0, 0}}, {-4, 6, {}}, {2, 0, {0, 0}},
      {0, 2, {}},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.request);
    EXPECT_EQ(chunk.Resize(s.request), s.before);
    EXPECT_EQ(Bytes(chunk), s.after);
  }
  EXPECT_EQ(chunk.Data(), nullptr);
}

TEST(IStateChunk, FailedGrowthKeepsTheContents) {
  IStateChunk chunk;
  Fill(chunk, {9, 8, 7});
  EXPECT_EQ(chunk.Resize(INT_MAX), 3);
  EXPECT_EQ(chunk.Size(), 3);
  const uint8_t bytes[4] = {};
  EXPECT_EQ(chunk.AppendBytes(bytes, INT_MAX - 1), -1);
  EXPECT_EQ(chunk.AppendBytes(bytes, -1), -1);
  EXPECT_EQ(Bytes(chunk), (std::vector<uint8_t>{9, 8, 7}));
}

TEST(IStateChunk, AppendsItself) {
  IStateChunk chunk;
  Fill(chunk, {1, 2, 3});
  EXPECT_EQ(chunk.AppendChunk(chunk), 6);
  EXPECT_EQ(chunk.AppendBytes(chunk.Data() + 1, 2), 8);
  EXPECT_EQ(Bytes(chunk), (std::vector<uint8_t>{1, 2, 3, 1, 2, 3, 2, 3}));
  IStateChunk empty;
  EXPECT_EQ(chunk.AppendChunk(empty), 8);
}

TEST(IStateChunk, StorageStaysPutWithinTheFirstAllocation) {
  IStateChunk chunk;
  chunk.AppendDouble(0.0);
  const uint8_t* first = chunk.Data();
  std::vector<uint8_t> rest(3992, 1);
  chunk.AppendBytes(rest.data(), static_cast<int>(rest.size()));
  EXPECT_EQ(chunk.Size(), 4000);
  EXPECT_EQ(chunk.Data(), first);
}

TEST(IStateChunk, ClearReleasesTheBytes) {
  IStateChunk chunk;
  chunk.AppendInt32(1);
  chunk.Clear();
  EXPECT_EQ(chunk.Size(), 0);
  EXPECT_EQ(chunk.Data(), nullptr);
}

TEST(ChunkHeader, WritesMagicAndVersionInPlaceOfTheContents) {
  IStateChunk chunk;
  chunk.AppendDouble(3.0);
  WriteChunkHeader(chunk);
  EXPECT_EQ(Bytes(chunk), (std::vector<uint8_t>{0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00}));
  EXPECT_EQ(std::memcmp(chunk.Data(), "tffp", 4), 0);
}

TEST(ChunkHeader, ReadsPresentAbsentAndTruncatedHeaders) {
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    int pos;
    int32_t version;
    int posAfter;
  } cases[] = {
      {"present", {0x74, 0x66, 0x66, 0x70, 0, 0, 1, 0, 5}, 0, 0x00010000, 8},
      {"older version", {0x74, 0x66, 0x66, 0x70, 0xFF, 0xFF, 0, 0}, 0, 0x0000FFFF, 8},
      {"present after other bytes", {1, 0x74, 0x66, 0x66, 0x70, 0, 0, 1, 0}, 1, 0x00010000, 9},
      {"absent", {0x74, 0x66, 0x66, 0x71, 0, 0, 1, 0}, 0, 0, 0},
      {"version cut short", {0x74, 0x66, 0x66, 0x70, 0, 0, 1}, 0, 0, -1},
      {"magic cut short", {0x74, 0x66, 0x66}, 0, 0, 0},
      {"empty chunk", {}, 0, 0, 0},
      {"negative start", {0x74, 0x66, 0x66, 0x70, 0, 0, 1, 0}, -1, 0, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    IStateChunk chunk;
    Fill(chunk, c.bytes);
    int pos = c.pos;
    EXPECT_EQ(ReadChunkHeader(chunk, pos), c.version);
    EXPECT_EQ(pos, c.posAfter);
  }
}

// Random appends, resizes and reads checked against a plain byte vector; reads start anywhere near the chunk.
TEST(IStateChunk, BehavesLikeAByteVectorUnderRandomUse) {
  std::mt19937 random(12345);
  IStateChunk chunk;
  std::vector<uint8_t> model;
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  for (int step = 0; step < 20000; ++step) {
    const int size = static_cast<int>(model.size());
    switch (pick(0, 5)) {
      case 0: {
        std::vector<uint8_t> bytes(pick(0, 600));
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(pick(0, 3) ? pick(1, 255) : 0);
        ASSERT_EQ(chunk.AppendBytes(bytes.data(), static_cast<int>(bytes.size())),
                  size + static_cast<int>(bytes.size()));
        model.insert(model.end(), bytes.begin(), bytes.end());
        break;
      }
      case 1: {
        const int32_t value = pick(0, 1) ? pick(-8, 40) : pick(INT_MIN, INT_MAX);
        ASSERT_EQ(chunk.AppendInt32(value), size + 4);
        const uint32_t u = static_cast<uint32_t>(value);
        for (int i = 0; i < 4; ++i) model.push_back(static_cast<uint8_t>(u >> (8 * i)));
        break;
      }
      case 2: {
        const int n = pick(-10, size + 5000);
        ASSERT_EQ(chunk.Resize(n), size);
        model.resize(n < 0 ? 0 : n, 0);
        break;
      }
      case 3: {
        const int pos = pick(-8, size + 8);
        const int n = pick(0, 3) ? pick(-2, 40) : pick(INT_MIN, INT_MAX);
        std::vector<uint8_t> dest(48, 0xEE);
        const bool fits = pos >= 0 && n >= 0 && static_cast<int64_t>(pos) + n <= size;
        const int result = chunk.ReadBytes(dest.data(), n, pos);
        ASSERT_EQ(result, fits ? pos + n : -1);
        if (fits) {
          ASSERT_TRUE(std::equal(dest.begin(), dest.begin() + n, model.begin() + pos));
        }
        break;
      }
      default: {
        const int pos = pick(-8, size + 8);
        IText text;
        text.Set("old");
        std::string expectedText = "old";
        int expected = -1;
        if (pos >= 0 && pos + 4 <= size) {
          int32_t length;
          std::memcpy(&length, model.data() + pos, 4);
          const int64_t end = std::min<int64_t>(static_cast<int64_t>(pos) + 4 + length, INT_MAX);
          expected = static_cast<int>(end);
          if (length >= 1 && end <= size) {
            expectedText.assign(model.begin() + pos + 4, model.begin() + end);
            expectedText.resize(std::strlen(expectedText.c_str()));
          }
        }
        ASSERT_EQ(chunk.ReadText(&text, pos), expected);
        ASSERT_EQ(text.Get(), expectedText);
      }
    }
    ASSERT_EQ(Bytes(chunk), model);
  }
}

}  // namespace
