#include "panel_texts.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <set>

#include "vex/com/class_registry.h"
#include "vex/com/error_info.h"

namespace vex::scope {

PanelTexts::PanelTexts(com::IDispatch* control) {
  com::Variant code;
  if (control && com::SUCCEEDED(com::GetProperty(control, "CountryCode", &code))) {
    std::int32_t number = 1;
    if (com::SUCCEEDED(code.ToI4(&number))) offset_ = OffsetOf(number);
  }
  if (com::FAILED(com::CreateObjectByProgID("VexR7100ResLib.VexR7100Resources", &library_)))
    library_.Reset();
  com::SetErrorInfo(0, nullptr);
}

std::int32_t PanelTexts::OffsetOf(std::int32_t country_code) {
  static constexpr std::int32_t kCodes[] = {1, 33, 34, 39, 49, 81, 82, 886};
  for (std::int32_t i = 0; i < 8; ++i)
    if (kCodes[i] == country_code) return i * 1000;
  return 0;
}

std::string PanelTexts::Text(int base_id) const {
  if (!library_) return {};
  com::Variant text;
  com::Bstr value;
  if (com::FAILED(com::CallMethod(library_.Get(), "LoadResString",
                                  {com::Variant(static_cast<std::int32_t>(offset_ + base_id))},
                                  &text)) ||
      com::FAILED(text.ToBstr(&value))) {
    com::SetErrorInfo(0, nullptr);
    return {};
  }
  return value.Str();
}

std::vector<std::string> WithMnemonics(const std::vector<std::string>& captions) {
  std::set<char> taken;
  std::vector<std::string> marked(captions.size());
  std::vector<bool> done(captions.size(), false);
  // Marks the captions give themselves come first.
  for (std::size_t c = 0; c < captions.size(); ++c) {
    const std::string& text = captions[c];
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
      if (text[i] != '&') continue;
      if (text[i + 1] == '&') {
        ++i;
        continue;
      }
      taken.insert(static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1]))));
      done[c] = true;
      break;
    }
    marked[c] = text;
  }
  // Every caption without a mark of its own gets a letter of its own (a
  // matching of captions to free letters, completed by augmenting paths).
  const auto candidates = [&captions](std::size_t c) {
    std::vector<std::pair<char, std::size_t>> keys;  // letter, position
    const std::string& text = captions[c];
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto byte = static_cast<unsigned char>(text[i]);
      if (byte >= 0x80 || !std::isalnum(byte)) continue;
      const char key = static_cast<char>(std::toupper(byte));
      if (std::none_of(keys.begin(), keys.end(), [key](const auto& k) { return k.first == key; }))
        keys.emplace_back(key, i);
    }
    return keys;
  };
  std::map<char, std::size_t> owner;  // letter -> caption
  std::map<std::size_t, std::size_t> position;
  std::function<bool(std::size_t, std::set<char>&)> assign = [&](std::size_t c,
                                                                 std::set<char>& seen) {
    for (const auto& [key, at] : candidates(c)) {
      if (taken.count(key) || !seen.insert(key).second) continue;
      const auto held = owner.find(key);
      if (held == owner.end() || assign(held->second, seen)) {
        owner[key] = c;
        position[c] = at;
        return true;
      }
    }
    return false;
  };
  // First come, first served; a caption left without a letter then takes
  // one over from others that can move to another of theirs.
  std::vector<std::size_t> left;
  for (std::size_t c = 0; c < captions.size(); ++c) {
    if (done[c]) continue;
    bool got = false;
    for (const auto& [key, at] : candidates(c)) {
      if (taken.count(key) || owner.count(key)) continue;
      owner[key] = c;
      position[c] = at;
      got = true;
      break;
    }
    if (!got) left.push_back(c);
  }
  for (const std::size_t c : left) {
    std::set<char> seen;
    (void)assign(c, seen);
  }
  for (const auto& [c, at] : position) {
    const std::string& text = captions[c];
    marked[c] = text.substr(0, at) + '&' + text.substr(at);
  }
  return marked;
}

}  // namespace vex::scope
