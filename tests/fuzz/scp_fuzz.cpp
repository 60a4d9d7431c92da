// The native setup file reader. A file that reads writes back to a file
// that reads to the same fields.
#include "csetup_file.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vex::control::CSetupFile;
  using vex::control::SetupFileFields;
  SetupFileFields fields;
  (void)CSetupFile::HasTypeAndVersion({data, size});
  if (!CSetupFile::Parse({data, size}, &fields, nullptr)) return 0;
  std::string written;
  VEX_FUZZ_CHECK(CSetupFile::Format(fields, &written, nullptr));
  SetupFileFields again;
  VEX_FUZZ_CHECK(CSetupFile::Parse(
      {reinterpret_cast<const std::uint8_t*>(written.data()), written.size()}, &again, nullptr));
  VEX_FUZZ_CHECK(again.model == fields.model && again.manufacturer == fields.manufacturer &&
                 again.serial_number == fields.serial_number && again.version == fields.version &&
                 again.user_comments == fields.user_comments &&
                 again.reserved1 == fields.reserved1 && again.reserved2 == fields.reserved2 &&
                 again.reserved3 == fields.reserved3 && again.learn_string == fields.learn_string);
  return 0;
}
