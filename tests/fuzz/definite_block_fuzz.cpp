// The IEEE 488.2 definite-length block check, on its own and where the core
// applies it: to setup data a client writes and to setup data the
// instrument returns.
#include <cstdint>
#include <vector>

#include "core_harness.h"
#include "vex/com/safearray.h"

using vex::com::FAILED;
using vex::com::HRESULT;
using vex::com::SUCCEEDED;

namespace {

using vex::com::SafeArray;
using vex::com::Variant;
using vex::server::CCoreVexR7100;

Variant Bytes(const std::uint8_t* data, std::size_t size) {
  return Variant(SafeArray::FromBytes({data, size}));
}

// How many bytes the header "#<n><digits>" and the data it announces take,
// for an input the check accepted.
std::size_t AnnouncedSize(const std::uint8_t* data) {
  std::size_t digits = data[1] - '0';
  std::size_t length = 0;
  for (std::size_t i = 0; i < digits; ++i) length = length * 10 + (data[2 + i] - '0');
  return 2 + digits + length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bool accepted = CCoreVexR7100::IsDefiniteBlock(Bytes(data, size));

  if (accepted) {
    // Exactly the announced bytes still make a block; one byte fewer does
    // not, whatever followed the data.
    const std::size_t announced = AnnouncedSize(data);
    VEX_FUZZ_CHECK(announced <= size);
    VEX_FUZZ_CHECK(CCoreVexR7100::IsDefiniteBlock(Bytes(data, announced)));
    if (announced > 2) VEX_FUZZ_CHECK(!CCoreVexR7100::IsDefiniteBlock(Bytes(data, announced - 1)));
  }
  // The same bytes as text are never a block.
  VEX_FUZZ_CHECK(!CCoreVexR7100::IsDefiniteBlock(Variant(vex::fuzz::AsText(data, size))));

  vex::fuzz::CoreHarness harness;
  if (!harness.Attach()) return 0;

  // A client's setup data: sent only when it is a block, and then as it is.
  HRESULT hr = harness.core->WriteStateData(Bytes(data, size));
  VEX_FUZZ_CHECK(SUCCEEDED(hr) == accepted);
  if (accepted) VEX_FUZZ_CHECK(!harness.io->sent.empty());
  harness.io->sent.clear();
  vex::fuzz::ClearErrorInfo();

  // The instrument's setup data, as a reply the I/O component did not frame
  // as a block: handed on only when the check accepts it.
  harness.io->Reply(std::string(vex::fuzz::AsText(data, size)));
  Variant state;
  hr = harness.core->ReadStateData(&state);
  if (SUCCEEDED(hr)) VEX_FUZZ_CHECK(CCoreVexR7100::IsDefiniteBlock(state));
  return 0;
}
