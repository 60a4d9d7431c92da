// Numbers in instrument replies.
//
// A reply holds a number when, less the blanks, tabs, carriage returns and
// line feeds around it, it is one IEEE 488.2 decimal number: an optional
// sign, digits with an optional decimal point (NR1 "-12", NR2 "12.5", ".5",
// "12.") and an optional exponent (NR3 "1.25E+01", "1e-3"). Nothing else is
// a number: not an empty reply, not words ("abc", "nan", "inf"), not
// hexadecimal ("0x10", "#H10"), not a second point ("1.2.3"), a unit
// ("1.0 V"), a header (":TIM:RANG 1E-3") or a list ("1,2").
//
// Out of range: a value beyond a double ("1e400") is not recognised either.
// It cannot be handed on as the number the instrument sent, and the
// infinity it would become spoils every calculation made with it. A nonzero
// value below the smallest double ("1e-400") reads as zero with its sign,
// the nearest double. The SCPI markers of an invalid or overranged
// measurement (9.9E37, 9.91E37) are ordinary numbers and pass unchanged.
#pragma once

#include <optional>
#include <string_view>

#include "vex/com/variant.h"

namespace vex::server {

std::optional<double> ParseReplyNumber(std::string_view text);

// The number a query's reply holds: a text reply by the rule above; a reply
// that an I/O object already read as a number when it is finite; any other
// reply (empty, Boolean, an array, an object) holds none.
std::optional<double> ReplyNumber(const com::Variant& reply);

}  // namespace vex::server
