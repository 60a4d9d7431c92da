#include "vex/io/host_name.h"

#include <arpa/inet.h>

#include <algorithm>

namespace vex::io {
namespace {

constexpr std::size_t kMaxHostName = 253;
constexpr std::size_t kMaxLabel = 63;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsLetterOrDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

Status Bad(std::string_view host, const std::string& why) {
  return Status(Errc::kInvalidArgument, "host " + QuotedForMessage(host) + " " + why);
}

Status CheckIpv6(std::string_view host) {
  // A zone ("%eth0") names the link of a link-local address.
  std::string_view numeric = host.substr(0, host.find('%'));
  if (numeric.size() < host.size()) {
    std::string_view zone = host.substr(numeric.size() + 1);
    if (zone.empty() || !std::all_of(zone.begin(), zone.end(), [](char c) {
          return IsLetterOrDigit(c) || c == '-' || c == '_' || c == '.';
        }))
      return Bad(host, "has a bad IPv6 zone after '%'");
  }
  in6_addr parsed{};
  if (::inet_pton(AF_INET6, std::string(numeric).c_str(), &parsed) != 1)
    return Bad(host, "is not an IPv6 address");
  return {};
}

}  // namespace

std::string QuotedForMessage(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\') {
      out += c;
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  return out + "\"";
}

Status CheckHost(std::string_view host) {
  if (host.empty()) return Status(Errc::kInvalidArgument, "the host is empty");
  if (host.find(':') != std::string_view::npos) return CheckIpv6(host);
  if (host.size() > kMaxHostName)
    return Bad(host.substr(0, 32), "... is longer than " + std::to_string(kMaxHostName) +
                                       " characters, the most a host name may have");
  for (char c : host) {
    if (IsLetterOrDigit(c) || c == '-' || c == '.') continue;
    if (IsBlank(c)) return Bad(host, "holds a blank, which no host name may");
    return Bad(host, "is not a host name: " + QuotedForMessage(std::string_view(&c, 1)) +
                         " is not allowed (letters, digits, '-' and '.' only)");
  }
  // The labels between the dots.
  std::string_view last;
  for (std::size_t start = 0;;) {
    const std::size_t dot = std::min(host.find('.', start), host.size());
    const std::string_view label = host.substr(start, dot - start);
    if (label.empty()) return Bad(host, "is not a host name: it has an empty label");
    if (label.size() > kMaxLabel)
      return Bad(host, "is not a host name: a label is longer than " + std::to_string(kMaxLabel) +
                           " characters");
    if (label.front() == '-' || label.back() == '-')
      return Bad(host, "is not a host name: a label starts or ends with '-'");
    last = label;
    if (dot == host.size()) break;
    start = dot + 1;
  }
  // A name never ends in a number: that is a dotted address, and must be a
  // whole one.
  if (std::all_of(last.begin(), last.end(), IsDigit)) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, std::string(host).c_str(), &parsed) != 1)
      return Bad(host, "is not an IPv4 address (four numbers 0 to 255, as in 192.168.1.20)");
  }
  return {};
}

Result<HostPort> ParseHostPort(std::string_view text, int default_port) {
  HostPort out;
  out.port = default_port;
  std::string_view host = text;
  std::string_view port;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos)
      return Status(Errc::kInvalidArgument,
                    QuotedForMessage(text) + " has '[' without its ']' around an IPv6 address");
    host = text.substr(1, close - 1);
    std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':')
        return Status(Errc::kInvalidArgument,
                      QuotedForMessage(text) + " has text after ']' that is not \":port\"");
      port = rest.substr(1);
      if (port.empty())
        return Status(Errc::kInvalidArgument, QuotedForMessage(text) + " has no port after ':'");
    }
    if (host.find(':') == std::string_view::npos)
      return Status(Errc::kInvalidArgument,
                    "host " + QuotedForMessage(host) + " in brackets is not an IPv6 address");
  } else if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
    // One colon separates the port; more make a bare IPv6 address.
    if (text.find(':', colon + 1) == std::string_view::npos) {
      host = text.substr(0, colon);
      port = text.substr(colon + 1);
      if (port.empty())
        return Status(Errc::kInvalidArgument, QuotedForMessage(text) + " has no port after ':'");
    }
  }
  if (Status st = CheckHost(host); !st.ok()) return st;
  out.host = std::string(host);
  if (!port.empty()) {
    int value = 0;
    const bool digits = port.size() <= 5 && std::all_of(port.begin(), port.end(), IsDigit);
    for (char c : port) value = digits ? value * 10 + (c - '0') : 0;
    if (!digits || value < 1 || value > 65535)
      return Status(Errc::kInvalidArgument,
                    "port " + QuotedForMessage(port) + " is not a number from 1 to 65535");
    out.port = value;
  }
  return out;
}

}  // namespace vex::io
