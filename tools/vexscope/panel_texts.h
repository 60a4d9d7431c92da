// The texts of the desktop panel: the control's own (the resource library's
// string tables, in the control's language) where a text exists there, the
// panel's English words otherwise, and the mnemonics of its buttons.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vex/com/com_ptr.h"
#include "vex/com/dispatch.h"

namespace vex::scope {

class PanelTexts {
 public:
  // Reads the control's CountryCode. The resource library is there
  // whenever the control is (the control cannot be made without it).
  explicit PanelTexts(com::IDispatch* control);

  // The string offset of a country code (1 English 0, 33 French 1000, ...,
  // 886 Traditional Chinese 7000); 0 for a code outside the table.
  static std::int32_t OffsetOf(std::int32_t country_code);

  std::int32_t Offset() const { return offset_; }
  // The table's text of `base_id` in the control's language; empty when
  // the library is missing.
  std::string Text(int base_id) const;

 private:
  com::ComPtr<com::IDispatch> library_;
  std::int32_t offset_ = 0;
};

// Marks a mnemonic in each caption ("&Run"): the first ASCII letter or
// digit that no earlier caption took, else none. A caption that has one
// ('&' before a character) keeps it and takes that letter; "&&" is a
// literal ampersand.
std::vector<std::string> WithMnemonics(const std::vector<std::string>& captions);

}  // namespace vex::scope
