#include "scpi_error_table.h"

#include <algorithm>
#include <array>

namespace vex::server {
namespace {

constexpr std::array<ScpiError, 44> kTable{{
    {999, "Unknown error condition"},
    {0, "No errors"},
    {-100, "Command error (unknown command)"},
    {-101, "Invalid character"},
    {-102, "Syntax error"},
    {-103, "Invalid separator"},
    {-104, "Data type error"},
    {-105, "GET not allowed"},
    {-108, "Parameter not allowed"},
    {-109, "Missing parameter"},
    {-112, "Program mnemonic too long"},
    {-113, "Undefined header"},
    {-121, "Invalid character in number"},
    {-123, "Numeric overflow"},
    {-124, "Too many digits"},
    {-128, "Numeric data not allowed"},
    {-130, "Suffix error"},
    {-131, "Invalid suffix"},
    {-138, "Suffix not allowed"},
    {-140, "Character data error"},
    {-141, "Invalid character data"},
    {-144, "Character data too long"},
    {-148, "Character data not allowed"},
    {-150, "String data error"},
    {-151, "Invalid string data"},
    {-158, "String data not allowed"},
    {-160, "Block data error"},
    {-161, "Invalid block data"},
    {-168, "Block data not allowed"},
    {-170, "Expression error"},
    {-171, "Invalid expression"},
    {-178, "Expression data not allowed"},
    {-200, "Execution error"},
    {-211, "Trigger ignored"},
    {-221, "Settings conflict"},
    {-222, "Data out of range"},
    {-223, "Too much data"},
    {-310, "System error"},
    {-350, "Too many errors"},
    {-400, "Query error"},
    {-410, "Query INTERRUPTED"},
    {-420, "Query UNTERMINATED"},
    {-430, "Query DEADLOCKED"},
    {-440, "Query UNTERMINATED after indefinite response"},
}};

}  // namespace

std::span<const ScpiError> ScpiErrorTable() {
  return kTable;
}

std::string_view ScpiErrorText(std::int32_t number) {
  // Binary search over the descending part, after the "unknown" entry.
  auto first = kTable.begin() + 1;
  auto found = std::lower_bound(first, kTable.end(), number,
                                [](const ScpiError& e, std::int32_t n) { return e.number > n; });
  if (found != kTable.end() && found->number == number) return found->text;
  return kTable[0].text;
}

}  // namespace vex::server
