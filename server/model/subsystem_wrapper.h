// SubsystemWrapper: what every object a client sees under the top-level
// object shares. A wrapper keeps the core's interface for its subsystem and
// forwards each member to it unchanged: the core's status comes back as it
// is (the core has already reported its own failures). Two cases are the
// wrapper's own to report, with the member's failure message, E_FAIL and the
// member's help id:
// - the core's member throws instead of returning a status;
// - the wrapper is no longer linked (its top-level object was released while
//   a client still held the wrapper): it never calls through the dropped
//   reference.
#pragma once

#include "member_forwarder.h"

namespace vex::server {

// CoreInterface: the core's interface this wrapper forwards to.
// Interfaces: the interfaces the wrapper implements (its default first).
template <class CoreInterface, class... Interfaces>
class SubsystemWrapper
    : public com::Object<Interfaces..., ISubsystemLinkVexR7100, com::ISupportErrorInfo> {
 public:
  HRESULT _Link(IUnknown* core) override {
    core_ = nullptr;
    if (!core) return com::E_POINTER;
    return com::ComPtr<IUnknown>(core).As(&core_);
  }
  HRESULT _SetParent(IUnknown* top_level) override {
    parent_ = top_level;
    return com::S_OK;
  }
  HRESULT _Unlink() override {
    core_ = nullptr;
    parent_ = nullptr;
    return com::S_OK;
  }
  HRESULT InterfaceSupportsErrorInfo(const com::IID& iid) override {
    return ((iid == Interfaces::kIid) || ...) ? com::S_OK : com::S_FALSE;
  }

  bool Linked() const { return core_ != nullptr; }
  IUnknown* Parent() const { return parent_; }

 protected:
  SubsystemWrapper(const char* class_name, const char* instance_name)
      : forwarder_(class_name, instance_name) {}

  template <class Call>
  HRESULT Forward(const MemberFailure& failure, Call&& call) {
    return forwarder_.Forward(core_.Get(), failure, std::forward<Call>(call),
                              msg::kSubsystemNotLinked);
  }
  HRESULT Fail(const MemberFailure& failure, std::string cause) {
    return forwarder_.Fail(failure, std::move(cause));
  }
  HRESULT Refuse(const char* message, HRESULT code, std::uint32_t help_id) {
    return forwarder_.Refuse(message, code, help_id);
  }

  CoreInterface* Core() const { return core_.Get(); }

 private:
  com::ComPtr<CoreInterface> core_;
  MemberForwarder forwarder_;
  IUnknown* parent_ = nullptr;  // the top-level object, not counted
};

}  // namespace vex::server
