// Xvfb on a display number it picks itself, and the Qt application on it,
// for the test programs that show Qt windows. Register it once per program:
//   const auto* const kDisplay = ::testing::AddGlobalTestEnvironment(
//       new vex::test::VirtualDisplay("program_name"));
// A test fails with VirtualDisplay::Missing() when Xvfb is not installed.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "outside_program.h"

namespace vex::test {

class VirtualDisplay : public ::testing::Environment {
 public:
  explicit VirtualDisplay(std::string program) : name_(std::move(program)) {}

  void SetUp() override {
    missing_ = MissingPrerequisite("Xvfb");
    if (!missing_.empty()) return;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_ = ::fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      ::close(fds[0]);
      if (!::freopen("/dev/null", "w", stderr)) ::_exit(127);
      const std::string fd = std::to_string(fds[1]);
      ::execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24",
              "-nolisten", "tcp", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    std::string number;
    pollfd wait{fds[0], POLLIN, 0};
    char c;
    while (::poll(&wait, 1, 20000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not report its display";
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    argv_[0] = name_.data();
    app_ = new QApplication(argc_, argv_);
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  static const std::string& Missing() { return missing_; }

 private:
  inline static std::string missing_;
  std::string name_;
  pid_t pid_ = -1;
  QApplication* app_ = nullptr;
  int argc_ = 1;
  char* argv_[2] = {nullptr, nullptr};
};

}  // namespace vex::test
