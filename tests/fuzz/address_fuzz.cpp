// The instrument address grammar. An address that parses has a canonical
// text that parses to the same address and is its own canonical text.
#include "fuzz_support.h"
#include "vex/io/address.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = vex::fuzz::AsText(data, size);
  auto parsed = vex::io::ParseAddress(text);
  if (!parsed) return 0;
  const vex::io::Address& address = parsed.value();
  const std::string canonical = address.ToString();
  auto again = vex::io::ParseAddress(canonical);
  if (!again) {
    std::fprintf(stderr, "canonical text \"%s\" does not parse\n", canonical.c_str());
    VEX_FUZZ_CHECK(again.ok());
  }
  VEX_FUZZ_CHECK(again.value() == address);
  VEX_FUZZ_CHECK(again.value().ToString() == canonical);

  // The derived names of every kind of address.
  VEX_FUZZ_CHECK(!address.bus_type().empty());
  VEX_FUZZ_CHECK(!address.interface_name().empty());
  if (address.kind == vex::io::Address::Kind::kSerial) (void)address.serial_settings();
  return 0;
}
