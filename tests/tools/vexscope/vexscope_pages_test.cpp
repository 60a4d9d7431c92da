// `vexscope pages` as a child process: the --page words, the default state
// file under $XDG_CONFIG_HOME, and the refusal without a display (which
// leaves no state file behind).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "ToolProcess.h"
#include "pages_command.h"

namespace vex::scope {
namespace {

TEST(VexscopePages, PageWordsDefaultStateFileAndNoDisplay) {
  EXPECT_EQ(PagesValue(""), 0);
  EXPECT_EQ(PagesValue("setups"), 1);
  EXPECT_EQ(PagesValue("search"), 2);
  EXPECT_EQ(PagesValue("setio"), 3);
  EXPECT_EQ(PagesValue("Setups"), std::nullopt);

  const std::string config = std::string(VEX_TEST_TMP) + "/pages-config";
  std::filesystem::remove_all(config);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  EXPECT_EQ(DefaultControlStatePath(), config + "/vexscope/control.json");
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(DefaultControlStatePath(), "/home/someone/.config/vexscope/control.json");

  const test::ToolRun bad = test::RunTool(VEXSCOPE_PATH, {"pages", "--page", "all"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("--page takes setups, search or setio"), std::string::npos) << bad.err;

  // The child runs without a display.
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("QT_QPA_PLATFORM");
  const test::ToolRun run = test::RunTool(VEXSCOPE_PATH, {"pages", "--page", "setio"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("pages needs a display"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(config + "/vexscope/control.json"));
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace vex::scope
