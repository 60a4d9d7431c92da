// The ":SYST:ERR?" reply: an error number, a comma and a quoted text, as the
// instrument's error queue gives it, and everything an instrument or a line
// fault might send instead.
#include "core_harness.h"

using vex::com::HRESULT;
using vex::com::SUCCEEDED;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string reply(vex::fuzz::AsText(data, size));
  vex::fuzz::CoreHarness h;
  if (!h.Attach()) return 0;

  // Twice: with the device-error check off, and on (its "*ESR?" read then
  // finds no reply queued and fails).
  for (bool detect : {false, true}) {
    (void)h.core->put_DetectDeviceErrors(detect ? vex::com::VARIANT_TRUE : vex::com::VARIANT_FALSE);
    h.io->script.clear();
    h.io->Reply(reply);
    std::int32_t number = -12345;
    vex::com::Bstr description(std::string_view("unset"));
    HRESULT hr = h.core->QueryInstrumentError(&number, &description);
    // The outputs are defined on every path; a reply with no fields gives
    // the status 1 with nothing in them.
    VEX_FUZZ_CHECK(number != -12345 && !description.IsNull());
    if (hr == 1) VEX_FUZZ_CHECK(number == 0 && description.View().empty());
    VEX_FUZZ_CHECK(h.io->sent.size() >= 1 && h.io->sent[0] == ":SYST:ERR?");
    h.io->sent.clear();
    vex::fuzz::ClearErrorInfo();
  }
  return 0;
}
