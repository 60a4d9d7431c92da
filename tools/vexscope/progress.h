// Progress of long transfers on standard error, shown only when standard
// error is a terminal, so that scripts and logs never see it. Each step
// overwrites the line of the previous one; the line is cleared at the end.
#pragma once

#include <string_view>

namespace vex::scope {

class Progress {
 public:
  // Enabled when standard error is a terminal.
  Progress();
  explicit Progress(bool enabled) : enabled_(enabled) {}
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  ~Progress() { Done(); }

  void Step(std::string_view what);
  // Clears the line (nothing when no step was shown).
  void Done();

 private:
  bool enabled_;
  bool shown_ = false;
};

}  // namespace vex::scope
