#include "scripted_io.h"

namespace vex::test {
namespace {

class ScriptedConnection : public Object<io::IIOConnection> {
 public:
  explicit ScriptedConnection(ScriptedIO* io) : io_(io) {}
  HRESULT Close() override {
    ++io_->close_calls;
    if (FAILED(io_->fail_close))
      return ReportRichError(io_->fail_close, "The scripted close failed.", "ScriptedIO");
    return S_OK;
  }
  VEX_COM_IMPLEMENT_DISPATCH(ScriptedConnection, Table())

 private:
  static const DispatchTable& Table() {
    static const DispatchTable table = DispatchTableBuilder<ScriptedConnection>("IIOConnection")
                                           .Method("Close", 1, &io::IIOConnection::Close)
                                           .Build();
    return table;
  }
  ComPtr<ScriptedIO> io_;
};

}  // namespace

ScriptedIO& ScriptedIO::Reply(std::string text) {
  script.push_back(Step{std::move(text), false, S_OK});
  return *this;
}

ScriptedIO& ScriptedIO::ReplyBlock(std::string with_header) {
  script.push_back(Step{std::move(with_header), true, S_OK});
  return *this;
}

ScriptedIO& ScriptedIO::FailRead(HRESULT status, std::string description) {
  script.push_back(Step{std::move(description), false, status});
  return *this;
}

ScriptedIO& ScriptedIO::Identity(std::string idn) {
  Reply(idn);
  return Reply(idn);
}

ScriptedIO& ScriptedIO::FailWrite(HRESULT status) {
  fail_write = status;
  return *this;
}

HRESULT ScriptedIO::Write(std::string message) {
  if (FAILED(fail_write)) {
    HRESULT hr = fail_write;
    fail_write = S_OK;
    return ReportRichError(hr, "The scripted write failed.", "ScriptedIO");
  }
  sent.push_back(std::move(message));
  return S_OK;
}

HRESULT ScriptedIO::get_ProgID(Bstr* prog_id) {
  *prog_id = Bstr("Test.ScriptedIO.1");
  return S_OK;
}
HRESULT ScriptedIO::IsSupportedAddress(const Bstr&, VARIANT_BOOL* supported) {
  *supported = VARIANT_TRUE;
  return S_OK;
}
HRESULT ScriptedIO::RecoverAfterError() {
  ++recover_calls;
  return S_OK;
}
HRESULT ScriptedIO::Open(const Variant& value) {
  ++open_calls;
  address = value.BstrVal().Str();
  return S_OK;
}
HRESULT ScriptedIO::get_Address(Bstr* out) {
  *out = Bstr(address);
  return S_OK;
}
HRESULT ScriptedIO::Enter(Variant* result, const Bstr&) {
  ComPtr<io::IIOResponse> response;
  HRESULT hr = Read(response.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  ComPtr<io::IIOResponseValues> values;
  response->get_Values(values.ReleaseAndGetAddressOf());
  return values->get_Value(result);
}
HRESULT ScriptedIO::get_Connection(io::IIOConnection** connection) {
  *connection = MakeObject<ScriptedConnection>(this).Detach();
  return S_OK;
}
HRESULT ScriptedIO::get_IOType(Bstr* type) {
  *type = Bstr(io_type);
  return S_OK;
}
HRESULT ScriptedIO::Output(const Variant& buffer) {
  if (buffer.vt() == (VT_ARRAY | VT_UI1)) {
    auto bytes = buffer.Array()->Span<const std::uint8_t>();
    return Write(std::string(bytes.begin(), bytes.end()));
  }
  return Write(buffer.BstrVal().Str());
}
HRESULT ScriptedIO::Read(io::IIOResponse** response) {
  if (script.empty())
    return ReportRichError(E_FAIL, "Timeout expired before the operation completed.", "ScriptedIO");
  Step step = std::move(script.front());
  script.pop_front();
  if (FAILED(step.fail)) return ReportRichError(step.fail, step.reply, "ScriptedIO");
  io::Reply reply;
  reply.bytes.assign(step.reply.begin(), step.reply.end());
  reply.block = step.block;
  if (step.block && step.reply.size() >= 2)
    reply.header_size = 2 + static_cast<std::size_t>(step.reply[1] - '0');
  *response = MakeObject<io::Response>(std::move(reply)).Detach();
  return S_OK;
}
HRESULT ScriptedIO::ReadBytes(std::int32_t* count, SafeArray* buffer) {
  if (script.empty())
    return ReportRichError(E_FAIL, "Timeout expired before the operation completed.", "ScriptedIO");
  std::string bytes = script.front().reply.substr(0, static_cast<std::size_t>(*count));
  script.pop_front();
  *buffer = SafeArray::FromBytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  *count = static_cast<std::int32_t>(bytes.size());
  return S_OK;
}
HRESULT ScriptedIO::WriteBytes(std::int32_t count, const SafeArray& buffer) {
  auto bytes = buffer.Span<const std::uint8_t>();
  return Write(std::string(bytes.begin(), bytes.begin() + count));
}
HRESULT ScriptedIO::get_TermChar(std::int16_t* out) {
  *out = term_char;
  return S_OK;
}
HRESULT ScriptedIO::put_TermChar(std::int16_t value) {
  term_char = value;
  term_chars_set.push_back(value);
  return S_OK;
}
HRESULT ScriptedIO::get_Timeout(std::int32_t* out) {
  *out = timeout;
  return S_OK;
}
HRESULT ScriptedIO::put_Timeout(std::int32_t value) {
  timeout = value;
  timeouts_set.push_back(value);
  return S_OK;
}
HRESULT ScriptedIO::Command(io::IIOCommand** command) {
  *command = MakeObject<io::IOCommand>([this](std::string_view message) {
               return Write(std::string(message));
             }).Detach();
  return S_OK;
}

const DispatchTable& ScriptedIO::Table() {
  static const DispatchTable table = DispatchTableBuilder<ScriptedIO>("IIO").Build();
  return table;
}

}  // namespace vex::test
