#include "state_file.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "tool_errors.h"
#include "vex/com/error_info.h"

namespace vex::scope {

StateFile::StateFile() : memory_(com::MakeObject<com::MemoryPropertyBag>()) {}

StateFile StateFile::Open(const std::string& path) {
  StateFile state;
  if (path.empty()) return state;
  std::error_code error;
  state.saved_ = std::filesystem::exists(path, error);
  state.path_ = path;
  // Open reads an existing file (failing on one that is not a bag) and
  // gives an empty bag bound to the path when the file is missing.
  const com::HRESULT hr = com::FilePropertyBag::Open(path, &state.file_);
  if (FAILED(hr)) throw TakeAutomationError(hr);
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
                     const std::function<com::HRESULT(com::IPropertyBag*)>& write) {
  if (!file_) return;
  // Work on a copy so that a failing part leaves the file's bag as it was.
  auto scratch = com::MakeObject<com::MemoryPropertyBag>();
  for (const auto& [name, value] : file_->Values()) (void)scratch->Write(com::Bstr(name), value);
  for (const auto& key : keys) scratch->Remove(key.name);
  const com::HRESULT hr = write(scratch.Get());
  if (FAILED(hr)) throw TakeAutomationError(hr);
  for (const auto& key : keys) {
    auto found = scratch->Values().find(key.name);
    if (found != scratch->Values().end() && !key.default_value.IsEmpty() &&
        SameValue(found->second, key.default_value)) {
      scratch->Remove(key.name);
    }
  }
  for (const auto& key : keys) {
    auto found = scratch->Values().find(key.name);
    if (found == scratch->Values().end()) {
      file_->Remove(key.name);
    } else {
      const com::HRESULT put = file_->Write(com::Bstr(key.name), found->second);
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
