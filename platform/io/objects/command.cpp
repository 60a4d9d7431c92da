#include "command.h"

namespace vex::io {
namespace {
constexpr const char* kSource = "VexIOUtils.Command";
}

HRESULT JoinCommand(std::string_view text, const Variant& argument, std::string* message) {
  if (!message) return com::E_POINTER;
  Variant value = argument.Dereferenced();
  std::string arg;
  if (value.vt() == com::VT_BOOL) {
    arg = value.BoolVal() ? "1" : "0";
  } else if (!value.IsEmpty() && !value.IsMissing()) {
    Bstr as_text;
    HRESULT hr = value.ToBstr(&as_text);
    if (FAILED(hr)) {
      return com::ReportRichError(hr,
                                  "The argument of \"" + std::string(text) + "\" (" +
                                      com::VarTypeName(value.vt()) + ") cannot be written as text.",
                                  kSource);
    }
    arg = as_text.Str();
  }
  *message = std::string(text);
  if (!arg.empty()) {
    if (!message->empty() && message->back() != ' ') *message += ' ';
    *message += arg;
  }
  return com::S_OK;
}

HRESULT IOCommand::SetCommand(const Bstr& text, std::int32_t index) {
  if (index != 0) return com::E_INVALIDARG;
  text_ = text;
  return com::S_OK;
}

HRESULT IOCommand::SetArgument(std::int32_t index, const Variant& value) {
  if (index != 1) return com::E_INVALIDARG;
  argument_ = value.Dereferenced();
  return com::S_OK;
}

HRESULT IOCommand::Send(const Variant& terminator) {
  std::string message;
  HRESULT hr = JoinCommand(text_.View(), argument_, &message);
  if (FAILED(hr)) return hr;
  Bstr tail;
  if (!terminator.IsEmpty() && !terminator.IsMissing() && SUCCEEDED(terminator.ToBstr(&tail)))
    message += tail.Str();
  return write_(message);
}

const com::DispatchTable& IOCommand::Table() {
  static const com::DispatchTable table =
      com::DispatchTableBuilder<IOCommand>("IIOCommand", "IIOCommand")
          .Method("SetCommand", 1, &IIOCommand::SetCommand,
                  {com::In("Text"), com::OptDefault("Index", Variant(0))})
          .Method("SetArgument", 2, &IIOCommand::SetArgument, {com::In("Index"), com::In("Value")})
          .Method("Send", 3, &IIOCommand::Send, {com::OptDefault("Terminator", Variant(""))})
          .Build();
  return table;
}

}  // namespace vex::io
