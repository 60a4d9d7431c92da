// Identification: the "*IDN?" reply split into manufacturer, model, serial
// number and firmware, the model looked up in the model table, the second
// "*IDN?" and the I/O type looked up in the option table; with a failing
// second read, the drain of the instrument's error queue.
//
// The input is parts separated by 0x1E: the I/O type first ("GPIB",
// "ASRL", "TCPIP" ...; a leading '!' turns device-error detection on, a
// leading '=' presets the expected identity to the comma-separated fields
// of the first reply, so that the core compares them), then the replies in
// the order they are read. A part that is exactly 0x18 is a failing read; reads past
// the last part fail too.
#include "core_harness.h"
#include "model_table.h"

using vex::com::FAILED;
using vex::com::HRESULT;
using vex::com::SUCCEEDED;

namespace {

using vex::com::Bstr;
using vex::com::VARIANT_BOOL;

void Script(vex::test::ScriptedIO& io, const std::vector<std::string_view>& parts) {
  io.script.clear();
  for (std::size_t i = 1; i < parts.size(); ++i) {
    if (parts[i] == "\x18")
      io.FailRead();
    else
      io.Reply(std::string(parts[i]));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto parts = vex::fuzz::Split(vex::fuzz::AsText(data, size), '\x1E');
  std::string_view type = parts[0];
  bool detect = false, preset = false;
  for (; !type.empty() && (type[0] == '!' || type[0] == '='); type.remove_prefix(1))
    (type[0] == '!' ? detect : preset) = true;

  vex::fuzz::CoreHarness h;
  h.io->io_type = std::string(type);
  (void)h.core->put_DetectDeviceErrors(detect ? vex::com::VARIANT_TRUE : vex::com::VARIANT_FALSE);

  if (preset && parts.size() > 1) {
    // The expected identity: the fields of the first reply as the client
    // would type them.
    auto fields = vex::fuzz::Split(parts[1], ',');
    fields.resize(4);
    (void)h.core->put_InstrumentManufacturer(Bstr(fields[0]));
    (void)h.core->put_InstrumentModel(Bstr(fields[1]));
    (void)h.core->put_InstrumentSerialNumber(Bstr(fields[2]));
    (void)h.core->put_InstrumentFirmwareVersion(Bstr(fields[3]));
  }

  Script(*h.io, parts);
  HRESULT hr = h.core->put_IO(static_cast<vex::io::IIO*>(h.io.Get()));
  VARIANT_BOOL connected = vex::com::VARIANT_FALSE;
  VEX_FUZZ_CHECK(SUCCEEDED(h.core->IsConnected(&connected)));
  VEX_FUZZ_CHECK((connected == vex::com::VARIANT_TRUE) == SUCCEEDED(hr));
  if (SUCCEEDED(hr)) {
    // Connected; the reads below must not be failed by the device-error
    // check of each member (it would read the queued replies as "*ESR?").
    (void)h.core->put_DetectDeviceErrors(vex::com::VARIANT_FALSE);
    Bstr text;
    VARIANT_BOOL supported = vex::com::VARIANT_FALSE;
    VEX_FUZZ_CHECK(SUCCEEDED(h.core->SupportStatus(&supported)));
    VEX_FUZZ_CHECK(SUCCEEDED(h.core->get_InstrumentManufacturer(&text)));
    VEX_FUZZ_CHECK(SUCCEEDED(h.core->get_InstrumentSerialNumber(&text)));
    VEX_FUZZ_CHECK(SUCCEEDED(h.core->get_InstrumentFirmwareVersion(&text)));
    VEX_FUZZ_CHECK(SUCCEEDED(h.core->ConnectionStatus(&text)));
    // The model record follows the name: supported exactly when the name is
    // one of the table's supported rows.
    bool known = false;
    auto models = vex::server::ModelTable();
    for (int i = 1; i <= vex::server::kSupportedModelCount; ++i)
      known = known || models[i].name == text.View();
    VEX_FUZZ_CHECK((supported == vex::com::VARIANT_TRUE) == known);
    // Only the canonical option names are listed.
    vex::com::Variant options;
    VEX_FUZZ_CHECK(SUCCEEDED(h.core->Options(&options)));
    VEX_FUZZ_CHECK(options.Array() != nullptr);
    auto table = vex::server::OptionTable();
    for (const Bstr& name : options.Array()->Span<const Bstr>()) {
      bool listed = false;
      for (int i = 0; i < vex::server::kCanonicalOptionCount; ++i)
        listed = listed || table[i].name == name.View();
      VEX_FUZZ_CHECK(listed);
    }
    VARIANT_BOOL same = vex::com::VARIANT_FALSE;
    (void)h.core->VerifyDevice(Bstr(), Bstr(), Bstr(), &same);
    VEX_FUZZ_CHECK((same == vex::com::VARIANT_TRUE) == known);
  }
  return 0;
}
