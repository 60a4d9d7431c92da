#include "vexr7100_localization.h"

#include "vex/com/class_registry.h"
#include "vex/com/com_ptr.h"
#include "vex/com/error_info.h"
#include "vex/resources/resource_lib.h"

namespace vex::control {
namespace {

struct ThreadState {
  std::int32_t offset = 0;
  com::ComPtr<resources::IResourceLib> resources;
};

ThreadState& State() {
  thread_local ThreadState state;
  return state;
}

}  // namespace

std::int32_t VexR7100Localization::Offset() {
  return State().offset;
}

void VexR7100Localization::SetOffset(std::int32_t offset) {
  State().offset = offset;
}

com::HRESULT VexR7100Localization::Text(std::int32_t base_id, std::string* text) {
  if (!text) return com::E_POINTER;
  text->clear();
  ThreadState& state = State();
  std::int32_t id = 0;
  if (__builtin_add_overflow(state.offset, base_id, &id)) {
    return com::ReportRichError(com::DISP_E_OVERFLOW, "Overflow");
  }
  if (!state.resources) {
    com::HRESULT hr = com::CoCreateInstance(resources::kVexR7100ResourcesClsid, &state.resources);
    if (com::FAILED(hr)) return hr;
  }
  com::Bstr resource;
  com::HRESULT hr = state.resources->LoadResString(id, &resource);
  if (com::FAILED(hr)) return hr;
  *text = resource.Str();
  return com::S_OK;
}

std::string VexR7100Localization::TextOrEmpty(std::int32_t base_id) {
  std::string text;
  (void)Text(base_id, &text);
  return text;
}

void VexR7100Localization::ReleaseResources() {
  State().resources = nullptr;
}

}  // namespace vex::control
