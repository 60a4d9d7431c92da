// The property-bag file reader (FilePropertyBag::Open reads the file and
// hands its text to FromJson, which is fuzzed here without the file). A
// text it accepts must write back as a text that reads to the same values.
#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "fuzz_support.h"
#include "vex/com/error_info.h"
#include "vex/com/property_bag.h"

using vex::com::FAILED;
using vex::com::HRESULT;
using vex::com::SUCCEEDED;

namespace {

using vex::com::ComPtr;
using vex::com::FilePropertyBag;
using vex::com::MakeObject;
using vex::com::Variant;

// The numbers a bag took from the text are the numbers the text holds, read
// here by the JSON library itself.
void CheckNumbers(std::string_view text, const FilePropertyBag& bag) {
  auto parsed = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object() || !parsed.contains("values")) return;
  for (const auto& [name, entry] : parsed["values"].items()) {
    auto found = bag.Values().find(name);
    VEX_FUZZ_CHECK(found != bag.Values().end());
    if (!entry.is_object() || !entry.contains("value")) continue;
    const auto& number = entry["value"];
    const Variant& value = found->second;
    std::int64_t stored = 0;
    if (value.vt() == vex::com::VT_I2)
      stored = value.I2();
    else if (value.vt() == vex::com::VT_I4)
      stored = value.I4();
    else
      continue;
    if (number.is_number_unsigned())
      VEX_FUZZ_CHECK(stored >= 0 &&
                     number.get<std::uint64_t>() == static_cast<std::uint64_t>(stored));
    else
      VEX_FUZZ_CHECK(number.is_number_integer() && number.get<std::int64_t>() == stored);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto bag = MakeObject<FilePropertyBag>();
  if (FAILED(bag->FromJson(vex::fuzz::AsText(data, size)))) {
    VEX_FUZZ_CHECK(bag->Values().empty());
    (void)vex::com::SetErrorInfo(0, nullptr);
    return 0;
  }
  CheckNumbers(vex::fuzz::AsText(data, size), *bag);
  const std::string written = bag->ToJson();
  auto again = MakeObject<FilePropertyBag>();
  VEX_FUZZ_CHECK(SUCCEEDED(again->FromJson(written)));
  VEX_FUZZ_CHECK(again->ToJson() == written);
  VEX_FUZZ_CHECK(again->Values().size() == bag->Values().size());

  // Every value reads back by name, in its own type and as text.
  for (const auto& [name, value] : bag->Values()) {
    if (name.empty()) continue;  // taken from a file, but no name for Read
    vex::com::Variant stored;
    VEX_FUZZ_CHECK(SUCCEEDED(again->Read(vex::com::Bstr(name), &stored, nullptr)));
    VEX_FUZZ_CHECK(stored.vt() == value.vt());
    vex::com::Variant text("");
    (void)again->Read(vex::com::Bstr(name), &text, nullptr);
  }
  (void)vex::com::SetErrorInfo(0, nullptr);
  return 0;
}
