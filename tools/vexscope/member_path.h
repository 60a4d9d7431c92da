// The words a user types to reach a member of the object model, and the
// values given to it: the runtime's reading of member paths and values
// (vex/com/member_path.h, shared with the other hosts), with its failures
// thrown as UsageError.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vex/com/member_path.h"

namespace vex::scope {

using com::ConstantResolver;
using com::IsIdentifier;
using com::LibraryConstants;
using com::PathSegment;

// Throws UsageError naming the offending part of `text`.
std::vector<PathSegment> ParsePath(std::string_view text);

// The path back as text ("AnalogChannels.Item(2)"), for messages.
std::string PathText(const std::vector<PathSegment>& segments, std::size_t count);

// Reads one value; `constants` may be null (identifiers are then text).
// Throws UsageError for a misspelt constant or an unterminated quote.
com::Variant ParseValue(std::string_view word, const ConstantResolver* constants);

}  // namespace vex::scope
