// Small wrappers over read and write on non-blocking descriptors.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <span>

namespace vex::sim {

bool SetNonBlocking(int fd);

// One read, retried on EINTR. Returns the count, 0 at end of file, or -1
// with errno set (EAGAIN when nothing is waiting).
ssize_t ReadSome(int fd, std::span<uint8_t> buffer);

// Writes as much as the descriptor takes now, looping over partial writes
// and EINTR; stops at EAGAIN. Returns the bytes written, or -1 on an error
// other than EAGAIN. Sockets are written without raising SIGPIPE.
ssize_t WriteSome(int fd, std::span<const uint8_t> data, bool is_socket);

// Closes a descriptor, ignoring EINTR (Linux releases it either way).
void CloseFd(int fd);

}  // namespace vex::sim
