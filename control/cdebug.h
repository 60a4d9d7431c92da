// CDebug: the control's support logger. Assertions, error reports and trace
// lines go to any combination of an event to the host, a log file in the
// temporary folder and a message box, as the debug mode says; normally all
// are off. One logger per thread (ForThisThread), shared by every object
// of the control on that thread.
//
// The mode is the sum of the bits of the flags that are on: 1 message
// boxes, 2 log file, 4 events, 8 assert (kept and reported, gates nothing).
//
// The log file is "VexScope.DBG" in the temporary folder ($TMPDIR when it is
// an existing directory, else /tmp when it is one). When neither is, there
// is no log file at all. The file is opened without following a symbolic
// link, and a file with more than one link or another owner is refused, so
// another local user cannot make the host truncate or append to a file of
// theirs choosing.
//
// The logger never fails its caller. A log file that cannot be opened or
// written (no temporary folder, a refused file, a full disk) is said once
// per process and file on standard error, naming the file and why:
//
//   vexscope: cannot write the debug log /tmp/VexScope.DBG: Permission denied
//
// and the other outputs go on without it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vex/com/hresult.h"
#include "vex/com/property_bag.h"
#include "vex/ui/toolkit.h"

namespace vex::control {

// Where the logger's notifications go; the scope control forwards them to
// its host (its own SupportMessage event and property-changed sink).
class DebugSink {
 public:
  virtual void SupportMessage(const std::string& text) = 0;
  virtual void PropertyChanged(std::string_view name) = 0;

 protected:
  ~DebugSink() = default;
};

class CDebug {
 public:
  static constexpr std::int32_t kMessageBox = 1;
  static constexpr std::int32_t kLogFile = 2;
  static constexpr std::int32_t kEvents = 4;
  static constexpr std::int32_t kAssert = 8;
  static constexpr com::HRESULT kAssertionCode = com::MakeHresult(0x80040033u);
  static constexpr const char* kLogFileName = "VexScope.DBG";
  static constexpr const char* kBoxTitle = "Remote Support Assistant";

  // `fallback_folder` is the folder used when $TMPDIR is not a directory.
  explicit CDebug(std::string fallback_folder = "/tmp");

  // This thread's logger, created on first use with all outputs off.
  static CDebug& ForThisThread();

  void SetSink(DebugSink* sink) { sink_ = sink; }
  DebugSink* Sink() const { return sink_; }
  // The toolkit that shows the message-box output; none: no boxes.
  void SetToolkit(ui::Toolkit* toolkit) { toolkit_ = toolkit; }

  void Assert(bool condition, std::string_view condition_text, std::string_view module,
              std::string_view procedure, std::string_view location);
  void Message(std::int32_t code, std::string_view text, std::string_view module,
               std::string_view procedure, std::string_view location);
  void Trace(std::string_view text, std::string_view module, std::string_view procedure,
             std::string_view location);

  // Persistence of the four flags.
  [[nodiscard]] com::HRESULT WriteProperties(com::IPropertyBag* bag) const;
  [[nodiscard]] com::HRESULT ReadProperties(com::IPropertyBag* bag);

  std::int32_t DebugMode() const { return CalculateMode(); }
  void SetDebugMode(std::int32_t mode);
  std::int32_t CalculateMode() const;

  // The log file's path as last computed; empty when there is no usable
  // temporary folder (or before the file was first created).
  const std::string& LogFilePath() const { return log_path_; }

  // The report and trace texts, for the outputs and for tests.
  static std::string FormatReport(std::int32_t code, std::string_view text, std::string_view module,
                                  std::string_view procedure, std::string_view location);
  static std::string FormatTrace(std::string_view text, std::string_view module,
                                 std::string_view procedure, std::string_view location);
  // The folder the log goes into: `tmpdir` when it names an existing
  // directory, else `fallback` when it does, else empty. Ends with "/".
  static std::string LogFolder(const char* tmpdir, const std::string& fallback);

 private:
  bool AnyOutput() const { return message_box_ || log_file_ || events_; }
  void Output(const std::string& text);
  void RecreateLogFile();
  // Appends to the log, saying once when that fails.
  void AppendToLog(const std::string& text);
  // Opens the log for writing (truncating or appending), refusing links
  // and other users' files; -1 when it cannot or must not be written (said
  // once on standard error).
  int OpenLog(bool truncate);

  std::string fallback_folder_;
  bool message_box_ = false;
  bool log_file_ = false;
  bool events_ = false;
  bool assert_ = false;
  std::string log_path_;
  DebugSink* sink_ = nullptr;
  ui::Toolkit* toolkit_ = nullptr;
};

}  // namespace vex::control
