// `vexscope demo`: the main job in one go on a connected instrument (by
// default the embedded simulator): identify it, autoscale, digitize, read
// every displayed channel into a CSV file and a PNG plot, capture the screen
// as PNG and measure each displayed channel. The files go into `out_dir`
// (made when missing); their paths are printed at the end.
#pragma once

#include <string>
#include <vector>

#include "result_printer.h"
#include "scope_session.h"

namespace vex::scope {

// The measurements of the demo's table (and the panel's), members of
// Measure taking the channel, in the table's order.
const std::vector<std::string>& MeasurementNames();

void RunDemo(ScopeSession& session, ResultPrinter& printer, const std::string& out_dir);

}  // namespace vex::scope
