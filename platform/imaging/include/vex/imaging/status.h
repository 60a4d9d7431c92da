// Status codes of the imaging component.
//
// The codes follow the vendor numbering of imaging error codes: 1 is success
// and every failure is a negative number in the range -315..-1. Codes -1, -2,
// -4, -5, -9, -10 and -12 keep the vendor's meaning; the others are the codes
// of that range that this component chose for the failures it can report.
// Callers word a failure with ErrorText, which answers a decimal number for a
// code that has no text, as the vendor's text function does.
//
// ERROR_FILE_LSEEK is never returned here (the writers encode into memory and
// write the file front to back); it keeps its text for callers that word
// codes of other origins.
#pragma once

#include <string>
#include <string_view>

namespace vex::imaging {

// The code table: each code once, with its name and English text. status.cpp
// builds ErrorText and ErrorName from this list and nothing else.
#define VEX_IMAGING_STATUSES(X)                                                   \
  X(SUCCESS, 1, "Function successful")                                            \
  X(ERROR_NO_MEMORY, -1, "Not enough memory available")                           \
  X(ERROR_NO_BITMAP, -2, "Invalid bitmap handle")                                 \
  X(ERROR_FILE_LSEEK, -4, "Error seeking to position")                            \
  X(ERROR_FILE_WRITE, -5, "Error writing file")                                   \
  X(ERROR_FILE_READ, -7, "Error reading file")                                    \
  X(ERROR_INV_FILENAME, -8, "Invalid file name")                                  \
  X(ERROR_FILE_FORMAT, -9, "Invalid file format")                                 \
  X(ERROR_FILENOTFOUND, -10, "File not found")                                    \
  X(ERROR_INV_RANGE, -11, "Invalid image width or height")                        \
  X(ERROR_IMAGE_TYPE, -12, "Image format recognized, but sub-type not supported") \
  X(ERROR_INV_PARAMETER, -13, "Invalid parameter passed")                         \
  X(ERROR_FILE_OPEN, -14, "Not able to open file")                                \
  X(ERROR_UNKNOWN_COMP, -15, "Unknown compression format")                        \
  X(ERROR_FEATURE_NOT_SUPPORTED, -16, "File format not supported for saving")     \
  X(ERROR_QFACTOR, -21, "Invalid quality factor")                                 \
  X(ERROR_BITPERPIXEL, -22, "Bits per pixel not supported by this file format")   \
  X(ERROR_COMPRESSOR, -30, "Error in the image compression library")

#define VEX_IMAGING_DECLARE_STATUS(name, value, text) inline constexpr int name = value;
VEX_IMAGING_STATUSES(VEX_IMAGING_DECLARE_STATUS)
#undef VEX_IMAGING_DECLARE_STATUS

// The range in which failure codes, and so texts, live.
inline constexpr int kLowestErrorCode = -315;
inline constexpr int kHighestErrorCode = -1;

[[nodiscard]] constexpr bool Succeeded(int status) {
  return status == SUCCESS;
}

// The English text of a failure code; for a code of the range without a text,
// and for any code outside the range (success included), the code itself in
// decimal ("-3", "1").
[[nodiscard]] std::string ErrorText(int code);

// The symbolic name of a code of the table ("ERROR_FILE_FORMAT"), or an empty
// view for a code that is not in it.
[[nodiscard]] std::string_view ErrorName(int code);

}  // namespace vex::imaging
