// How results reach standard output.
//
// Text: a scalar on one line (doubles in the shortest form that reads back
// as the same double, booleans as true/false), a one-dimensional array one
// value per line, a two-dimensional array one CSV row per line (first
// index = row), several named values as "name=value" lines (arrays there
// as comma-separated values). JSON (--json): one document per result,
// numbers, booleans and strings as such, arrays as (nested) arrays, named
// values as an object. Every result is flushed as it is printed, so a
// script reading the shell's output sees each one as it comes.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "scope_session.h"
#include "vex/com/variant.h"

namespace vex::scope {

// A scalar as text (arrays are described, not listed).
std::string ScalarText(const com::Variant& value);
// A CSV field: quoted when it holds a comma, a quote or a line end.
std::string CsvField(const std::string& text);
nlohmann::ordered_json ToJson(const com::Variant& value);
// An array as text lines (1-D: one value a line; 2-D: CSV rows).
void WriteArrayLines(std::ostream& out, const com::Variant& array);

class ResultPrinter {
 public:
  ResultPrinter(std::ostream& out, bool json) : out_(out), json_(json) {}

  bool json() const { return json_; }

  // A member's result: its retval alone, or every out value by name.
  void Print(const CallResult& result);
  void PrintValue(const com::Variant& value);
  void PrintNamed(const std::vector<NamedValue>& values);
  // A JSON document as is (JSON mode) or its text form.
  void PrintJsonOrText(const nlohmann::ordered_json& json, const std::string& text);

 private:
  std::ostream& out_;
  bool json_;
};

}  // namespace vex::scope
