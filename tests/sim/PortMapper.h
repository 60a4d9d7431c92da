// A port mapper for tests that speak VXI-11: the one already running, or an
// rpcbind started on a loopback address and stopped at the end. Tests that
// use it link vex::test_support (rpcbind's package is checked first).
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "outside_program.h"

namespace vex::sim::test {

using namespace std::chrono_literals;

inline bool PortMapperAnswers() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(111);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(fd);
  return ok;
}

// A port mapper for the test: the running one, or one started here on the
// loopback interface and stopped at the end.
class PortMapper {
 public:
  PortMapper() {
    if (PortMapperAnswers()) {
      std::fprintf(stderr, "using the port mapper already running\n");
      available_ = true;
      return;
    }
    const std::string missing = vex::test::MissingPrerequisite("rpcbind");
    if (!missing.empty()) {
      ADD_FAILURE() << "no port mapper runs, and " << missing;
      return;
    }
    // This rpcbind adds 127.0.0.1 to the -h list itself and some versions
    // crash on the duplicate, so another loopback address comes first.
    for (const char* host : {"127.0.0.2", "127.0.0.1"}) {
      pid_ = fork();
      if (pid_ == 0) {
        execl("/usr/sbin/rpcbind", "rpcbind", "-f", "-h", host, static_cast<char*>(nullptr));
        execlp("rpcbind", "rpcbind", "-f", "-h", host, static_cast<char*>(nullptr));
        _exit(127);
      }
      const auto deadline = std::chrono::steady_clock::now() + 3s;
      while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
          pid_ = -1;
          break;
        }
        if (PortMapperAnswers()) {
          std::fprintf(stderr, "started rpcbind -f -h %s for this test\n", host);
          available_ = true;
          return;
        }
        std::this_thread::sleep_for(20ms);
      }
      Stop();
    }
  }
  ~PortMapper() { Stop(); }

  bool available() const { return available_; }

 private:
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  pid_t pid_ = -1;
  bool available_ = false;
};

}  // namespace vex::sim::test
