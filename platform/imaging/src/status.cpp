#include "vex/imaging/status.h"

#include <array>

namespace vex::imaging {
namespace {

struct StatusRow {
  int code;
  std::string_view name;
  std::string_view text;
};

#define VEX_IMAGING_STATUS_ROW(name, value, text) StatusRow{value, #name, text},
constexpr std::array kStatusRows = {VEX_IMAGING_STATUSES(VEX_IMAGING_STATUS_ROW)};
#undef VEX_IMAGING_STATUS_ROW

const StatusRow* FindRow(int code) {
  for (const StatusRow& row : kStatusRows) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

}  // namespace

std::string ErrorText(int code) {
  if (code >= kLowestErrorCode && code <= kHighestErrorCode) {
    if (const StatusRow* row = FindRow(code)) return std::string(row->text);
  }
  return std::to_string(code);
}

std::string_view ErrorName(int code) {
  const StatusRow* row = FindRow(code);
  return row ? row->name : std::string_view();
}

}  // namespace vex::imaging
