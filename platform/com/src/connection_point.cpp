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
  bool dispatch_only = false;
  if (FAILED(hr)) {
    // A sink without the typed interface is served through IDispatch.
    hr = sink->QueryInterface(IDispatch::kIid,
                              reinterpret_cast<void**>(as_event.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) return E_NOINTERFACE;
    dispatch_only = iid_ != IDispatch::kIid;
  }
  *cookie = next_cookie_++;
  sinks_.push_back(Sink{*cookie, std::move(as_event), dispatch_only});
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
  Fire(call, nullptr);
}

void ConnectionPoint::Fire(const std::function<void(IUnknown* sink)>& typed,
                           const std::function<void(IDispatch* sink)>& dispatch_only) {
  std::vector<Sink> snapshot = sinks_;
  for (const auto& s : snapshot) {
    if (!s.dispatch_only) {
      if (typed) typed(s.sink.Get());
    } else if (dispatch_only) {
      // Advise stored the sink's IDispatch.
      dispatch_only(static_cast<IDispatch*>(s.sink.Get()));
    }
  }
}

HRESULT ConnectionPoint::FireByName(std::string_view event, std::span<const Variant> args) {
  HRESULT first_failure = S_OK;
  Fire(nullptr, [&](IDispatch* sink) {
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(sink->GetIDsOfNames(event, &id))) return;
    std::vector<Variant> copy(args.begin(), args.end());
    HRESULT hr = sink->Invoke(id, DISPATCH_METHOD, copy, nullptr, nullptr);
    if (FAILED(hr) && SUCCEEDED(first_failure)) first_failure = hr;
  });
  return first_failure;
}

void ConnectionPoint::FireDispatch(DISPID id, std::span<Variant> args) {
  auto invoke = [&](IDispatch* dispatch) {
    std::vector<Variant> copy(args.begin(), args.end());
    (void)dispatch->Invoke(id, DISPATCH_METHOD, copy, nullptr, nullptr);
  };
  Fire(
      [&](IUnknown* sink) {
        ComPtr<IDispatch> dispatch;
        if (SUCCEEDED(ComPtr<IUnknown>(sink).As(&dispatch))) invoke(dispatch.Get());
      },
      invoke);
}

}  // namespace vex::com
