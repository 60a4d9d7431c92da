#include "panel_texts.h"

#include <cctype>
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

std::string PanelTexts::Text(int base_id, const std::string& fallback) const {
  if (!library_) return fallback;
  com::Variant text;
  if (com::FAILED(com::CallMethod(library_.Get(), "LoadResString",
                                  {com::Variant(static_cast<std::int32_t>(offset_ + base_id))},
                                  &text))) {
    com::SetErrorInfo(0, nullptr);
    return fallback;
  }
  com::Bstr value;
  if (com::FAILED(text.ToBstr(&value)) || value.Str().empty()) return fallback;
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
  for (std::size_t c = 0; c < captions.size(); ++c) {
    if (done[c]) continue;
    const std::string& text = captions[c];
    for (std::size_t i = 0; i < text.size(); ++i) {
      const unsigned char ch = static_cast<unsigned char>(text[i]);
      if (ch >= 0x80 || !std::isalnum(ch)) continue;
      const char key = static_cast<char>(std::toupper(ch));
      if (taken.count(key)) continue;
      taken.insert(key);
      marked[c] = text.substr(0, i) + '&' + text.substr(i);
      break;
    }
  }
  return marked;
}

}  // namespace vex::scope
