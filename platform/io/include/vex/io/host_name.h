// Hosts as this system takes them: in LAN addresses ("TCPIP0::host::...")
// and in the GPIB board map ("n=host[:port]"), with one rule for both.
//
// A host is one of
//   - a numeric IPv4 address, four decimal numbers 0 to 255 ("192.168.1.20");
//   - a numeric IPv6 address ("::1", "fe80::1%eth0"; in an address and
//     before a port it is written in brackets, "[::1]");
//   - a host name of RFC 1123 labels: 1 to 63 letters, digits and '-', not
//     starting or ending with '-', joined by '.', 253 characters at most,
//     and not ending in an all-digit label (that is a bad IPv4 address).
// Only the form is checked: a name is looked up when a connection is made,
// never while an address or a map is parsed.
#pragma once

#include <string>
#include <string_view>

#include "vex/io/status.h"

namespace vex::io {

// Ok for a valid host (without brackets); otherwise kInvalidArgument whose
// message quotes the host and says what is wrong with it.
Status CheckHost(std::string_view host);

struct HostPort {
  std::string host;  // brackets removed from an IPv6 address
  int port = 0;
};

// "host", "host:port", "[v6]", "[v6]:port" or a bare IPv6 address ("::1",
// which takes no port); the port, 1 to 65535, defaults to `default_port`.
// Failures are kInvalidArgument naming what is wrong.
Result<HostPort> ParseHostPort(std::string_view text, int default_port);

// `text` in double quotes for a message, every byte outside printable ASCII
// (and the quote and backslash themselves) written as \xNN, so that any
// bytes from a user, a file or an instrument can be shown on a terminal or
// put in JSON.
std::string QuotedForMessage(std::string_view text);

}  // namespace vex::io
