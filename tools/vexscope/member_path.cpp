#include "member_path.h"

#include "tool_errors.h"

namespace vex::scope {

std::vector<PathSegment> ParsePath(std::string_view text) {
  std::vector<PathSegment> segments;
  std::string message;
  if (FAILED(com::ParseMemberPath(text, &segments, &message))) throw UsageError(message);
  return segments;
}

std::string PathText(const std::vector<PathSegment>& segments, std::size_t count) {
  return com::MemberPathText(segments, count);
}

com::Variant ParseValue(std::string_view word, const ConstantResolver* constants) {
  com::Variant value;
  std::string message;
  if (FAILED(com::ParseMemberValue(word, constants, &value, &message))) throw UsageError(message);
  return value;
}

}  // namespace vex::scope
