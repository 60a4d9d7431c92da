// The factories through which the command line creates the I/O
// configuration, the identification query and the instrument search, and
// the published interfaces' adapters of the query and the search.
#include "cquery_instrument.h"
#include "instrument_search.h"
#include "vex/control/io_configuration.h"
#include "vex/ui/headless_toolkit.h"

#define VEX_CONTROL_EXPORT extern "C" __attribute__((visibility("default")))

namespace vex::control {
namespace {

class InstrumentQueryObject : public com::Object<IInstrumentQuery> {
 public:
  HRESULT Initialize(std::int32_t wait_ms, IIOConfiguration* configuration,
                     com::IUnknown* io_manager) override {
    if (!configuration) return com::E_POINTER;
    // Only the library's own configuration objects are accepted.
    configuration_ = static_cast<CIOconfiguration*>(configuration);
    return query_.Initialize(wait_ms, configuration_.Get(), io_manager);
  }

  HRESULT TestHeadless(const Bstr& address, Bstr* reply, std::int16_t* code, Bstr* title,
                       Bstr* message) override {
    if (!reply || !code || !title || !message) return com::E_POINTER;
    ui::HeadlessToolkit toolkit;
    const ui::WindowHandle owner = toolkit.AddWindow({0, 0, 640, 480});
    std::string text;
    const HRESULT hr = query_.Test(toolkit, owner, address.View(), &text, code);
    if (com::FAILED(hr)) return hr;
    *reply = Bstr(text);
    if (toolkit.MessageBoxes().empty()) return com::E_UNEXPECTED;
    *title = Bstr(toolkit.MessageBoxes().back().request.title);
    *message = Bstr(toolkit.MessageBoxes().back().request.text);
    return com::S_OK;
  }

 private:
  com::ComPtr<CIOconfiguration> configuration_;
  CQueryInstrument query_;
};

class InstrumentSearchObject : public com::Object<IInstrumentSearch> {
 public:
  HRESULT Run(IIOConfiguration* configuration, com::IUnknown* io_manager, std::int32_t wait_ms,
              ISearchProgress* progress) override {
    if (!configuration) return com::E_POINTER;
    struct Forward : InstrumentSearch::Sink {
      ISearchProgress* target;
      void Progress(const std::string& text, std::int32_t done, std::int32_t total) override {
        if (target) (void)target->Progress(Bstr(text), done, total);
      }
      void PortNotListed(const std::string& title, const std::string& message) override {
        if (target) (void)target->PortNotListed(Bstr(title), Bstr(message));
      }
    } sink;
    sink.target = progress;
    return search_.Run(*static_cast<CIOconfiguration*>(configuration), io_manager, wait_ms, &sink);
  }
  HRESULT Cancel() override {
    search_.Cancel();
    return com::S_OK;
  }
  HRESULT get_RowCount(std::int32_t* count) override {
    if (!count) return com::E_POINTER;
    *count = static_cast<std::int32_t>(search_.Rows().size());
    return com::S_OK;
  }
  HRESULT GetRow(std::int32_t index, Bstr* model, com::VARIANT_BOOL* supported, Bstr* address,
                 Bstr* manufacturer, Bstr* reply) override {
    if (!model || !supported || !address || !manufacturer || !reply) return com::E_POINTER;
    if (index < 0 || static_cast<std::size_t>(index) >= search_.Rows().size())
      return com::DISP_E_BADINDEX;
    const SearchRow& row = search_.Rows()[static_cast<std::size_t>(index)];
    *model = Bstr(row.model);
    *supported = row.supported ? com::VARIANT_TRUE : com::VARIANT_FALSE;
    *address = Bstr(row.address);
    *manufacturer = Bstr(row.manufacturer);
    *reply = Bstr(row.reply);
    return com::S_OK;
  }
  HRESULT get_ActiveRow(std::int32_t* index) override {
    if (!index) return com::E_POINTER;
    *index = search_.ActiveRow();
    return com::S_OK;
  }
  HRESULT get_SilentPortCount(std::int32_t* count) override {
    if (!count) return com::E_POINTER;
    *count = static_cast<std::int32_t>(search_.SilentPorts().size());
    return com::S_OK;
  }
  HRESULT GetSilentPort(std::int32_t index, Bstr* port) override {
    if (!port) return com::E_POINTER;
    if (index < 0 || static_cast<std::size_t>(index) >= search_.SilentPorts().size())
      return com::DISP_E_BADINDEX;
    *port = Bstr(search_.SilentPorts()[static_cast<std::size_t>(index)]);
    return com::S_OK;
  }
  HRESULT get_SilentPortsText(Bstr* text) override {
    if (!text) return com::E_POINTER;
    *text = Bstr(search_.SilentPortsText());
    return com::S_OK;
  }

 private:
  InstrumentSearch search_;
};

template <class Interface, class Class>
HRESULT Create(Interface** out) {
  if (!out) return com::E_POINTER;
  *out = com::MakeObject<Class>().Detach();
  return com::S_OK;
}

}  // namespace
}  // namespace vex::control

VEX_CONTROL_EXPORT vex::com::HRESULT VexCreateIOConfiguration(
    vex::control::IIOConfiguration** out) {
  return vex::control::Create<vex::control::IIOConfiguration, vex::control::CIOconfiguration>(out);
}

VEX_CONTROL_EXPORT vex::com::HRESULT VexCreateInstrumentQuery(
    vex::control::IInstrumentQuery** out) {
  return vex::control::Create<vex::control::IInstrumentQuery, vex::control::InstrumentQueryObject>(
      out);
}

VEX_CONTROL_EXPORT vex::com::HRESULT VexCreateInstrumentSearch(
    vex::control::IInstrumentSearch** out) {
  return vex::control::Create<vex::control::IInstrumentSearch,
                              vex::control::InstrumentSearchObject>(out);
}
