#include "vex/com/connection_point.h"

namespace vex::com {

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, std::uint32_t* cookie) {
  if (!sink || !cookie) return E_POINTER;
  *cookie = 0;
  ComPtr<IUnknown> as_event;
  HRESULT hr =
      sink->QueryInterface(iid_, reinterpret_cast<void**>(as_event.ReleaseAndGetAddressOf()));
  if (FAILED(hr)) {
    // Dispatch-only event interfaces are served through IDispatch.
    hr = sink->QueryInterface(IDispatch::kIid,
                              reinterpret_cast<void**>(as_event.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) return E_NOINTERFACE;
  }
  *cookie = next_cookie_++;
  sinks_.push_back(Sink{*cookie, std::move(as_event)});
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(std::uint32_t cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->cookie == cookie) {
      sinks_.erase(it);
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

void ConnectionPoint::Fire(const std::function<void(IUnknown* sink)>& call) {
  std::vector<Sink> snapshot = sinks_;
  for (const auto& s : snapshot) call(s.sink.Get());
}

void ConnectionPoint::FireDispatch(DISPID id, std::span<Variant> args) {
  Fire([&](IUnknown* sink) {
    ComPtr<IDispatch> dispatch;
    if (SUCCEEDED(ComPtr<IUnknown>(sink).As(&dispatch))) {
      std::vector<Variant> copy(args.begin(), args.end());
      (void)dispatch->Invoke(id, DISPATCH_METHOD, copy, nullptr, nullptr);
    }
  });
}

}  // namespace vex::com
