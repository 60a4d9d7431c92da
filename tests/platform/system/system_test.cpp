#include "vex/system/system.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>

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
  std::string from = std::string(VEX_TEST_TMP) + "/copy-from.txt",
              to = std::string(VEX_TEST_TMP) + "/copy-to.txt";
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

TEST(System, TickCountAdvancesWithSleep) {
  std::uint32_t start = vex::system::TickCount();
  vex::system::Sleep(30);
  std::uint32_t elapsed = vex::system::TickCount() - start;
  EXPECT_GE(elapsed, 30u);
  EXPECT_LT(elapsed, 5000u);
}

// A clock the test moves by hand, started 16 ms before the 32-bit counter
// wraps (49.7 days after its start) in its second lap.
std::uint64_t g_fake_ms = 0;
std::uint64_t FakeMilliseconds() {
  return g_fake_ms;
}

TEST(System, TickCountDifferencesSurviveItsWrap) {
  g_fake_ms = (std::uint64_t{2} << 32) - 16;
  auto previous = vex::system::SetTickSource(&FakeMilliseconds);
  std::uint32_t before = vex::system::TickCount();
  EXPECT_EQ(before, 0xFFFFFFF0u);
  g_fake_ms += 48;
  std::uint32_t after = vex::system::TickCount();
  EXPECT_EQ(after, 0x20u) << "the counter keeps the low 32 bits";
  EXPECT_EQ(after - before, 48u);
  EXPECT_EQ(vex::system::SetTickSource(nullptr), &FakeMilliseconds);
  EXPECT_NE(previous, nullptr);
  // The default clock is back: the counter moves with time again.
  std::uint32_t start = vex::system::TickCount();
  vex::system::Sleep(2);
  EXPECT_NE(vex::system::TickCount(), start);
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
