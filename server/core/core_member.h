// The standard pattern of the core's public members, shared by the files
// that implement them.
#pragma once

#include <new>

#include "core_vexr7100.h"
#include "messages.h"

namespace vex::server {

// Puts the transfer state back when a member ends, however it ends.
class CCoreVexR7100::MemberScope {
 public:
  explicit MemberScope(CCoreVexR7100* core) : core_(core) {}
  ~MemberScope() { core_->RestoreTransferState(); }
  MemberScope(const MemberScope&) = delete;
  MemberScope& operator=(const MemberScope&) = delete;

 private:
  CCoreVexR7100* core_;
};

// A rule check that refuses the call reports with an Error form and its
// status travels out of the member unchanged; a failing transfer travels
// out as a plain status and is reported here with the member's message.
struct Refusal {
  HRESULT status;
};

template <class Body>
HRESULT CCoreVexR7100::RunMember(std::string_view failure_message, std::uint32_t help_id,
                                 Body&& body, DeviceCheck device_check) {
  if (!connected_) return NotConnected();
  MemberScope scope(this);
  HRESULT hr = com::S_OK;
  try {
    hr = body();
  } catch (const Refusal& refusal) {
    return refusal.status;
  } catch (const std::bad_alloc&) {
    hr = com::E_OUTOFMEMORY;
  } catch (...) {
    hr = com::E_FAIL;
  }
  if (FAILED(hr)) return ReportExceptionEx(failure_message, hr, help_id);
  if (device_check == DeviceCheck::kNone) return hr;
  bool found = false;
  HRESULT check = DeviceErrorCheck(&found);
  if (found) return check;
  return hr;
}

}  // namespace vex::server
