// Events: connection points in the automation style. An object that raises
// events implements IConnectionPointContainer; a client finds the point for an
// event interface, Advises its sink (an object implementing that interface,
// or IDispatch for dispatch-only events) and gets a cookie to Unadvise later.
// IPropertyNotifySink is the event interface of property-changed
// notifications.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "vex/com/dispatch.h"

namespace vex::com {

struct IConnectionPoint : IUnknown {
  using Base = IUnknown;
  static constexpr IID kIid = MakeGuid("B196B286-BAB4-101A-B69C-00AA00341D07");
  virtual HRESULT GetConnectionInterface(IID* iid) = 0;
  virtual HRESULT Advise(IUnknown* sink, std::uint32_t* cookie) = 0;
  virtual HRESULT Unadvise(std::uint32_t cookie) = 0;
};

struct IConnectionPointContainer : IUnknown {
  using Base = IUnknown;
  static constexpr IID kIid = MakeGuid("B196B284-BAB4-101A-B69C-00AA00341D07");
  virtual HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** point) = 0;
};

struct IPropertyNotifySink : IUnknown {
  using Base = IUnknown;
  static constexpr IID kIid = MakeGuid("9BFBBC02-EFF1-101A-84ED-00AA00341D07");
  virtual HRESULT OnChanged(DISPID id) = 0;
  virtual HRESULT OnRequestEdit(DISPID id) = 0;
};

// A connection point for one event interface. Sinks are asked for that
// interface when they Advise; a sink that lacks it but implements IDispatch
// (a dispatch-only sink, as scripting languages give) is kept apart, so it is
// never handed to a caller as the typed interface: it hears events by name,
// through its own GetIDsOfNames and Invoke. Fire calls a function for each
// sink, on a snapshot of the list, so a sink may Unadvise while it is being
// called.
class ConnectionPoint : public Object<IConnectionPoint> {
 public:
  explicit ConnectionPoint(const IID& event_iid) : iid_(event_iid) {}

  HRESULT GetConnectionInterface(IID* iid) override;
  HRESULT Advise(IUnknown* sink, std::uint32_t* cookie) override;
  HRESULT Unadvise(std::uint32_t cookie) override;

  std::size_t SinkCount() const { return sinks_.size(); }
  // Calls `call` with each sink advised as the event interface (a pointer to
  // that interface); dispatch-only sinks are skipped.
  void Fire(const std::function<void(IUnknown* sink)>& call);
  // Calls `typed` as above, and `dispatch_only` with each dispatch-only sink.
  void Fire(const std::function<void(IUnknown* sink)>& typed,
            const std::function<void(IDispatch* sink)>& dispatch_only);
  // Raises an event on every dispatch-only sink by the event's name, the
  // arguments first parameter first; returns the first failure (S_OK when
  // every sink took it). A sink without a member of that name is skipped.
  HRESULT FireByName(std::string_view event, std::span<const Variant> args);
  // Raises a dispatch event on every sink: Invoke(id, DISPATCH_METHOD, args).
  void FireDispatch(DISPID id, std::span<Variant> args);

 private:
  struct Sink {
    std::uint32_t cookie;
    ComPtr<IUnknown> sink;
    bool dispatch_only = false;
  };
  IID iid_;
  std::vector<Sink> sinks_;
  std::uint32_t next_cookie_ = 1;
};

}  // namespace vex::com
