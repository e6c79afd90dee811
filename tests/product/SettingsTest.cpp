#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/PrivateProfile.h"
#include "platform/UserFolder.h"
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

namespace {
// A folder that can never be created or written: it lies beneath a plain file.
std::string UnwritableFolder(const char* name) {
  const std::string blocker = TempPath(name);
  WriteFile(blocker, "not a folder");
  return blocker + "/plugins/";
}

std::string UniqueName(const char* stem) {
  return std::string(stem) + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
         std::to_string(std::rand());
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Library file and per-user file as an installed instance would see them.
void UsePaths(ProductFixture& f, const std::string& library, const std::string& user) {
  f.plug->SetSettingsPath(library);
  f.plug->SetUserSettingsPath(user);
  for (int n = 0; n < kNumControllers; ++n) f.plug->SetControllerTarget(n, -1);
  f.plug->ReadControllerSettings();
}
}  // namespace

TEST(ProductSettings, UnwritablePluginFolderSavesToTheUserFolderWhichIsReadFirst) {
  const std::string library = UnwritableFolder("qv-settings-blocker") + "qvdelay.ini";
  const std::string user = TempPath(UniqueName("qv-user-").c_str()) + "/Quorvel Music/Quorvel Brigade Delay/qvdelay.ini";
  ProductFixture f(44100, 512, false);
  UsePaths(f, library, user);
  f.plug->SetControllerTarget(8, kFeedback);
  ASSERT_TRUE(f.plug->WriteControllerSettings()) << "the per-user folder and its parents are created";
  EXPECT_EQ(f.plug->SavedSettingsPath(), user);
  EXPECT_EQ(ReadProfileValue(user, "MIDI Control", "CC8", "none", 64), "2");

  ProductFixture g(44100, 512, false);
  UsePaths(g, library, user);
  EXPECT_EQ(g.plug->ControllerTarget(8), kFeedback);

  // Once the per-user file exists it wins over a file beside the library,
  // and saving keeps going there even where the library's folder is writable.
  const std::string besideLibrary = TempPath(UniqueName("qv-lib-").c_str()) + ".ini";
  WriteFile(besideLibrary, "[MIDI Control]\r\nCC7=5\r\n");
  ProductFixture h(44100, 512, false);
  UsePaths(h, besideLibrary, user);
  EXPECT_EQ(h.plug->ControllerTarget(7), -1);
  EXPECT_EQ(h.plug->ControllerTarget(8), kFeedback);
  h.plug->SetControllerTarget(9, kMix);
  ASSERT_TRUE(h.plug->WriteControllerSettings());
  EXPECT_EQ(h.plug->SavedSettingsPath(), user);
  EXPECT_EQ(ReadAll(besideLibrary), "[MIDI Control]\r\nCC7=5\r\n");
  std::remove(besideLibrary.c_str());
  std::remove(user.c_str());
}

TEST(ProductSettings, WritablePluginFolderKeepsTheFileBesideTheLibrary) {
  const std::string library = TempPath(UniqueName("qv-lib-").c_str()) + ".ini";
  const std::string user = UnwritableFolder("qv-settings-blocker-user") + "qvdelay.ini";
  WriteFile(library, "[MIDI Control]\r\nCC7=5\r\n");
  ProductFixture f(44100, 512, false);
  UsePaths(f, library, user);
  EXPECT_EQ(f.plug->ControllerTarget(7), kMix) << "files already stored beside the library are still read";
  f.plug->SetControllerTarget(3, kQuality);
  ASSERT_TRUE(f.plug->WriteControllerSettings());
  EXPECT_EQ(f.plug->SavedSettingsPath(), library);
  EXPECT_EQ(ReadProfileValue(library, "MIDI Control", "CC3", "none", 64), "6");
  std::remove(library.c_str());

  // Neither place takes the file: the caller hears of it.
  f.plug->SetSettingsPath(UnwritableFolder("qv-settings-blocker") + "qvdelay.ini");
  f.plug->SetUserSettingsPath(user);
  EXPECT_FALSE(f.plug->WriteControllerSettings());
}

// A plug-in folder on a read-only file system, which stops even an
// administrator: the release tests mount one and name it here (natively and,
// as a Windows path, under Wine); it holds a qvdelay.ini assigning CC7 to Mix.
TEST(ProductSettings, ReadOnlyMountedPluginFolder) {
  const char* folder = std::getenv("QV_READONLY_PLUGIN_FOLDER");
  if (!folder || !*folder) GTEST_SKIP() << "QV_READONLY_PLUGIN_FOLDER is not set (the release tests set it)";
  std::string library = folder;
  if (library.back() != '/' && library.back() != '\\') library += '/';
  library += "qvdelay.ini";
  const std::string before = ReadAll(library);
  ASSERT_FALSE(before.empty()) << library;
  const std::string user = TempPath(UniqueName("qv-user-").c_str()) + "/Quorvel Brigade Delay/qvdelay.ini";
  ProductFixture f(44100, 512, false);
  UsePaths(f, library, user);
  EXPECT_EQ(f.plug->ControllerTarget(7), kMix);
  f.plug->SetControllerTarget(9, kTime);
  ASSERT_TRUE(f.plug->WriteControllerSettings());
  EXPECT_EQ(f.plug->SavedSettingsPath(), user);
  EXPECT_EQ(ReadAll(library), before);

  ProductFixture g(44100, 512, false);
  UsePaths(g, library, user);
  EXPECT_EQ(g.plug->ControllerTarget(7), kMix);
  EXPECT_EQ(g.plug->ControllerTarget(9), kTime);
  std::remove(user.c_str());
}

// Where a fresh instance would save for this user: the system's own per-user
// settings folder, under the maker's and the product's names.
TEST(ProductSettings, PerUserFileLivesInTheSystemsSettingsFolder) {
  ProductFixture f(44100, 512, false);
  const std::string user = f.plug->UserSettingsPath();
  const char sep = PathSeparator();
  const std::string tail = std::string("Quorvel Music") + sep + "Quorvel Brigade Delay" + sep + "qvdelay.ini";
  ASSERT_GT(user.size(), tail.size());
  EXPECT_EQ(user.substr(user.size() - tail.size()), tail);
  EXPECT_EQ(user.substr(0, user.size() - tail.size()), UserConfigFolder());
#ifdef _WIN32
  const char* appData = std::getenv("APPDATA");
  if (appData && *appData) {
    EXPECT_EQ(UserConfigFolder(), std::string(appData) + "\\");
  }
#else
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", "/somewhere/config", 1);
  EXPECT_EQ(UserConfigFolder(), "/somewhere/config/");
  setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  EXPECT_EQ(UserConfigFolder(), std::string(std::getenv("HOME")) + "/.config/");
  if (old) {
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
#endif
  EXPECT_FALSE(FolderWritable(UnwritableFolder("qv-settings-blocker")));
  EXPECT_TRUE(FolderWritable(testing::TempDir()));
}
