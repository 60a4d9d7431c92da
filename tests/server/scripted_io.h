// A scripted I/O object for driving the server core without an instrument:
// it records every message written, byte for byte, and answers each read
// with the next scripted reply.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "command.h"
#include "response.h"
#include "vex/io/io_interfaces.h"

namespace vex::test {

using namespace vex::com;

class ScriptedIO : public Object<io::IIO> {
 public:
  struct Step {
    std::string reply;    // without termination character
    bool block = false;   // a definite-length block (header in `reply`)
    HRESULT fail = S_OK;  // a failing read
  };

  // Replies are queued in the order the reads will come.
  ScriptedIO& Reply(std::string text);
  ScriptedIO& ReplyBlock(std::string with_header);
  ScriptedIO& FailRead(HRESULT status = E_FAIL,
                       std::string description = "Timeout expired before the operation completed.");
  // Replies for a standard connection: both *IDN? reads.
  ScriptedIO& Identity(std::string idn = "VEXAN TECHNOLOGIES,VDS3004A,SIM000001,A.03.00");
  // Fails the next write.
  ScriptedIO& FailWrite(HRESULT status = E_FAIL);

  HRESULT get_ProgID(Bstr* prog_id) override;
  HRESULT IsSupportedAddress(const Bstr& address, VARIANT_BOOL* supported) override;
  HRESULT RecoverAfterError() override;
  HRESULT Open(const Variant& address) override;
  HRESULT get_Address(Bstr* address) override;
  HRESULT Enter(Variant* result, const Bstr& format) override;
  HRESULT get_Connection(io::IIOConnection** connection) override;
  HRESULT get_IOType(Bstr* type) override;
  HRESULT Output(const Variant& buffer) override;
  HRESULT Read(io::IIOResponse** response) override;
  HRESULT ReadBytes(std::int32_t* count, SafeArray* buffer) override;
  HRESULT WriteBytes(std::int32_t count, const SafeArray& buffer) override;
  HRESULT get_TermChar(std::int16_t* term_char) override;
  HRESULT put_TermChar(std::int16_t term_char) override;
  HRESULT get_Timeout(std::int32_t* milliseconds) override;
  HRESULT put_Timeout(std::int32_t milliseconds) override;
  HRESULT Command(io::IIOCommand** command) override;
  VEX_COM_IMPLEMENT_DISPATCH(ScriptedIO, Table())

  // What was written, one entry per message.
  std::vector<std::string> sent;
  std::deque<Step> script;
  std::string io_type = "GPIB";
  std::string address = "GPIB0::7::INSTR";
  std::int16_t term_char = 10;
  std::int32_t timeout = 2000;
  std::vector<std::int32_t> timeouts_set;
  std::vector<std::int16_t> term_chars_set;
  int recover_calls = 0;
  int close_calls = 0;
  int open_calls = 0;
  HRESULT fail_write = S_OK;
  HRESULT fail_close = S_OK;

 private:
  static const DispatchTable& Table();
  HRESULT Write(std::string message);
};

}  // namespace vex::test
