// The words a person types to reach a member of an object model, and the
// values given to it, read into variants. Shared by every host that takes
// member names as text (the command-line tool, scripts).
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
//   an enumeration constant                VT_I4, its value
//   "text" in double quotes                VT_BSTR without the quotes
//   anything else                          VT_BSTR, as typed
// An identifier that has the form of the known constants (their family
// prefix before the first underscore) but names none is an error, so a
// misspelt constant is reported instead of being sent as text.
//
// Failures return E_INVALIDARG (a path) or DISP_E_TYPEMISMATCH (a value)
// with a message naming the offending part of the text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vex/com/type_library.h"
#include "vex/com/variant.h"

namespace vex::com {

struct PathSegment {
  std::string name;
  std::vector<std::string> args;  // raw argument words, trimmed
  bool has_parentheses = false;
};

[[nodiscard]] HRESULT ParseMemberPath(std::string_view text, std::vector<PathSegment>* out,
                                      std::string* message);

// The first `count` segments back as text ("AnalogChannels.Item(2)").
std::string MemberPathText(const std::vector<PathSegment>& segments, std::size_t count);

// Where enumeration constants come from.
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
  explicit LibraryConstants(const TypeLibrary* library) : library_(library) {}
  std::optional<std::int32_t> Find(std::string_view name) const override;
  bool LooksLikeConstant(std::string_view name) const override;
  std::vector<std::string> Nearest(std::string_view name, std::size_t count) const override;

 private:
  const TypeLibrary* library_;
};

// Whether `word` is an identifier: a letter or '_', then letters, digits, '_'.
bool IsIdentifier(std::string_view word);

// Reads one value as above; `constants` may be null (identifiers are then text).
[[nodiscard]] HRESULT ParseMemberValue(std::string_view word, const ConstantResolver* constants,
                                       Variant* out, std::string* message);

// "a, b, c", for messages listing names.
std::string JoinNames(const std::vector<std::string>& names);

}  // namespace vex::com
