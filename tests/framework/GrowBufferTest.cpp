#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "framework/GrowBuffer.h"

TEST(GrowBuffer, GrowsByTheFixedRule) {
  // Large granularity: the allocation is rounded to pages less 96 bytes.
  EXPECT_EQ(GrowBuffer::AllocationFor(1, 4096), 4000);
  EXPECT_EQ(GrowBuffer::AllocationFor(5000, 4096), 8096);
  EXPECT_EQ(GrowBuffer::AllocationFor(100000, 65536), ((100000 + 96 + 65536) & ~4095) - 96);
  EXPECT_EQ(GrowBuffer::AllocationFor(20000000, 4096), ((20000000 + 96 + 4194304) & ~4095) - 96);
  // Small granularity: half again, at least the granularity.
  EXPECT_EQ(GrowBuffer::AllocationFor(10, 64), 74);
  EXPECT_EQ(GrowBuffer::AllocationFor(1000, 64), 1500);
  EXPECT_EQ(GrowBuffer::AllocationFor(0, 4096), 0);
  // Beyond 32 bits there is no allocation size.
  EXPECT_EQ(GrowBuffer::AllocationFor(INT_MAX, 4096), -1);
}

TEST(GrowBuffer, KeepsContentAndShrinksOnlyWhenAsked) {
  GrowBuffer b(4096);
  char* p = static_cast<char*>(b.Resize(10));
  ASSERT_NE(p, nullptr);
  std::memcpy(p, "0123456789", 10);
  EXPECT_EQ(b.Allocated(), 4000);
  p = static_cast<char*>(b.Resize(6000));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::memcmp(p, "0123456789", 10), 0);
  EXPECT_EQ(b.Allocated(), 8096);

  b.Resize(5);
  EXPECT_EQ(b.Size(), 5);
  EXPECT_EQ(b.Allocated(), 8096) << "no shrink without the flag";
  b.Resize(4, true);
  EXPECT_EQ(b.Allocated(), 8096) << "small blocks are not worth shrinking";

  b.Resize(100000);
  EXPECT_EQ(b.Allocated(), 147360);
  b.Resize(80000, true);
  EXPECT_EQ(b.Allocated(), 147360) << "above the shrink limit";
  b.Resize(10, true);
  EXPECT_EQ(b.Allocated(), 4000);
  EXPECT_EQ(std::memcmp(b.Data(), "0123", 4), 0);

  b.Resize(-3);
  EXPECT_EQ(b.Size(), 0);
  EXPECT_EQ(b.Data() != nullptr, true) << "size 0 keeps the block unless shrinking";
}

TEST(GrowBuffer, RefusesSizesBeyondThirtyTwoBits) {
  GrowBuffer b(4096);
  b.Resize(100);
  EXPECT_EQ(b.Resize(INT_MAX - 10), nullptr);
  EXPECT_EQ(b.Size(), 100);
}
