#include "state_file.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>

#include "load_warnings.h"
#include "tool_errors.h"
#include "vex/com/error_info.h"

namespace vex::scope {

StateFile::StateFile() : memory_(com::MakeObject<com::MemoryPropertyBag>()) {}

StateFile StateFile::Open(const std::string& path, bool lock, std::ostream* notes) {
  StateFile state;
  if (path.empty()) return state;
  // Open reads an existing file (failing on one that is not a bag) and
  // gives an empty bag bound to the path when the file is missing.
  com::HRESULT hr = com::S_OK;
  if (!lock) {
    hr = com::FilePropertyBag::Open(path, &state.file_);
  } else {
    using std::chrono::milliseconds;
    const milliseconds first{1000};
    hr = com::FilePropertyBag::OpenLocked(path, first, &state.file_);
    if (hr == com::STG_E_LOCKVIOLATION) {
      (void)com::TakeErrorDetails();
      if (notes) *notes << "vexscope: waiting for another program using " << path << std::endl;
      hr = com::FilePropertyBag::OpenLocked(path, kLockWait - first, &state.file_);
    }
  }
  if (FAILED(hr)) throw TakeAutomationError(hr);
  // Whether the file is there is read under the lock, as the values are.
  std::error_code error;
  state.saved_ = std::filesystem::exists(path, error);
  state.path_ = path;
  state.warnings_ = com::MakeObject<LoadWarnings>(path, std::cerr);
  return state;
}

com::IPropertyBag* StateFile::Bag() const {
  if (file_) return file_.Get();
  return memory_.Get();
}

std::optional<com::Variant> StateFile::Value(const std::string& name) const {
  const com::MemoryPropertyBag* bag =
      file_ ? static_cast<com::MemoryPropertyBag*>(file_.Get()) : memory_.Get();
  auto found = bag->Values().find(name);
  if (found == bag->Values().end()) return std::nullopt;
  return found->second;
}

std::string StateFile::Address(const std::optional<std::string>& option) const {
  if (option) return *option;
  if (auto stored = Value(kStateAddressKey); stored && stored->vt() == com::VT_BSTR) {
    const std::string text = stored->BstrVal().Str();
    if (!text.empty()) return text;
  }
  const char* env = std::getenv("VEXSCOPE_ADDRESS");
  if (env && *env) return env;
  return kDefaultAddress;
}

void StateFile::Save(std::span<const StateKey> keys,
                     const std::function<com::HRESULT(com::IPropertyBag*)>& write,
                     const std::function<bool(const std::string&)>& owns) {
  if (!file_) return;
  // Work on a copy so that a failing part leaves the file's bag as it was.
  auto scratch = com::MakeObject<com::MemoryPropertyBag>();
  for (const auto& [name, value] : file_->Values()) (void)scratch->Write(com::Bstr(name), value);
  std::map<std::string, com::Variant> owned;
  for (const auto& key : keys) owned.emplace(key.name, key.default_value);
  if (owns) {
    for (const auto& [name, value] : file_->Values())
      if (owns(name)) owned.emplace(name, com::Variant());
  }
  for (const auto& [name, fallback] : owned) scratch->Remove(name);
  const com::HRESULT hr = write(scratch.Get());
  if (FAILED(hr)) throw TakeAutomationError(hr);
  if (owns) {
    for (const auto& [name, value] : scratch->Values())
      if (owns(name)) owned.emplace(name, com::Variant());
  }
  for (const auto& [name, fallback] : owned) {
    auto found = scratch->Values().find(name);
    if (found != scratch->Values().end() && !fallback.IsEmpty() &&
        SameValue(found->second, fallback)) {
      scratch->Remove(name);
    }
  }
  for (const auto& [name, fallback] : owned) {
    auto found = scratch->Values().find(name);
    if (found == scratch->Values().end()) {
      file_->Remove(name);
    } else {
      const com::HRESULT put = file_->Write(com::Bstr(name), found->second);
      if (FAILED(put)) throw TakeAutomationError(put);
    }
  }
  const com::HRESULT committed = file_->Commit();
  if (FAILED(committed)) throw TakeAutomationError(committed);
}

void StateFile::SaveAddress(const std::string& address) {
  const StateKey keys[] = {{kStateAddressKey, com::Variant(kDefaultAddress)}};
  Save(keys, [&](com::IPropertyBag* bag) {
    return bag->Write(com::Bstr(kStateAddressKey), com::Variant(address));
  });
}

bool StateFile::SameValue(const com::Variant& a, const com::Variant& b) {
  if (a.vt() != b.vt()) return false;
  switch (a.vt()) {
    case com::VT_EMPTY:
      return true;
    case com::VT_BOOL:
      return (a.BoolVal() != com::VARIANT_FALSE) == (b.BoolVal() != com::VARIANT_FALSE);
    case com::VT_I2:
      return a.I2() == b.I2();
    case com::VT_I4:
      return a.I4() == b.I4();
    case com::VT_R8:
      return a.R8() == b.R8();
    case com::VT_BSTR:
      return a.BstrVal().Str() == b.BstrVal().Str();
    default:
      break;
  }
  if (a.vt() == (com::VT_ARRAY | com::VT_UI1) && a.Array() && b.Array()) {
    auto x = a.Array()->Span<const std::uint8_t>();
    auto y = b.Array()->Span<const std::uint8_t>();
    return std::equal(x.begin(), x.end(), y.begin(), y.end());
  }
  return false;
}

}  // namespace vex::scope
