// The I/O configuration's "SearchCriteria" blob reader: any bytes either
// change nothing (refused) or are taken whole and write back unchanged.
#include <cstdint>
#include <vector>

#include "cio_configuration.h"
#include "fuzz_support.h"
#include "vex/com/error_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vex::control::CIOconfiguration;
  auto config = vex::com::MakeObject<CIOconfiguration>();
  const std::vector<std::uint8_t> before = config->SearchCriteriaBytes();
  const std::span<const std::uint8_t> bytes(data, size);
  if (vex::com::FAILED(config->SetSearchCriteriaBytes(bytes))) {
    VEX_FUZZ_CHECK(config->SearchCriteriaBytes() == before);
  } else {
    const std::vector<std::uint8_t> written = config->SearchCriteriaBytes();
    VEX_FUZZ_CHECK(written.size() == size);
    // Booleans are normalised to 0 and 0xFF; the serial table is kept.
    for (std::size_t i = 0; i < 140; ++i) VEX_FUZZ_CHECK((written[i] != 0) == (data[i] != 0));
    for (std::size_t i = 140; i < size; ++i) VEX_FUZZ_CHECK(written[i] == data[i]);
  }
  (void)vex::com::SetErrorInfo(0, nullptr);
  return 0;
}
