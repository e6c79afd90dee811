#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/IStateChunk.h"

TEST(IStateChunk, ReadsStopAtTheEnd) {
  IStateChunk c;
  ASSERT_TRUE(c.Put(int32_t(7)));
  ASSERT_TRUE(c.Put(2.5));
  int32_t i = 0;
  double d = 0;
  int pos = c.Get(&i, 0);
  EXPECT_EQ(pos, 4);
  pos = c.Get(&d, pos);
  EXPECT_EQ(pos, 12);
  EXPECT_EQ(i, 7);
  EXPECT_EQ(d, 2.5);
  EXPECT_EQ(c.Get(&i, pos), -1);
  EXPECT_EQ(c.Get(&i, -4), -1);
  EXPECT_EQ(c.Get(&d, 8), -1) << "a partial value is not read";
  // Little-endian on every target.
  EXPECT_EQ(c.Bytes()[0], 7);
  EXPECT_EQ(c.Bytes()[1], 0);
}

TEST(IStateChunk, StringsAreLengthPrefixedAndBounded) {
  IStateChunk c;
  ASSERT_TRUE(c.AppendString("abc"));
  ASSERT_TRUE(c.AppendString(""));
  ASSERT_EQ(c.Size(), 4 + 3 + 4);
  char text[16] = "unchanged";
  EXPECT_EQ(c.ReadString(text, sizeof(text), 0), 7);
  EXPECT_STREQ(text, "abc");
  EXPECT_EQ(c.ReadString(text, sizeof(text), 7), 11);
  EXPECT_STREQ(text, "");

  // Text running past the end: destination unchanged, position beyond the data.
  IStateChunk cut;
  cut.Put(int32_t(10));
  cut.Append("abc", 3);
  std::strcpy(text, "kept");
  EXPECT_EQ(cut.ReadString(text, sizeof(text), 0), 14);
  EXPECT_STREQ(text, "kept");

  // A negative length is a failed read, never a step backwards.
  IStateChunk negative;
  negative.Put(int32_t(-8));
  EXPECT_EQ(negative.ReadString(text, sizeof(text), 0), -1);
  EXPECT_STREQ(text, "kept");

  // A name longer than the destination is cut, and the position still skips all of it.
  IStateChunk longName;
  std::string name(300, 'n');
  longName.AppendString(name.c_str());
  char small[256];
  EXPECT_EQ(longName.ReadString(small, sizeof(small), 0), 304);
  EXPECT_EQ(std::strlen(small), 255u);
}

TEST(IStateChunk, HeaderIsOptional) {
  IStateChunk c;
  WriteChunkHeader(c);
  const unsigned char expected[] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
  ASSERT_EQ(c.Size(), 8);
  EXPECT_EQ(std::memcmp(c.Bytes(), expected, 8), 0);
  int pos = 0;
  EXPECT_EQ(ReadChunkHeader(c, pos), kChunkHeaderVersion);
  EXPECT_EQ(pos, 8);

  IStateChunk plain;
  plain.Put(1.0);
  pos = 0;
  EXPECT_EQ(ReadChunkHeader(plain, pos), 0);
  EXPECT_EQ(pos, 0);

  IStateChunk magicOnly;
  magicOnly.Put(kChunkHeaderMagic);
  pos = 0;
  EXPECT_EQ(ReadChunkHeader(magicOnly, pos), 0);
  EXPECT_EQ(pos, -1);
}

TEST(IStateChunk, ResizeZeroFillsNewBytes) {
  IStateChunk c;
  c.Append("xy", 2);
  ASSERT_TRUE(c.Resize(6));
  EXPECT_EQ(c.Bytes()[1], 'y');
  for (int i = 2; i < 6; ++i) EXPECT_EQ(c.Bytes()[i], 0);
  c.Clear();
  EXPECT_EQ(c.Size(), 0);
}
