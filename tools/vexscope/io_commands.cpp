#include "io_commands.h"

#include <iomanip>
#include <memory>
#include <nlohmann/json.hpp>

#include "address_check.h"
#include "control_state.h"
#include "scope_session.h"
#include "server_registration.h"
#include "tool_errors.h"
#include "vex/com/class_registry.h"
#include "vex/com/error_info.h"
#include "vex/control/io_configuration.h"

namespace vex::scope {
namespace {

using control::IIOConfiguration;

constexpr std::int32_t kDefaultWaitMs = 50;

std::string ShownText(std::string text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

void Check(com::HRESULT hr) {
  if (FAILED(hr)) throw TakeAutomationError(hr);
}

// What a probe works with: the configuration, the I/O manager and the wait,
// from the scope control when a state file is in use, else from a bare
// configuration read from the (absent) state.
struct IoContext {
  std::unique_ptr<ScopeSession> control;
  com::ComPtr<IIOConfiguration> configuration;
  com::ComPtr<com::IUnknown> manager;
  std::int32_t wait_ms = kDefaultWaitMs;
};

// Whether the address of the command line (or the environment) becomes the
// control's Address, rather than the state's own.
bool AddressIsSet(StateFile& state, const IoCommandOptions& options) {
  return options.address_given ||
         (!state.Value(kStateAddressKey) && options.address != kDefaultAddress);
}

// The control loaded from the state file, never connected: its own I/O
// configuration, I/O manager and TXDelay serve the probe, and an address
// given on the command line becomes the control's Address.
void PrepareThroughControl(StateFile& state, const IoCommandOptions& options, IoContext& context) {
  context.control = std::make_unique<ScopeSession>();
  SessionOptions session_options;
  session_options.address = options.address;
  const bool set_address = AddressIsSet(state, options);
  context.control->OpenControl(session_options, state.IsSaved() ? state.Bag() : nullptr,
                               set_address, false);
  com::IDispatch* control = context.control->Root();
  com::Variant value;
  Check(com::GetProperty(control, "IOConfigurationControl", &value));
  com::ComPtr<com::IUnknown> configuration(value.Unknown());
  Check(configuration.As(&context.configuration));
  com::Variant manager;
  Check(com::GetProperty(control, "IOManager", &manager));
  if (manager.Dispatch()) context.manager = com::ComPtr<com::IUnknown>(manager.Dispatch());
  com::Variant delay;
  Check(com::GetProperty(control, "TXDelay", &delay));
  if (delay.vt() == com::VT_I4 && delay.I4() >= 0) context.wait_ms = delay.I4();
}

IoContext Prepare(StateFile& state, const IoCommandOptions& options) {
  // An address that will be used is refused before anything is created or
  // probed; a state's own address was checked by the control that saved it.
  if (!state.HasFile() || AddressIsSet(state, options)) CheckAddress(options.address);
  (void)EnsureServersRegistered(ProgramFolder() + "/../lib");
  IoContext context;
  if (state.HasFile()) {
    PrepareThroughControl(state, options, context);
  } else {
    Check(VexCreateIOConfiguration(context.configuration.ReleaseAndGetAddressOf()));
    Check(context.configuration->put_ActiveAddressString(com::Bstr(options.address)));
  }
  if (!context.manager) Check(com::CreateObjectByProgID("VexIOUtils.IOManager", &context.manager));
  return context;
}

// After success: through the control, the control is told its configuration
// changed and its whole state goes back into the file.
void Save(StateFile& state, IoContext& context) {
  if (!context.control) return;
  Check(com::CallMethod(context.control->Root(), "IOConfigurationChanged", {}, nullptr));
  SaveControlState(state, context.control->Root());
}

class ProgressPrinter : public com::Object<control::ISearchProgress> {
 public:
  explicit ProgressPrinter(std::ostream& err) : err_(err) {}
  com::HRESULT Progress(const com::Bstr& text, std::int32_t done, std::int32_t total) override {
    err_ << text.Str();
    if (total > 0) err_ << " (" << done << "/" << total << ")";
    err_ << std::endl;
    return com::S_OK;
  }
  com::HRESULT PortNotListed(const com::Bstr& title, const com::Bstr& message) override {
    err_ << title.Str() << ": " << ShownText(message.Str()) << std::endl;
    return com::S_OK;
  }

 private:
  std::ostream& err_;
};

}  // namespace

int RunTestCommand(StateFile& state, const IoCommandOptions& options, std::ostream& out,
                   std::ostream& err) {
  try {
    IoContext context = Prepare(state, options);
    com::ComPtr<control::IInstrumentQuery> query;
    Check(VexCreateInstrumentQuery(query.ReleaseAndGetAddressOf()));
    Check(query->Initialize(context.wait_ms, context.configuration.Get(), context.manager.Get()));
    com::Bstr address, reply, title, message;
    Check(context.configuration->get_ActiveAddressString(&address));
    std::int16_t code = 0;
    Check(query->TestHeadless(address, &reply, &code, &title, &message));
    if (options.json) {
      out << nlohmann::json{{"address", address.Str()},
                            {"code", code},
                            {"title", title.Str()},
                            {"message", ShownText(message.Str())},
                            {"reply", reply.Str()}}
                 .dump(2)
          << '\n';
    } else {
      out << "code " << code << '\n' << title.Str() << '\n' << ShownText(message.Str()) << '\n';
    }
    const bool answered = code >= 0 && code <= 3;
    if (!answered) return 1;
    Check(context.configuration->put_ActiveAddressInstrumentID(reply));
    Save(state, context);
    return 0;
  } catch (const AutomationError& e) {
    err << ErrorLine(e) << std::endl;
    return 1;
  }
}

int RunSearchCommand(StateFile& state, const IoCommandOptions& options, std::ostream& out,
                     std::ostream& err) {
  try {
    IoContext context = Prepare(state, options);
    com::ComPtr<control::IInstrumentSearch> search;
    Check(VexCreateInstrumentSearch(search.ReleaseAndGetAddressOf()));
    auto progress = com::MakeObject<ProgressPrinter>(err);
    Check(search->Run(context.configuration.Get(), context.manager.Get(), context.wait_ms,
                      progress.Get()));
    std::int32_t rows = 0, active = -1, silent = 0;
    Check(search->get_RowCount(&rows));
    Check(search->get_ActiveRow(&active));
    Check(search->get_SilentPortCount(&silent));
    nlohmann::json json_rows = nlohmann::json::array();
    for (std::int32_t i = 0; i < rows; ++i) {
      com::Bstr model, address, manufacturer, reply;
      com::VARIANT_BOOL supported = com::VARIANT_FALSE;
      Check(search->GetRow(i, &model, &supported, &address, &manufacturer, &reply));
      const bool is_supported = supported != com::VARIANT_FALSE;
      if (options.json) {
        json_rows.push_back({{"model", model.Str()},
                             {"supported", is_supported},
                             {"address", address.Str()},
                             {"manufacturer", manufacturer.Str()},
                             {"reply", reply.Str()},
                             {"active", i == active}});
      } else {
        out << (i == active ? "* " : "  ") << std::left << std::setw(12) << model.Str() << ' '
            << (is_supported ? "X" : " ") << ' ' << std::setw(16) << address.Str() << ' '
            << manufacturer.Str() << '\n';
      }
    }
    nlohmann::json silent_ports = nlohmann::json::array();
    for (std::int32_t i = 0; i < silent; ++i) {
      com::Bstr port;
      Check(search->GetSilentPort(i, &port));
      silent_ports.push_back(port.Str());
    }
    com::Bstr silent_text;
    Check(search->get_SilentPortsText(&silent_text));
    if (options.json) {
      out << nlohmann::json{{"rows", json_rows},
                            {"silent_ports", silent_ports},
                            {"silent_ports_text", ShownText(silent_text.Str())}}
                 .dump(2)
          << '\n';
    } else if (silent > 0) {
      out << '\n' << ShownText(silent_text.Str()) << '\n';
    }
    Save(state, context);
    return 0;
  } catch (const AutomationError& e) {
    err << ErrorLine(e) << std::endl;
    return 1;
  }
}

}  // namespace vex::scope
