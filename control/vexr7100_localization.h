// VexR7100Localization: where the control's user-visible texts come from.
//
// Every text is a numbered string of the resource library
// ("VexR7100ResLib.VexR7100Resources"); the language is chosen by adding a
// per-language offset to the text's base id (English 0, French 1000, ...,
// Traditional Chinese 7000). Each thread has its own resource object and its
// own offset, as each thread of a host has its own apartment: the object is
// created by its class id on the thread's first lookup and kept until the
// thread ends; the offset is 0 until the thread switches language.
//
// There is no fallback text: when the resource library cannot be created,
// the lookup fails with the creation error (REGDB_E_CLASSNOTREG when the
// library is not registered), and the next lookup tries again.
#pragma once

#include <cstdint>
#include <string>

#include "vex/com/hresult.h"

namespace vex::control {

class VexR7100Localization {
 public:
  // This thread's language offset.
  static std::int32_t Offset();
  static void SetOffset(std::int32_t offset);

  // Text `base_id` in this thread's language: LoadResString(offset +
  // base_id). A sum beyond 32 bits fails with DISP_E_OVERFLOW.
  [[nodiscard]] static com::HRESULT Text(std::int32_t base_id, std::string* text);
  // The text, or an empty string when the lookup fails (for captions, where
  // an empty text is what a missing one shows as anyway).
  static std::string TextOrEmpty(std::int32_t base_id);

  // Releases this thread's resource object; the next lookup creates a new one.
  static void ReleaseResources();
};

}  // namespace vex::control
