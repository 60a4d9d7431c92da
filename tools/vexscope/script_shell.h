// `vexscope shell`: the session commands read from a stream, one a line, all
// on the one connection made at the start. Blank lines and lines starting
// with '#' are skipped; words are split as a shell would (double quotes
// group words). Each result is printed (and flushed) as it comes; a line
// that fails prints its error on `errors` and the script goes on.
#pragma once

#include <istream>
#include <ostream>

#include "result_printer.h"
#include "scope_session.h"

namespace vex::scope {

// Returns the exit status: 1 when any line failed, else 0.
int RunScript(ScopeSession& session, std::istream& in, ResultPrinter& printer,
              std::ostream& errors);

}  // namespace vex::scope
