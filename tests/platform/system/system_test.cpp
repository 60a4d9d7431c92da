#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "vex/system/system.h"

namespace {

void Anchor() {}

TEST(System, ModulePathNamesThisProgram) {
  std::string path = vex::system::ModulePath(reinterpret_cast<const void*>(&Anchor));
  EXPECT_EQ(std::filesystem::path(path).filename(), "vexsystem_test");
  EXPECT_EQ(vex::system::ModuleFolder(reinterpret_cast<const void*>(&Anchor)),
            std::filesystem::path(path).parent_path().string());
  EXPECT_EQ(vex::system::ModulePath(nullptr), "");
}

TEST(System, TempFolderFollowsTmpdir) {
  setenv("TMPDIR", "/var/tmp", 1);
  EXPECT_EQ(vex::system::TempFolder(), "/var/tmp/");
  setenv("TMPDIR", "", 1);
  EXPECT_EQ(vex::system::TempFolder(), "/tmp/");
  unsetenv("TMPDIR");
  EXPECT_EQ(vex::system::TempFolder(), "/tmp/");
}

TEST(System, CopyFileHonoursFailIfExists) {
  std::string from = std::string(VEX_TEST_TMP) + "/copy-from.txt", to = std::string(VEX_TEST_TMP) + "/copy-to.txt";
  std::ofstream(from) << "setup";
  std::filesystem::remove(to);
  EXPECT_EQ(vex::system::CopyFile(from, to, true), 0);
  std::ofstream(from) << "changed";
  EXPECT_NE(vex::system::CopyFile(from, to, true), 0);
  EXPECT_EQ(vex::system::CopyFile(from, to, false), 0);
  std::ifstream in(to);
  std::string text;
  in >> text;
  EXPECT_EQ(text, "changed");
  EXPECT_NE(vex::system::CopyFile("/nonexistent/file", to, false), 0);
}

TEST(System, TickCountAdvancesWithSleepAndDifferencesSurviveWrap) {
  std::uint32_t start = vex::system::TickCount();
  vex::system::Sleep(30);
  std::uint32_t elapsed = vex::system::TickCount() - start;
  EXPECT_GE(elapsed, 30u);
  EXPECT_LT(elapsed, 5000u);
  std::uint32_t before_wrap = 0xFFFFFFF0u, after_wrap = 0x10u;
  EXPECT_EQ(after_wrap - before_wrap, 0x20u);
}

TEST(System, CodeSetFollowsTheLocaleTheHostChose) {
  std::string saved = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  EXPECT_FALSE(vex::system::IsMultiByteCodeSet());
  EXPECT_EQ(vex::system::CodeSet(), "ANSI_X3.4-1968");
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  EXPECT_EQ(vex::system::CodeSet(), "UTF-8");
  EXPECT_TRUE(vex::system::IsMultiByteCodeSet());
  std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
