#include <gtest/gtest.h>

#include "framework/HostKind.h"
#include "framework/IMidiEventQueue.h"
#include "framework/IPluginBase.h"

namespace {
IMidiMessage Msg(int offset, int data1) {
  IMidiMessage m;
  m.offset = offset;
  m.status = 0xB0;
  m.data1 = static_cast<uint8_t>(data1);
  return m;
}
}  // namespace

TEST(IMidiEventQueue, KeepsOffsetOrderAndArrivalOrderForTies) {
  IMidiEventQueue q(1024);
  q.Add(Msg(5, 1));
  q.Add(Msg(2, 2));
  q.Add(Msg(5, 3));
  q.Add(Msg(0, 4));
  ASSERT_EQ(q.Back() - q.Front(), 4);
  EXPECT_EQ(q.At(0).data1, 4);
  EXPECT_EQ(q.At(1).data1, 2);
  EXPECT_EQ(q.At(2).data1, 1);
  EXPECT_EQ(q.At(3).data1, 3);
}

TEST(IMidiEventQueue, FixedCapacityCompactsThenDropsAndCounts) {
  IMidiEventQueue q(4);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(q.Add(Msg(i, i)));
  EXPECT_FALSE(q.Add(Msg(9, 9)));
  EXPECT_EQ(q.Dropped(), 1);
  q.Consume(3);
  EXPECT_EQ(q.Front(), 0);
  EXPECT_EQ(q.Back(), 1);
  EXPECT_EQ(q.At(0).data1, 3);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(q.Add(Msg(10 + i, 10 + i)));
  EXPECT_FALSE(q.Add(Msg(20, 20)));
  EXPECT_EQ(q.Capacity(), 4) << "never grows";
  EXPECT_EQ(q.Dropped(), 2);
  q.Consume(100);
  EXPECT_TRUE(q.Empty());
  IMidiEventQueue none(0);  // memory that could not be had: everything is dropped
  EXPECT_FALSE(none.Add(Msg(0, 0)));
  EXPECT_EQ(none.Dropped(), 1);
}

TEST(HostKind, TableOrderDecides) {
  EXPECT_EQ(HostKindFromName("Nuendo and CUBASE"), kHostCubase);
  EXPECT_EQ(HostKindFromName("REAPER"), kHostReaper);
  EXPECT_EQ(HostKindFromName("Deliverance"), kHostAbletonLive) << "'live' inside a longer word";
  EXPECT_EQ(HostKindFromName("Cubase Live"), kHostCubase);
  EXPECT_EQ(HostKindFromName("Renoise"), kHostRenoise);
  EXPECT_EQ(HostKindFromName("Digital Performer"), kHostDigitalPerformer);
  EXPECT_EQ(HostKindFromName(""), kHostUnknown);
  EXPECT_EQ(HostKindFromName("qvhost"), kHostUnknown);
}

TEST(ChannelConfig, ParsesPairsAndKeepsBadTokens) {
  auto c = ParseChannelConfigs("1-1 2-2");
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].inputs, 1);
  EXPECT_EQ(c[1].outputs, 2);
  auto bad = ParseChannelConfigs("x 0-4");
  ASSERT_EQ(bad.size(), 2u);
  EXPECT_EQ(bad[0].inputs, 0);
  EXPECT_EQ(bad[0].outputs, 0);
  EXPECT_EQ(bad[1].outputs, 4);
}
