// `vexscope panel` and `vexscope pages` as child processes on a virtual
// display: -a gives the control its address; SIGTERM (as Ctrl+C's SIGINT)
// closes the window the way the user would, so the state file is written
// on the way out; and the control comes from the library the program links
// even when the class registry names another copy.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "vex/com/class_registry.h"
#include "virtual_display.h"

namespace vex::scope {
namespace {

using vex::test::VirtualDisplay;
const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new VirtualDisplay("vexscope_panel_command_test"));

pid_t Start(std::vector<std::string> args) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    const std::string log = std::string(VEX_TEST_TMP) + "/panel-command.stderr";
    if (!std::freopen(log.c_str(), "a", stderr)) ::_exit(126);
    std::vector<char*> argv;
    std::string name = "vexscope";
    argv.push_back(name.data());
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(VEXSCOPE_PATH, argv.data());
    ::_exit(127);
  }
  return pid;
}

// Waits up to `limit` for the child; its exit status, or -1.
int WaitFor(pid_t pid, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return -1;
}

TEST(VexscopePanelCommand, TakesTheAddressAndSavesTheStateWhenTerminated) {
  if (!VirtualDisplay::Missing().empty()) GTEST_FAIL() << VirtualDisplay::Missing();
  const std::string state = std::string(VEX_TEST_TMP) + "/panel-command/state.json";
  std::filesystem::remove_all(std::filesystem::path(state).parent_path());
  const pid_t pid = Start({"--state", state, "-a", "GPIB0::9::INSTR", "panel"});
  ASSERT_GE(pid, 0);
  // Long enough for the window to be on its way; a window that shows only
  // after the signal is closed as well.
  std::this_thread::sleep_for(std::chrono::seconds(3));
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  EXPECT_EQ(WaitFor(pid, std::chrono::seconds(60)), 0);
  std::ifstream in(state);
  ASSERT_TRUE(in) << state;
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("GPIB0::9::INSTR"), std::string::npos) << text.str();
}

TEST(VexscopePanelCommand, ThePagesComeFromTheLinkedLibraryWhateverTheRegistryNames) {
  if (!VirtualDisplay::Missing().empty()) GTEST_FAIL() << VirtualDisplay::Missing();
  // Another copy of the control library, registered in a registry of its
  // own: a copy in the process would not know the program's toolkit and
  // would show the frame nowhere, returning at once.
  const std::string folder = std::string(VEX_TEST_TMP) + "/other-copy";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(VEX9100_PATH, folder + "/libVex9100.so");
  const std::string registry = folder + "/registry.json";
  const char* previous = std::getenv("VEXCOM_REGISTRY");
  const std::string kept = previous ? previous : "";
  ::setenv("VEXCOM_REGISTRY", registry.c_str(), 1);
  ASSERT_EQ(com::RegisterServer(folder + "/libVex9100.so"), com::S_OK);

  const pid_t pid = Start({"--state", folder + "/state.json", "pages", "--page", "setio"});
  ASSERT_GE(pid, 0);
  std::this_thread::sleep_for(std::chrono::seconds(3));
  int status = 0;
  const pid_t ended = ::waitpid(pid, &status, WNOHANG);
  EXPECT_EQ(ended, 0) << "the frame was not shown";
  if (ended == 0) {
    ::kill(pid, SIGTERM);
    EXPECT_EQ(WaitFor(pid, std::chrono::seconds(60)), 0);
  }
  ::setenv("VEXCOM_REGISTRY", kept.c_str(), 1);
}

}  // namespace
}  // namespace vex::scope
