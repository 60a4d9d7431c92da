#include "vex/com/hresult.h"

#include <cstdio>

namespace vex::com {
namespace {

struct CodeEntry {
  HRESULT code;
  const char* name;
  const char* text;
};

#define VEX_COM_HRESULT_ENTRY(name, bits, text) CodeEntry{MakeHresult(bits), #name, text},
constexpr CodeEntry kCodes[] = {VEX_COM_HRESULTS(VEX_COM_HRESULT_ENTRY)};
#undef VEX_COM_HRESULT_ENTRY

const CodeEntry* Find(HRESULT hr) {
  for (const auto& entry : kCodes) {
    if (entry.code == hr) return &entry;
  }
  return nullptr;
}

}  // namespace

std::string HresultHex(HRESULT hr) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(hr));
  return buffer;
}

std::string HresultName(HRESULT hr) {
  const CodeEntry* entry = Find(hr);
  return entry ? entry->name : "0x" + HresultHex(hr);
}

std::string HresultText(HRESULT hr) {
  const CodeEntry* entry = Find(hr);
  return entry ? entry->text : "";
}

}  // namespace vex::com
