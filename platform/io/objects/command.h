// The command formatter of an I/O object: a command text and one argument,
// joined and written as one message.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "vex/io/io_interfaces.h"

namespace vex::io {

// The text, one blank unless the text already ends in one (":DIG" is the
// one command text without it), and the argument as text: numbers with "."
// and the shortest form that reads back the same, booleans as 1 and 0.
// An empty argument leaves the text alone.
HRESULT JoinCommand(std::string_view text, const Variant& argument, std::string* message);

class IOCommand : public com::Object<IIOCommand> {
 public:
  // `write` sends one message (the I/O object adds its termination).
  using Writer = std::function<HRESULT(std::string_view message)>;
  explicit IOCommand(Writer write) : write_(std::move(write)) {}

  HRESULT SetCommand(const Bstr& text, std::int32_t index) override;
  HRESULT SetArgument(std::int32_t index, const Variant& value) override;
  HRESULT Send(const Variant& terminator) override;

  VEX_COM_IMPLEMENT_DISPATCH(IOCommand, Table())

 private:
  static const com::DispatchTable& Table();
  Writer write_;
  Bstr text_;
  Variant argument_;
};

}  // namespace vex::io
