#include "vex/io/address.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "vex/io/host_name.h"

namespace vex::io {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// ASCII only: the grammar's words are ASCII, and the case of other bytes
// must not depend on the locale.
std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IEquals(std::string_view a, std::string_view b) {
  return Upper(a) == Upper(b);
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A whole-field decimal number (digits only, no sign) in [lo, hi].
std::optional<int> ParseNumber(std::string_view s, int lo, int hi) {
  if (s.size() > 9 || !AllDigits(s)) return std::nullopt;
  int v = 0;
  std::from_chars(s.data(), s.data() + s.size(), v);
  if (v < lo || v > hi) return std::nullopt;
  return v;
}

// Splits at "::", keeping a bracketed IPv6 host ("[::1]") in one field.
std::vector<std::string_view> SplitFields(std::string_view s) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  bool in_brackets = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '[') in_brackets = true;
    if (s[i] == ']') in_brackets = false;
    if (!in_brackets && s[i] == ':' && i + 1 < s.size() && s[i + 1] == ':') {
      fields.push_back(s.substr(start, i - start));
      start = i + 2;
      ++i;
    }
  }
  fields.push_back(s.substr(start));
  return fields;
}

// "<prefix><digits>" with the digits optional when allow_bare; returns the
// number (0 when bare) or nullopt.
std::optional<int> PrefixNumber(std::string_view field, std::string_view prefix, bool allow_bare,
                                int hi) {
  if (field.size() < prefix.size() || !IEquals(field.substr(0, prefix.size()), prefix))
    return std::nullopt;
  std::string_view digits = field.substr(prefix.size());
  if (digits.empty()) return allow_bare ? std::optional<int>(0) : std::nullopt;
  return ParseNumber(digits, 0, hi);
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  Result<Address> Run() {
    if (text_.size() > kMaxAddressLength)
      return Fail("it is longer than " + std::to_string(kMaxAddressLength) + " characters");
    std::string_view s = Trim(text_);
    if (s.empty()) return Fail("the address is empty");
    std::vector<std::string_view> f = SplitFields(s);
    for (auto& field : f) field = Trim(field);
    std::string head = Upper(f[0]);
    if (head.rfind("COM", 0) == 0) return Serial(f);
    if (head.rfind("GPIB", 0) == 0) return Gpib(f);
    if (head.rfind("TCPIP", 0) == 0) return Tcpip(f);
    if (head.rfind("USB", 0) == 0) return Fail("USB instruments are not supported");
    if (head.rfind("ASRL", 0) == 0) return Fail("serial ports are addressed as COM1 to COM4");
    return Fail("unknown interface " + QuotedForMessage(f[0]) +
                " (expected COMn, GPIBn or TCPIPn)");
  }

 private:
  Status Fail(const std::string& why) const {
    const std::string shown = text_.size() > kMaxAddressLength
                                  ? QuotedForMessage(text_.substr(0, 48)) + "..."
                                  : QuotedForMessage(text_);
    return Status(Errc::kBadAddress, "invalid address " + shown + ": " + why);
  }

  Result<Address> Serial(const std::vector<std::string_view>& f) {
    Address a;
    a.kind = Address::Kind::kSerial;
    auto n = PrefixNumber(f[0], "COM", false, 999);
    if (!n || *n < kFirstComPort || *n > kLastComPort)
      return Fail("serial port must be COM" + std::to_string(kFirstComPort) + " to COM" +
                  std::to_string(kLastComPort));
    a.board = *n;
    if (f.size() == 1) return a;
    if (f.size() > 2) return Fail("a serial port takes one keyword list after \"::\"");
    std::string_view list = f[1];
    if (list.empty()) return Fail("empty keyword list after \"::\"");
    std::size_t pos = 0;
    while (pos <= list.size()) {
      std::size_t comma = list.find(',', pos);
      if (comma == std::string_view::npos) comma = list.size();
      std::string_view item = Trim(list.substr(pos, comma - pos));
      pos = comma + 1;
      if (item.empty()) return Fail("empty keyword in the list");
      std::size_t eq = item.find('=');
      if (eq == std::string_view::npos)
        return Fail("keyword " + QuotedForMessage(item) + " has no \"=value\"");
      std::string key = Upper(Trim(item.substr(0, eq)));
      std::string value = Upper(Trim(item.substr(eq + 1)));
      if (value.empty()) return Fail("keyword " + QuotedForMessage(key) + " has no value");
      Status st = Keyword(a, key, value);
      if (!st.ok()) return st;
    }
    // termios has one "two stop bits" flag, which a UART takes as 1.5 stop
    // bits only at five data bits.
    if (a.stop_bits == StopBits::kOneAndHalf && a.data_bits.value_or(8) != 5)
      return Fail("1.5 stop bits need Size=5");
    return a;
  }

  Status Keyword(Address& a, const std::string& key, const std::string& value) {
    auto dup = [&](bool present) {
      return present ? Fail("keyword " + key + " is given twice") : Status();
    };
    const std::string quoted = QuotedForMessage(value);
    if (key == "BAUD") {
      if (Status st = dup(a.baud.has_value()); !st.ok()) return st;
      auto v = ParseNumber(value, 1, 999999999);
      if (!v) return Fail("baud rate " + quoted + " is not a positive whole number");
      if (!IsSupportedBaudRate(*v))
        return Fail("baud rate " + value +
                    " is not one the serial driver offers (50 to 4000000: 1200, 2400, 4800, "
                    "9600, 19200, 38400, 57600, 115200, ...)");
      a.baud = *v;
    } else if (key == "HANDSHAKE") {
      if (Status st = dup(a.handshake.has_value()); !st.ok()) return st;
      if (value == "NONE")
        a.handshake = Handshake::kNone;
      else if (value == "XON_XOFF")
        a.handshake = Handshake::kXonXoff;
      else if (value == "DTR_DSR")
        a.handshake = Handshake::kDtrDsr;
      else
        return Fail("handshake " + quoted + " is not NONE, XON_XOFF or DTR_DSR");
    } else if (key == "SIZE") {
      if (Status st = dup(a.data_bits.has_value()); !st.ok()) return st;
      auto v = ParseNumber(value, 5, 8);
      if (!v) return Fail("data size " + quoted + " is not 5, 6, 7 or 8");
      a.data_bits = *v;
    } else if (key == "PARITY") {
      if (Status st = dup(a.parity.has_value()); !st.ok()) return st;
      if (value == "NONE")
        a.parity = Parity::kNone;
      else if (value == "ODD")
        a.parity = Parity::kOdd;
      else if (value == "EVEN")
        a.parity = Parity::kEven;
      else if (value == "MARK")
        a.parity = Parity::kMark;
      else if (value == "SPACE")
        a.parity = Parity::kSpace;
      else
        return Fail("parity " + quoted + " is not NONE, ODD, EVEN, MARK or SPACE");
    } else if (key == "STOP") {
      if (Status st = dup(a.stop_bits.has_value()); !st.ok()) return st;
      if (value == "1")
        a.stop_bits = StopBits::kOne;
      else if (value == "1.5")
        a.stop_bits = StopBits::kOneAndHalf;
      else if (value == "2")
        a.stop_bits = StopBits::kTwo;
      else
        return Fail("stop bits " + quoted + " is not 1, 1.5 or 2");
    } else {
      return Fail("unknown keyword " + QuotedForMessage(key) +
                  " (expected Baud, Handshake, Size, Parity or Stop)");
    }
    return {};
  }

  Result<Address> Gpib(const std::vector<std::string_view>& f) {
    Address a;
    a.kind = Address::Kind::kGpib;
    auto n = PrefixNumber(f[0], "GPIB", false, kLastGpibBoard);
    if (!n) return Fail("GPIB board must be GPIB0 to GPIB" + std::to_string(kLastGpibBoard));
    a.board = *n;
    if (f.size() < 2 || f.size() > 3) return Fail("expected GPIBn::address[::INSTR]");
    auto addr = ParseNumber(f[1], 0, kLastGpibAddress);
    if (!addr)
      return Fail("GPIB address " + QuotedForMessage(f[1]) + " is not a number from 0 to " +
                  std::to_string(kLastGpibAddress));
    a.gpib_address = *addr;
    if (f.size() == 3 && !IEquals(f[2], "INSTR")) return Fail("a GPIB address ends in ::INSTR");
    return a;
  }

  Status Host(Address& a, std::string_view h) {
    if (h.empty()) return Fail("the host name is empty");
    if (h.front() == '[') {
      if (h.back() != ']' || h.size() < 3) return Fail("unterminated IPv6 host in brackets");
      h = h.substr(1, h.size() - 2);
      // An IPv6 literal always has a colon; without one the text is no
      // address at all (and would not read back once written unbracketed).
      if (h.find(':') == std::string_view::npos)
        return Fail("host " + QuotedForMessage(h) + " in brackets is not an IPv6 address");
    } else if (h.find(':') != std::string_view::npos) {
      return Fail("host " + QuotedForMessage(h) +
                  " holds ':'; an IPv6 address goes in brackets ([::1]) and a port in a field of "
                  "its own (TCPIPn::host::port::SOCKET)");
    }
    if (Status st = CheckHost(h); !st.ok()) return Fail(st.message());
    a.host = std::string(h);
    return {};
  }

  static bool ValidDevice(const std::string& d) {
    if (auto n = PrefixNumber(d, "inst", false, 999999); n) return true;
    // "gpibN,a": a LAN/GPIB gateway's device at primary address a.
    std::size_t comma = d.find(',');
    if (comma == std::string::npos) return PrefixNumber(d, "gpib", false, 999).has_value();
    return PrefixNumber(d.substr(0, comma), "gpib", false, 999).has_value() &&
           ParseNumber(std::string_view(d).substr(comma + 1), 0, kLastGpibAddress).has_value();
  }

  // "hislipN" or "hislipN,port": a HiSLIP server's sub-address, on the
  // standard port 4880 unless one is given.
  Result<Address> Hislip(Address& a, std::string_view field) {
    a.kind = Address::Kind::kHislip;
    a.port = kHislipPort;
    std::string_view name = field;
    const std::size_t comma = field.find(',');
    if (comma != std::string_view::npos) {
      name = Trim(field.substr(0, comma));
      const std::string_view port = Trim(field.substr(comma + 1));
      auto p = ParseNumber(port, 1, 65535);
      if (!p)
        return Fail("HiSLIP port " + QuotedForMessage(port) + " is not a number from 1 to 65535");
      a.port = *p;
    }
    if (!PrefixNumber(name, "hislip", false, 999999))
      return Fail("device name " + QuotedForMessage(field) + " is not hislipN or hislipN,port");
    a.device = Lower(name);
    return a;
  }

  Result<Address> Tcpip(const std::vector<std::string_view>& f) {
    Address a;
    auto n = PrefixNumber(f[0], "TCPIP", true, 99);
    if (!n) return Fail("LAN interface must be TCPIP or TCPIPn");
    a.board = *n;
    if (f.size() < 2 || f.size() > 4)
      return Fail("expected TCPIPn::host::port::SOCKET or TCPIPn::host[::device][::INSTR]");
    if (Status st = Host(a, f[1]); !st.ok()) return st;
    const std::string last = f.size() > 2 ? Upper(f.back()) : std::string("INSTR");
    if (last == "SOCKET") {
      if (f.size() != 4) return Fail("a socket address needs a port: TCPIPn::host::port::SOCKET");
      auto port = ParseNumber(f[2], 1, 65535);
      if (!port) return Fail("port " + QuotedForMessage(f[2]) + " is not a number from 1 to 65535");
      a.kind = Address::Kind::kTcpSocket;
      a.port = *port;
      return a;
    }
    // VXI-11: "::INSTR" may be left out, as may the device ("inst0").
    const bool ends_in_instr = last == "INSTR";
    if (!ends_in_instr && f.size() == 4) return Fail("a LAN address ends in ::SOCKET or ::INSTR");
    const std::size_t device_fields = f.size() - 2 - (ends_in_instr && f.size() > 2 ? 1 : 0);
    if (device_fields == 1 &&
        IEquals(f[2].substr(0, std::min<std::size_t>(6, f[2].size())), "hislip"))
      return Hislip(a, f[2]);
    a.kind = Address::Kind::kVxi11;
    a.device = device_fields == 1 ? Lower(f[2]) : "inst0";
    if (!ValidDevice(a.device)) {
      std::string why = "device name " + QuotedForMessage(f[2]) + " is not instN or gpibN,a";
      if (AllDigits(f[2])) why += " (a raw socket is TCPIPn::host::port::SOCKET)";
      return Fail(why);
    }
    return a;
  }

  std::string_view text_;
};

}  // namespace

bool IsSupportedBaudRate(int rate) {
  static constexpr int kRates[] = {
      50,     75,     110,     134,     150,     200,     300,     600,     1200,    1800,
      2400,   4800,   9600,    19200,   38400,   57600,   115200,  230400,  460800,  500000,
      576000, 921600, 1000000, 1152000, 1500000, 2000000, 2500000, 3000000, 3500000, 4000000};
  return std::find(std::begin(kRates), std::end(kRates), rate) != std::end(kRates);
}

const char* ParityName(Parity p) {
  switch (p) {
    case Parity::kNone:
      return "NONE";
    case Parity::kOdd:
      return "ODD";
    case Parity::kEven:
      return "EVEN";
    case Parity::kMark:
      return "MARK";
    case Parity::kSpace:
      return "SPACE";
  }
  return "?";
}

const char* StopBitsName(StopBits s) {
  switch (s) {
    case StopBits::kOne:
      return "1";
    case StopBits::kOneAndHalf:
      return "1.5";
    case StopBits::kTwo:
      return "2";
  }
  return "?";
}

const char* HandshakeName(Handshake h) {
  switch (h) {
    case Handshake::kNone:
      return "NONE";
    case Handshake::kXonXoff:
      return "XON_XOFF";
    case Handshake::kDtrDsr:
      return "DTR_DSR";
  }
  return "?";
}

std::string Address::bus_type() const {
  switch (kind) {
    case Kind::kSerial:
      return "ASRL";
    case Kind::kGpib:
      return "GPIB";
    case Kind::kTcpSocket:
    case Kind::kVxi11:
    case Kind::kHislip:
      return "TCPIP";
  }
  return "";
}

SerialSettings Address::serial_settings() const {
  SerialSettings s;
  if (baud) s.baud = *baud;
  if (handshake) s.handshake = *handshake;
  if (data_bits) s.data_bits = *data_bits;
  if (parity) s.parity = *parity;
  if (stop_bits) s.stop_bits = *stop_bits;
  return s;
}

std::string Address::interface_name() const {
  switch (kind) {
    case Kind::kSerial:
      return "COM" + std::to_string(board);
    case Kind::kGpib:
      return "GPIB" + std::to_string(board);
    case Kind::kTcpSocket:
    case Kind::kVxi11:
    case Kind::kHislip:
      return "TCPIP" + std::to_string(board);
  }
  return "";
}

std::string Address::ToString() const {
  std::string out = interface_name();
  switch (kind) {
    case Kind::kSerial: {
      std::string kw;
      auto add = [&kw](const std::string& item) { kw += (kw.empty() ? "" : ",") + item; };
      if (baud) add("Baud=" + std::to_string(*baud));
      if (handshake) add(std::string("Handshake=") + HandshakeName(*handshake));
      if (data_bits) add("Size=" + std::to_string(*data_bits));
      if (parity) add(std::string("Parity=") + ParityName(*parity));
      if (stop_bits) add(std::string("Stop=") + StopBitsName(*stop_bits));
      if (!kw.empty()) out += "::" + kw;
      break;
    }
    case Kind::kGpib:
      out += "::" + std::to_string(gpib_address) + "::INSTR";
      break;
    case Kind::kTcpSocket:
    case Kind::kVxi11:
    case Kind::kHislip: {
      bool v6 = host.find(':') != std::string::npos;
      out += "::" + (v6 ? "[" + host + "]" : host);
      if (kind == Kind::kTcpSocket)
        out += "::" + std::to_string(port) + "::SOCKET";
      else if (kind == Kind::kHislip && port != kHislipPort)
        out += "::" + device + "," + std::to_string(port) + "::INSTR";
      else
        out += "::" + device + "::INSTR";
      break;
    }
  }
  return out;
}

Result<Address> ParseAddress(std::string_view text) {
  return Parser(text).Run();
}

}  // namespace vex::io
