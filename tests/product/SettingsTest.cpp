#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/PrivateProfile.h"
#include "tests/product/ProductFixture.h"

namespace {
std::string TempPath(const char* name) {
  std::string dir = testing::TempDir();
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  return dir + name;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

}  // namespace

TEST(ProductSettings, ReadsControllersAndRejectsJunk) {
  std::string path = TempPath("qv-settings-read.ini");
  WriteFile(path, "[Other]\r\nCC7=3\r\n[MIDI Control]\r\nCC7=5\r\nCC10=abc\r\nCC11=0\r\nCC12= -12\r\ncc13=2\r\nCC14=\r\n");
  ProductFixture f(44100, 512, false);
  f.plug->SetSettingsPath(path);
  f.plug->ReadControllerSettings();
  EXPECT_EQ(f.plug->ControllerTarget(7), kMix);
  EXPECT_EQ(f.plug->ControllerTarget(10), -1);
  EXPECT_EQ(f.plug->ControllerTarget(11), 0) << "a text starting with 0 is controller target 0";
  EXPECT_EQ(f.plug->ControllerTarget(12), kFreezeTarget);
  EXPECT_EQ(f.plug->ControllerTarget(13), 2) << "key names ignore case";
  EXPECT_EQ(f.plug->ControllerTarget(14), -1);
  std::remove(path.c_str());

  ProductFixture g(44100, 512, false);
  g.plug->SetSettingsPath(TempPath("qv-no-such-file.ini"));
  g.plug->ReadControllerSettings();
  for (int n = 0; n < kNumControllers; ++n) EXPECT_EQ(g.plug->ControllerTarget(n), -1);
}

TEST(ProductSettings, SavesOnlyNonNegativeAssignments) {
  std::string path = TempPath("qv-settings-write.ini");
  WriteFile(path, "[Keep]\r\nx=1\r\n[MIDI Control]\r\nCC99=4\r\n");
  ProductFixture f(44100, 512, false);
  f.plug->SetSettingsPath(path);
  f.plug->SetControllerTarget(7, 5);
  f.plug->SetControllerTarget(1, kFreezeTarget);
  ASSERT_TRUE(f.plug->WriteControllerSettings());
  EXPECT_EQ(ReadProfileValue(path, "MIDI Control", "CC7", "none", 64), "5");
  EXPECT_EQ(ReadProfileValue(path, "MIDI Control", "CC1", "none", 64), "none");
  EXPECT_EQ(ReadProfileValue(path, "MIDI Control", "CC99", "none", 64), "none") << "the section is emptied first";
  EXPECT_EQ(ReadProfileValue(path, "Keep", "x", "none", 64), "1");

  ProductFixture g(44100, 512, false);
  g.plug->SetSettingsPath(path);
  g.plug->ReadControllerSettings();
  EXPECT_EQ(g.plug->ControllerTarget(7), 5);
  EXPECT_EQ(g.plug->ControllerTarget(1), -1);
  std::remove(path.c_str());

  // An unwritable place is reported to the caller and nothing else happens.
  f.plug->SetSettingsPath(TempPath("qv-no-such-folder/deeper/qvdelay.ini"));
  EXPECT_FALSE(f.plug->WriteControllerSettings());
}

TEST(ProductSettings, ProfileFileRules) {
  std::string path = TempPath("qv-profile.ini");
  std::remove(path.c_str());
  EXPECT_EQ(ReadProfileValue(path, "S", "k", "dflt", 64), "dflt");
  ASSERT_TRUE(WriteProfileValue(path, "S", "k", "one"));
  ASSERT_TRUE(WriteProfileValue(path, "S", "K", "two"));
  ASSERT_TRUE(WriteProfileValue(path, "T", "k", "\"quoted\""));
  EXPECT_EQ(ReadProfileValue(path, "s", "k", "", 64), "two");
  EXPECT_EQ(ReadProfileValue(path, "T", "k", "", 64), "quoted");
  EXPECT_EQ(ReadProfileValue(path, "S", "k", "", 3), "tw") << "at most size - 1 characters";
  ASSERT_TRUE(WriteProfileValue(path, "S", "k", nullptr));
  EXPECT_EQ(ReadProfileValue(path, "S", "k", "gone", 64), "gone");
  ASSERT_TRUE(WriteProfileValue(path, "T", nullptr, nullptr));
  EXPECT_EQ(ReadProfileValue(path, "T", "k", "gone", 64), "gone");
  std::remove(path.c_str());
}
