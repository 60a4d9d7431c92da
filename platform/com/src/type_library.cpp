#include "vex/com/type_library.h"

#include <algorithm>
#include <mutex>

#include "vex/com/numeric_text.h"

namespace vex::com {

bool TypeLibrary::FindConstant(std::string_view constant, std::int32_t* value,
                               const EnumInfo** owner) const {
  for (const auto& e : enums) {
    for (const auto& [name, number] : e.constants) {
      if (EqualsNoCase(name, constant)) {
        if (value) *value = number;
        if (owner) *owner = &e;
        return true;
      }
    }
  }
  return false;
}

const EnumInfo* TypeLibrary::FindEnum(std::string_view enum_name) const {
  for (const auto& e : enums) {
    if (EqualsNoCase(e.name, enum_name)) return &e;
  }
  return nullptr;
}

std::vector<std::string> TypeLibrary::NearestConstants(std::string_view constant,
                                                       std::size_t count) const {
  std::vector<std::pair<std::size_t, std::string>> scored;
  for (const auto& e : enums) {
    for (const auto& c : e.constants) scored.emplace_back(EditDistance(constant, c.first), c.first);
  }
  std::sort(scored.begin(), scored.end());
  std::vector<std::string> names;
  for (std::size_t i = 0; i < scored.size() && i < count; ++i) names.push_back(scored[i].second);
  return names;
}

namespace detail {
std::mutex& LocalTypeLibrariesMutex() {
  static std::mutex mutex;
  return mutex;
}
std::vector<const TypeLibrary*>& LocalTypeLibraries() {
  static std::vector<const TypeLibrary*> libraries;
  return libraries;
}
}  // namespace detail

void RegisterTypeLibrary(const TypeLibrary* library) {
  if (!library) return;
  std::lock_guard lock(detail::LocalTypeLibrariesMutex());
  auto& all = detail::LocalTypeLibraries();
  if (std::find(all.begin(), all.end(), library) == all.end()) all.push_back(library);
}

}  // namespace vex::com
