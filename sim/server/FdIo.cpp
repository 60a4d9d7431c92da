#include "server/FdIo.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace vex::sim {

bool SetNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

ssize_t ReadSome(int fd, std::span<uint8_t> buffer) {
  for (;;) {
    const ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n >= 0 || errno != EINTR) return n;
  }
}

ssize_t WriteSome(int fd, std::span<const uint8_t> data, bool is_socket) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = is_socket ? send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL)
                                : write(fd, data.data() + done, data.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      break;
    } else {
      return -1;
    }
  }
  return static_cast<ssize_t>(done);
}

void CloseFd(int fd) {
  if (fd >= 0) close(fd);
}

}  // namespace vex::sim
