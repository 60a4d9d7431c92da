// ActiveAddressString Let and GPIBInstrumentAddress on any text: a refused
// address changes nothing; an accepted one gives an address that is
// accepted again unchanged.
#include <cstdint>
#include <string>

#include "cio_configuration.h"
#include "fuzz_support.h"
#include "vex/com/error_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vex::control::CIOconfiguration;
  const std::string text(vex::fuzz::AsText(data, size));
  auto config = vex::com::MakeObject<CIOconfiguration>();
  const std::string before = config->ActiveAddress();
  const auto criteria = config->SearchCriteriaBytes();
  if (vex::com::FAILED(config->SetActiveAddress(text))) {
    VEX_FUZZ_CHECK(config->ActiveAddress() == before);
    VEX_FUZZ_CHECK(config->SearchCriteriaBytes() == criteria);
  } else {
    const std::string accepted = config->ActiveAddress();
    auto again = vex::com::MakeObject<CIOconfiguration>();
    VEX_FUZZ_CHECK(vex::com::SUCCEEDED(again->SetActiveAddress(accepted)));
    VEX_FUZZ_CHECK(again->ActiveAddress() == accepted);
    (void)config->AutomationServerAddress();
  }
  std::int32_t address = -1;
  if (vex::com::SUCCEEDED(config->GPIBInstrumentAddress(text, &address)))
    VEX_FUZZ_CHECK(address >= 0 && address <= 30);
  (void)vex::com::SetErrorInfo(0, nullptr);
  return 0;
}
