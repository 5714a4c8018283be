// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "IPlug/IPtrList.h"
#include "IPlug/IText.h"
#include "IPlug/ITypedBuffer.h"

namespace {

struct Counted {
  explicit Counted(int* deletions) : mDeletions(deletions) {}
  ~Counted() { ++*mDeletions; }
  int* mDeletions;
};

TEST(IPtrList, GetAnswersNoneOutsideTheList) {
  int a = 1, b = 2;
  IPtrList<int> list;
  EXPECT_EQ(list.Get(0), nullptr);
  ASSERT_TRUE(list.Add(&a));
  ASSERT_TRUE(list.Add(&b));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Get(0), &a);
  EXPECT_EQ(list.Get(1), &b);
  EXPECT_EQ(list.Get(-1), nullptr);
  EXPECT_EQ(list.Get(2), nullptr);
}

TEST(IPtrList, OwningListDeletesItsElements) {
  int deletions = 0;
  {
    IPtrList<Counted> list(true);
    list.Add(new Counted(&deletions));
    list.Add(new Counted(&deletions));
  }
  EXPECT_EQ(deletions, 2);
}

TEST(IPtrList, EmptyDeletesOnlyWhenAsked) {
  int deletions = 0;
  Counted kept(&deletions);
  IPtrList<Counted> list;
  list.Add(&kept);
  list.Empty(false);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(deletions, 0);
  list.Add(new Counted(&deletions));
  list.Empty(true);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(deletions, 1);
}

TEST(ITypedBuffer, CountsElementsAndRefusesOversizedCounts) {
  ITypedBuffer<double> values;
  EXPECT_EQ(values.Get(), nullptr);
  ASSERT_TRUE(values.Resize(3));
  values.Get()[2] = 4.5;
  EXPECT_EQ(values.Count(), 3);
  EXPECT_FALSE(values.Resize(INT_MAX / 4));
  EXPECT_EQ(values.Count(), 3);
  EXPECT_EQ(values.Get()[2], 4.5);
  ASSERT_TRUE(values.Resize(-1));
  EXPECT_EQ(values.Count(), 0);
}

TEST(IText, SetsAndReadsText) {
  const struct {
    const char* text;
    int maxLength;
    const char* expected;
  } cases[] = {
      {"hello", 0, "hello"},  {"hello", 3, "hel"}, {"hello", 9, "hello"},
      {"hello", -2, "hello"}, {nullptr, 0, ""},    {"", 0, ""},
  };
  for (const auto& c : cases) {
    IText text;
    EXPECT_TRUE(text.Set(c.text, c.maxLength));
    EXPECT_STREQ(text.Get(), c.expected);
    EXPECT_EQ(text.Length(), static_cast<int>(std::strlen(c.expected)));
  }
}

TEST(IText, ReadsEmptyWhileNeverSet) {
  IText text;
  EXPECT_STREQ(text.Get(), "");
  EXPECT_EQ(text.Length(), 0);
}

TEST(IText, SetsFromItsOwnText) {
  IText text;
  text.Set("abcdefgh");
  EXPECT_TRUE(text.Set(text.Get() + 5));
  EXPECT_STREQ(text.Get(), "fgh");
  EXPECT_TRUE(text.Set(text.Get(), 2));
  EXPECT_STREQ(text.Get(), "fg");
}

}  // namespace
