// Deadline-bounded reads and writes on a non-blocking file descriptor, shared
// by the socket and tty transports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "vex/io/transport.h"

namespace vex::io::detail {

enum class FdKind { kSocket, kTty };

// Waits for events on fd until the deadline; retries after signals. Returns
// kTimeout once the deadline passed; *revents gets what poll reported.
Status WaitFd(int fd, short events, Deadline deadline, const std::string& what, short* revents);

// Writes all bytes, looping over partial writes, EAGAIN and EINTR.
Status WriteAll(int fd, FdKind kind, std::span<const std::uint8_t> data, Deadline deadline,
                const std::string& what);
// The same with a timeout that starts when the write first has to wait: a
// write that the kernel takes at once reads no clock.
Status WriteAllWithin(int fd, FdKind kind, std::span<const std::uint8_t> data,
                      std::chrono::milliseconds timeout, const std::string& what);

// One read of what is available, after waiting for input until the deadline.
Result<ReadResult> ReadSome(int fd, FdKind kind, std::span<std::uint8_t> buffer, Deadline deadline,
                            const std::string& what);

// Reads and drops whatever is available now, without waiting.
void DrainInput(int fd, FdKind kind);

// Whether the other end of fd is gone: a socket's peer closed or reset it
// (POLLRDHUP, POLLERR), or a tty hung up (POLLHUP). Does not wait.
bool PeerGone(int fd);

}  // namespace vex::io::detail
