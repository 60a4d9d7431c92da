// The older setup file reader: whatever the bytes, it reads or refuses;
// what it reads carries the any-version mark and at most the file's bytes.
#include "ckordale_file.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vex::control::CKordaleFile;
  vex::control::SetupFileFields fields;
  const bool typed = CKordaleFile::HasTypeAndRomCode({data, size});
  if (!CKordaleFile::Parse({data, size}, &fields, nullptr)) return 0;
  VEX_FUZZ_CHECK(typed);
  VEX_FUZZ_CHECK(fields.version == CKordaleFile::kAnyVersion);
  VEX_FUZZ_CHECK(fields.learn_string.size() + 14 <= size);
  return 0;
}
