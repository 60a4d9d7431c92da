// Line settings of a serial port, shared by the address grammar and the
// serial transport.
#pragma once

#include <string>

namespace vex::io {

enum class Parity { kNone, kOdd, kEven, kMark, kSpace };
enum class StopBits { kOne, kOneAndHalf, kTwo };
// XON/XOFF is software flow control by the tty driver; DTR/DSR is done by the
// serial transport with the modem lines.
enum class Handshake { kNone, kXonXoff, kDtrDsr };

struct SerialSettings {
  int baud = 9600;
  int data_bits = 8;
  Parity parity = Parity::kNone;
  StopBits stop_bits = StopBits::kOne;
  Handshake handshake = Handshake::kXonXoff;

  friend bool operator==(const SerialSettings&, const SerialSettings&) = default;
};

// The rates the serial driver (termios) offers, 50 to 4000000 baud; an
// address with another Baud= is refused, and the serial transport refuses
// the same rates.
bool IsSupportedBaudRate(int rate);

// Keyword spellings used in addresses: "NONE", "ODD", ..., "1", "1.5", "2",
// "XON_XOFF", "DTR_DSR".
const char* ParityName(Parity p);
const char* StopBitsName(StopBits s);
const char* HandshakeName(Handshake h);

}  // namespace vex::io
