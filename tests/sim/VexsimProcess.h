// Runs the vexsim program as a child process for tests, and small helpers
// for reading and writing descriptors with bounded waits.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vex::sim::test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline constexpr auto kTimeout = 5s;

// Reads from fd until `done` says the bytes are complete, EOF, or the deadline.
// Returns what was read; `eof` tells whether the peer closed.
inline std::string ReadUntil(int fd, const std::function<bool(const std::string&)>& done,
                             bool* eof = nullptr, std::chrono::milliseconds timeout = kTimeout) {
  const auto deadline = Clock::now() + timeout;
  std::string got;
  if (eof != nullptr) *eof = false;
  while (!done(got)) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    char buf[65536];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      if (eof != nullptr) *eof = true;
      break;
    }
    got.append(buf, static_cast<std::size_t>(n));
  }
  return got;
}

inline void WriteAll(int fd, const std::string& s) {
  std::size_t done = 0;
  while (done < s.size()) {
    const ssize_t n = write(fd, s.data() + done, s.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ASSERT_GT(n, 0) << std::strerror(errno);
    done += static_cast<std::size_t>(n);
  }
}

// The vexsim program as a child process, stopped by SIGTERM at the end.
class Vexsim {
 public:
  explicit Vexsim(std::vector<std::string> args, std::string path = VEXSIM_PATH) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      // The simulator ends with the test, even when the test crashes.
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv;
      argv.push_back(path.data());
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(path.c_str(), argv.data());
      _exit(127);
    }
    close(out[1]);
    out_ = out[0];
    // The endpoints are announced before "ready".
    banner_ = ReadUntil(
        out_, [](const std::string& s) { return s.find("ready\n") != std::string::npos; });
  }

  ~Vexsim() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }

  // The value of the banner line starting with `kind` ("tcp", "pty").
  std::string Endpoint(const std::string& kind) const {
    const auto at = banner_.find(kind + " ");
    if (at == std::string::npos) return {};
    const auto end = banner_.find('\n', at);
    return banner_.substr(at + kind.size() + 1, end - at - kind.size() - 1);
  }

  int port() const {
    const std::string ep = Endpoint("tcp");
    return ep.empty() ? 0 : std::stoi(ep.substr(ep.rfind(':') + 1));
  }

  // Sends SIGTERM; the exit status, or -1 when it did not end in time.
  int Terminate() {
    kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + kTimeout;
    while (Clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }

  bool Alive() const { return pid_ > 0 && kill(pid_, 0) == 0; }
  const std::string& banner() const { return banner_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string banner_;
};

}  // namespace vex::sim::test
