// MemberForwarder: how an object that clients see hands a member to the core
// object. The core's status comes back as it is (the core has already
// reported its own failures). Two cases are the forwarding object's own to
// report, with the member's failure message, E_FAIL and the member's help
// id: the core's member throws instead of returning a status, or there is no
// core to call (the object has been unlinked).
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "error_handler.h"
#include "interface_members.h"
#include "messages.h"
#include "vex/com/com.h"
#include "vex/server/vexr7100.h"

namespace vex::server {

// The dispatch table of class C, built once by `describe` (which adds the
// members of the interfaces C implements).
template <class C, class Describe>
const com::DispatchTable& DescribedTable(const char* name, Describe describe) {
  static const com::DispatchTable table = [&] {
    com::DispatchTableBuilder<C> builder(name);
    describe(builder);
    return builder.Build();
  }();
  return table;
}

// A member's failure message and help id.
struct MemberFailure {
  const char* message;
  std::uint32_t help_id;
};

class MemberForwarder {
 public:
  MemberForwarder(const char* class_name, const char* instance_name)
      : errors_(MakeErrorHandler(class_name, instance_name)) {}

  // Runs `call` with `core` and returns its status; `core` null means the
  // object is no longer linked to a core.
  template <class Core, class Call>
  HRESULT Forward(Core* core, const MemberFailure& failure, Call&& call,
                  const char* unlinked_cause) {
    if (!core) return Fail(failure, unlinked_cause);
    // The core stays alive for the call even if the call releases the
    // object that holds it.
    com::ComPtr<Core> keep(core);
    try {
      return call(*core);
    } catch (const std::exception& e) {
      return Fail(failure, e.what());
    } catch (...) {
      return Fail(failure, msg::kUnidentifiedLowerLevel);
    }
  }

  // Reports the member's failure with `cause` on the next line.
  HRESULT Fail(const MemberFailure& failure, std::string cause) {
    com::ReportRichError(com::E_FAIL, cause);
    return errors_->Exception(failure.message, com::E_FAIL, failure.help_id);
  }

  // A rule check's refusal: the message alone, with the caller's status.
  HRESULT Refuse(const char* message, HRESULT code, std::uint32_t help_id) {
    return errors_->Error(message, code, help_id);
  }

 private:
  com::ComPtr<ErrorHandler> errors_;
};

// Declares a member that forwards to the core's member of the same name with
// the same arguments: VEX_FORWARD(get_Type, (VexR7100_AcquisitionType* type),
// (type), "IAcquisitionVexR7100::Type (read) property failed.", 26).
#define VEX_FORWARD(member, params, args, message, help_id)                                 \
  HRESULT member params override {                                                          \
    return this->Forward({message, help_id}, [&](auto& core) { return core.member args; }); \
  }

}  // namespace vex::server
