// Helpers the benchmarks share: the simulator as a child process and the
// plain-socket side of the raw baselines.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "vex/com/com.h"

namespace vex::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Starts the simulator serving TCP on a free loopback port; the port, or 0.
inline int StartSimulator(const char* path, pid_t* pid) {
  int out[2];
  if (pipe(out) != 0) return 0;
  *pid = fork();
  if (*pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    execl(path, path, "--tcp", "127.0.0.1:0", nullptr);
    _exit(127);
  }
  close(out[1]);
  std::string banner;
  char c;
  while (banner.find("ready\n") == std::string::npos && read(out[0], &c, 1) == 1) banner += c;
  auto at = banner.find("tcp 127.0.0.1:");
  return at == std::string::npos ? 0 : std::atoi(banner.c_str() + at + 14);
}

inline void StopSimulator(pid_t pid) {
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

inline int RawConnect(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return -1;
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

inline void RawWrite(int fd, std::string_view text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t w = write(fd, text.data() + done, text.size() - done);
    if (w <= 0) std::exit(1);
    done += static_cast<std::size_t>(w);
  }
}

inline void RawReadExact(int fd, void* out, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    ssize_t r = read(fd, static_cast<char*>(out) + done, n - done);
    if (r <= 0) std::exit(1);
    done += static_cast<std::size_t>(r);
  }
}

// Reads one reply line (up to and with its line feed).
inline std::string RawReadLine(int fd) {
  std::string line;
  char buffer[256];
  while (line.empty() || line.back() != '\n') {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) std::exit(1);
    line.append(buffer, static_cast<std::size_t>(n));
  }
  return line;
}

// Reads one definite-length block reply (and its line feed) into a freshly
// allocated `bytes`; returns the data length.
inline std::size_t RawReadBlock(int fd, std::unique_ptr<std::uint8_t[]>* bytes) {
  char head[12] = {};
  RawReadExact(fd, head, 2);
  int digits = head[1] - '0';
  RawReadExact(fd, head + 2, static_cast<std::size_t>(digits));
  std::size_t n = std::strtoull(head + 2, nullptr, 10);
  bytes->reset(new std::uint8_t[n + 1]);
  RawReadExact(fd, bytes->get(), n + 1);
  return n;
}

// Ends the benchmark with the failure's status and description.
inline void Check(vex::com::HRESULT hr, const char* what) {
  if (vex::com::FAILED(hr)) {
    std::fprintf(stderr, "%s failed: 0x%s %s\n", what, vex::com::HresultHex(hr).c_str(),
                 vex::com::TakeErrorDetails().description.CStr());
    std::exit(1);
  }
}

}  // namespace vex::bench
