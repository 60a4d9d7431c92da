// The failures the setup classes raise: an object-defined status with the
// source and description texts of the thread's language, after an
// assertion entry in the thread's support logger.
#pragma once

#include <cstdint>
#include <string_view>

#include "vex/com/hresult.h"

namespace vex::control {

// Reading or writing a setup file failed (texts 670 with 673 or 681, or
// with 675 or 682 where the file is named).
inline constexpr com::HRESULT kSetupFileError = com::MakeObjectHresult(31037);  // 8004793D
// A file of neither format (texts 670 and 674).
inline constexpr com::HRESULT kNotASetupFile = com::MakeObjectHresult(0x141);  // 80040141
// A refused name or comment (texts 104 and 106).
inline constexpr com::HRESULT kInvalidPropertyValue = com::MakeObjectHresult(380);  // 8004017C
// A setup that cannot be sent (texts 690 with 691 or 692).
inline constexpr com::HRESULT kSendSetupError = com::MakeObjectHresult(17);  // 80040011
// The keyed collection's errors: a name already present, and a position or
// name that is not there.
inline constexpr com::HRESULT kDuplicateKey = com::MakeHresult(0x800A01C9u);
inline constexpr com::HRESULT kInvalidCallOrArgument = com::MakeHresult(0x800A0005u);

inline constexpr std::int32_t kTextControlError = 104;
inline constexpr std::int32_t kTextInvalidPropertyValue = 106;
inline constexpr std::int32_t kTextOpenSetupFile = 670;
inline constexpr std::int32_t kTextLoadFailed = 673;
inline constexpr std::int32_t kTextNotASetupFile = 674;
inline constexpr std::int32_t kTextLoadFromFileFailed = 675;  // holds %1 for the file
inline constexpr std::int32_t kTextSaveFailed = 681;
inline constexpr std::int32_t kTextSaveToFileFailed = 682;  // holds %1 for the file
inline constexpr std::int32_t kTextSendSetup = 690;
inline constexpr std::int32_t kTextNotCompatible = 691;
inline constexpr std::int32_t kTextSetupEmpty = 692;

// Logs a failed assertion (condition text, module, procedure) and returns
// `status` with its rich error: source text `source_id` and description
// text `description_id` in the thread's language.
com::HRESULT RaiseSetupError(com::HRESULT status, std::int32_t source_id,
                             std::int32_t description_id, std::string_view condition,
                             std::string_view module, std::string_view procedure);

// The same for a failure on the file `file`: the description is text
// `description_id` in the thread's language with the file name in place of
// its "%1", then ": " and `reason` (English: the system's message, or what
// is wrong with the file's content).
com::HRESULT RaiseSetupFileError(std::int32_t description_id, std::string_view file,
                                 std::string_view reason, std::string_view condition,
                                 std::string_view module, std::string_view procedure);

// The collection's own errors, with their fixed texts.
com::HRESULT RaiseDuplicateKey();
com::HRESULT RaiseInvalidCallOrArgument();

// Logs an assertion that only reports (the caller goes on).
void AssertSetup(bool condition, std::string_view condition_text, std::string_view module,
                 std::string_view procedure);

}  // namespace vex::control
