// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "IPlug/IHeapBuffer.h"

namespace {

struct ResizeCase {
  const char* what;
  int granularity;
  int startSize;  // reached by one resize from empty
  int shrinkTo;   // -1: no second step
  int request;
  bool allowShrink;
  int size;
  int capacity;
};

TEST(IHeapBuffer, ResizeFollowsTheGrowthRule) {
  const ResizeCase cases[] = {
      {"first 8 bytes", 4096, 0, -1, 8, true, 8, 4000},
      {"past one page", 4096, 4000, -1, 4001, true, 4001, 8096},
      {"within capacity", 4096, 8, -1, 4000, true, 4000, 4000},
      {"headroom cut to pages", 4096, 0, -1, 10000, true, 10000, 12192},
      {"headroom half the size", 4096, 0, -1, 100000, true, 100000, 147360},
      {"headroom limited to 4 MiB", 4096, 0, -1, 20000000, true, 20000000, 24190880},
      {"shrink above threshold", 4096, 100000, -1, 80000, true, 80000, 147360},
      {"shrink below threshold", 4096, 100000, -1, 50000, true, 50000, 73632},
      {"shrink below threshold, not allowed", 4096, 100000, -1, 50000, false, 50000, 147360},
      {"small shrink keeps block", 4096, 8, -1, 4, true, 4, 4000},
      {"to zero releases", 4096, 8, -1, 0, true, 0, 0},
      {"to zero without release", 4096, 8, -1, 0, false, 0, 4000},
      {"negative counts as zero", 4096, 8, -1, -5, true, 0, 0},
      {"same size", 4096, 100000, 80000, 80000, true, 80000, 147360},
      {"regrow within capacity", 4096, 100000, 80000, 140000, true, 140000, 147360},
      {"small granularity", 128, 0, -1, 10, true, 10, 138},
      {"small granularity, half size", 128, 0, -1, 1000, true, 1000, 1500},
      {"small granularity shrink", 128, 1000, -1, 600, true, 600, 900},
      {"small granularity shrink above threshold", 128, 1000, -1, 800, true, 800, 1500},
  };
  for (const ResizeCase& c : cases) {
    SCOPED_TRACE(c.what);
    IHeapBuffer buffer(c.granularity);
    ASSERT_TRUE(buffer.Resize(c.startSize));
    if (c.shrinkTo >= 0) {
      ASSERT_TRUE(buffer.Resize(c.shrinkTo));
    }
    EXPECT_TRUE(buffer.Resize(c.request, c.allowShrink));
    EXPECT_EQ(buffer.Size(), c.size);
    EXPECT_EQ(buffer.Capacity(), c.capacity);
    EXPECT_EQ(buffer.Data() == nullptr, c.size == 0);
  }
}

TEST(IHeapBuffer, GrowingKeepsContents) {
  IHeapBuffer buffer(128);
  ASSERT_TRUE(buffer.Resize(5));
  std::memcpy(buffer.Data(), "abcde", 5);
  ASSERT_TRUE(buffer.Resize(100000));
  EXPECT_EQ(std::memcmp(buffer.Data(), "abcde", 5), 0);
}

TEST(IHeapBuffer, SizeTooLargeToManageIsRefusedKeepingTheBlock) {
  const struct {
    int granularity;
    int request;
  } cases[] = {{4096, INT_MAX}, {4096, INT_MAX - 4194304 - 90}, {128, INT_MAX}, {128, 1500000000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    IHeapBuffer buffer(c.granularity);
    ASSERT_TRUE(buffer.Resize(3));
    std::memcpy(buffer.Data(), "xyz", 3);
    void* const data = buffer.Data();
    const int capacity = buffer.Capacity();
    EXPECT_FALSE(buffer.Resize(c.request));
    EXPECT_EQ(buffer.Size(), 3);
    EXPECT_EQ(buffer.Capacity(), capacity);
    ASSERT_EQ(buffer.Data(), data);
    EXPECT_EQ(std::memcmp(buffer.Data(), "xyz", 3), 0);
  }
}

TEST(IHeapBuffer, DataIsNoneWhileEmpty) {
  IHeapBuffer buffer;
  EXPECT_EQ(buffer.Data(), nullptr);
  EXPECT_EQ(buffer.Size(), 0);
  EXPECT_EQ(buffer.Capacity(), 0);
  EXPECT_EQ(buffer.Granularity(), 4096);
}

}  // namespace
