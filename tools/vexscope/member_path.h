// The words a user types to reach a member of the object model, and the
// values given to it.
//
// A path is Segment('.'Segment)*, a segment a member name with an optional
// argument list in parentheses: "Timebase.HorizontalRange",
// "AnalogChannels.Item(2).ProbeAttenuation", "Trace.Enabled(3)". Arguments
// are separated by commas (a comma or parenthesis inside double quotes is
// text) and are values as below.
//
// A value is read as
//   true / false (any letter case)        VT_BOOL
//   an integer that fits 32 bits           VT_I4
//   a decimal or exponent number           VT_R8
//   an enumeration constant of the server  VT_I4, its value
//   "text" in double quotes                VT_BSTR without the quotes
//   anything else                          VT_BSTR, as typed
// An identifier that has the form of the server's constants (their family
// prefix before the first underscore) but names none is an error, so a
// misspelt constant is reported instead of being sent as text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vex/com/type_library.h"
#include "vex/com/variant.h"

namespace vex::scope {

struct PathSegment {
  std::string name;
  std::vector<std::string> args;  // raw argument words, trimmed
  bool has_parentheses = false;
};

// Throws UsageError naming the offending part of `text`.
std::vector<PathSegment> ParsePath(std::string_view text);

// The path back as text ("AnalogChannels.Item(2)"), for messages.
std::string PathText(const std::vector<PathSegment>& segments, std::size_t count);

// Where enumeration constants come from (the server's type library).
class ConstantResolver {
 public:
  virtual ~ConstantResolver() = default;
  virtual std::optional<std::int32_t> Find(std::string_view name) const = 0;
  // Whether `name` has the form of one of the constants (so that not finding
  // it is a misspelling rather than text).
  virtual bool LooksLikeConstant(std::string_view name) const = 0;
  virtual std::vector<std::string> Nearest(std::string_view name, std::size_t count) const = 0;
};

// The constants of a loaded type library.
class LibraryConstants : public ConstantResolver {
 public:
  explicit LibraryConstants(const com::TypeLibrary* library) : library_(library) {}
  std::optional<std::int32_t> Find(std::string_view name) const override;
  bool LooksLikeConstant(std::string_view name) const override;
  std::vector<std::string> Nearest(std::string_view name, std::size_t count) const override;

 private:
  const com::TypeLibrary* library_;
};

// Whether `word` is an identifier: a letter or '_', then letters, digits, '_'.
bool IsIdentifier(std::string_view word);

// Reads one value as above; `constants` may be null (identifiers are then
// text). Throws UsageError for a misspelt constant or an unterminated quote.
com::Variant ParseValue(std::string_view word, const ConstantResolver* constants);

}  // namespace vex::scope
