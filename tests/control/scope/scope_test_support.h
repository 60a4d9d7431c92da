// Shared pieces of the scope control tests: the libraries registered once,
// a hosted control with its site, member access by name, a dispatch-only
// event sink, the control library's own toolkit and help folder, and a
// thread locale switch.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <locale.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "thread_locale.h"
#include "vex/com/com.h"
#include "vex/com/control_site.h"
#include "vex/control/scope_control.h"
#include "vex/ui/headless_toolkit.h"

namespace vex::control::test {

using namespace vex::com;

inline void RegisterLibraries() {
  static const bool done = [] {
    for (const char* path :
         {VEX8100RESLIB_PATH, VEX9100_PATH, VEX9100TB_PATH, VEXIOUTILS_PATH, VEXSIMBUS_PATH})
      EXPECT_EQ(RegisterServer(path), S_OK) << path;
    return true;
  }();
  (void)done;
}

// An entry point of the control library, from the copy the registry loaded.
template <class F>
F* ControlEntry(const char* name) {
  void* library = ::dlopen(VEX9100_PATH, RTLD_NOW | RTLD_NOLOAD);
  if (!library) library = ::dlopen(VEX9100_PATH, RTLD_NOW);
  return library ? reinterpret_cast<F*>(::dlsym(library, name)) : nullptr;
}

// A control hosted by a site of its own.
struct Hosted {
  explicit Hosted(bool running = true, IPropertyBag* bag = nullptr) {
    RegisterLibraries();
    site = MakeObject<ControlSite>(running);
    const HRESULT hr = HostControl(kScopeControlProgID, site.Get(), bag, &control);
    EXPECT_EQ(hr, S_OK) << PeekErrorDetails().description.Str();
  }
  Variant Get(std::string_view name) {
    Variant value;
    const HRESULT hr = GetProperty(control.Get(), name, &value);
    EXPECT_EQ(hr, S_OK) << name << ": " << PeekErrorDetails().description.Str();
    return value;
  }
  std::string Text(std::string_view name) { return Get(name).BstrVal().Str(); }
  HRESULT Put(std::string_view name, const Variant& value) {
    return PutProperty(control.Get(), name, value);
  }
  HRESULT Call(std::string_view name, std::initializer_list<Variant> args = {},
               Variant* result = nullptr) {
    return CallMethod(control.Get(), name, args, result);
  }
  ComPtr<MemoryPropertyBag> Save() {
    auto bag = MakeObject<MemoryPropertyBag>();
    EXPECT_EQ(SaveControl(control.Get(), bag.Get()), S_OK);
    return bag;
  }

  ComPtr<ControlSite> site;
  ComPtr<IDispatch> control;
};

// A dispatch-only sink of the SupportMessage event.
class SupportMessages : public Object<IDispatch> {
 public:
  HRESULT SupportMessage(const Bstr& message) {
    messages.push_back(message.Str());
    return S_OK;
  }
  VEX_COM_IMPLEMENT_DISPATCH(SupportMessages, Table())
  static const DispatchTable& Table() {
    static const DispatchTable table = [] {
      DispatchTableBuilder<SupportMessages> b("SupportMessages");
      b.Method("SupportMessage", 1, &SupportMessages::SupportMessage, {In("Message")});
      return b.Build();
    }();
    return table;
  }
  std::string All() const {
    std::string all;
    for (const auto& m : messages) all += m + "\n";
    return all;
  }
  std::vector<std::string> messages;
};

// Advises `sink` on the control's event point for the scope of the object.
class Advised {
 public:
  Advised(IDispatch* control, IUnknown* sink) {
    ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(ComPtr<IDispatch>(control).As(&container), S_OK);
    EXPECT_EQ(
        container->FindConnectionPoint(kScopeControlEventsIid, point_.ReleaseAndGetAddressOf()),
        S_OK);
    EXPECT_EQ(point_->Advise(sink, &cookie_), S_OK);
  }
  ~Advised() { (void)point_->Unadvise(cookie_); }

 private:
  ComPtr<IConnectionPoint> point_;
  std::uint32_t cookie_ = 0;
};

// The control library's boxes and frames go to this toolkit for a scope.
class ControlToolkitScope {
 public:
  ControlToolkitScope() { set_(&toolkit); }
  ~ControlToolkitScope() { set_(nullptr); }
  ui::HeadlessToolkit toolkit;

 private:
  using SetToolkit = void(ui::Toolkit*);
  SetToolkit* set_ = ControlEntry<SetToolkit>("Vex9100SetToolkit");
};

using vex::test::ThreadLocale;

inline std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vex::control::test
