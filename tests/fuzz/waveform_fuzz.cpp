// One analog channel's record: the ":WAV:POIN?" reply, the ":WAV:PRE?"
// preamble and the ":WAV:DATA?" block, scaled to seconds and volts.
//
// The input is the points reply, a line feed, the preamble, a line feed,
// and the block's data (any bytes, the rest of the input). The block goes
// to the core framed as the I/O component frames it, with a header that
// announces exactly the data given.
#include <cstdio>

#include "core_harness.h"
#include "vex/server/enums_data.h"

using vex::com::FAILED;
using vex::com::HRESULT;
using vex::com::SUCCEEDED;

namespace {

std::string Block(std::string_view data) {
  char header[16];
  std::snprintf(header, sizeof header, "#8%08zu", data.size());
  return header + std::string(data);
}

std::size_t Elements(const vex::com::Variant& v) {
  return v.Array() ? v.Array()->ElementCount() : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text = vex::fuzz::AsText(data, size);
  std::size_t first = text.find('\n');
  std::size_t second = first == std::string_view::npos ? first : text.find('\n', first + 1);
  if (second == std::string_view::npos) return 0;
  const std::string_view points = text.substr(0, first);
  const std::string_view preamble = text.substr(first + 1, second - first - 1);
  const std::string_view samples = text.substr(second + 1);
  if (samples.size() > 99999999) return 0;

  vex::fuzz::CoreHarness h;
  if (!h.Attach()) return 0;
  h.io->Reply(std::string(points)).Reply(std::string(preamble)).ReplyBlock(Block(samples));
  vex::com::Variant time, volts;
  HRESULT hr = h.core->GetWaveformData(vex::server::VexR7100_Channel_2,
                                       vex::server::VexR7100_DataPoints_ALL, &time, &volts);
  if (SUCCEEDED(hr)) {
    // One time and one voltage per point, and never more points than the
    // block held.
    VEX_FUZZ_CHECK(time.vt() == (vex::com::VT_ARRAY | vex::com::VT_R8));
    VEX_FUZZ_CHECK(volts.vt() == (vex::com::VT_ARRAY | vex::com::VT_R8));
    VEX_FUZZ_CHECK(Elements(time) == Elements(volts));
    VEX_FUZZ_CHECK(Elements(volts) >= 1 && Elements(volts) <= samples.size());
  } else {
    VEX_FUZZ_CHECK(time.vt() == vex::com::VT_EMPTY && volts.vt() == vex::com::VT_EMPTY);
  }
  return 0;
}
