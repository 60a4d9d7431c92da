#include "vex/com/property_bag.h"

#include <sys/stat.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "safe_file.h"
#include "vex/com/base64.h"
#include "vex/com/error_info.h"
#include "vex/com/numeric_text.h"
#include "vex/com/safearray.h"
#include "vex/com/utf8_text.h"

namespace vex::com {
namespace {

using json = nlohmann::json;
constexpr const char* kSource = "vexcom.PropertyBag";
constexpr const char* kFormat = "vexcom-property-bag";

constexpr VARTYPE kByteArray = VT_ARRAY | VT_UI1;

// JSON strings hold UTF-8 only, but a bag's strings hold whatever bytes they
// were given (an instrument's reply, a file name from the command line). A
// string value that is not well-formed UTF-8 is written as the object
// {"bytes-base64": "<its bytes in base64>"}; a plain JSON string is always
// the text itself, so nothing a user stores can be mistaken for the escaped
// form. A name that is not UTF-8, or that itself starts with
// "bytes-base64:", is written under the key "bytes-base64:<base64>" with its
// bytes again in the entry's "name-base64"; only an entry holding
// "name-base64" takes its name from there.
constexpr const char* kBytesKey = "bytes-base64";
constexpr const char* kNameKey = "name-base64";
constexpr const char* kNamePrefix = "bytes-base64:";

std::span<const std::uint8_t> BytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

json EncodeText(const std::string& text) {
  if (IsValidUtf8(text)) return text;
  return json{{kBytesKey, Base64Encode(BytesOf(text))}};
}

std::optional<std::string> DecodeText(const json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (!value.is_object() || value.size() != 1 || !value.contains(kBytesKey) ||
      !value[kBytesKey].is_string())
    return std::nullopt;
  auto bytes = Base64Decode(value[kBytesKey].get<std::string>());
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

json EncodeValue(const Variant& v) {
  json entry{{"type", VarTypeName(v.vt())}};
  switch (v.vt()) {
    case VT_EMPTY:
      break;
    case VT_BOOL:
      entry["value"] = v.BoolVal() != 0;
      break;
    case VT_I2:
      entry["value"] = v.I2();
      break;
    case VT_I4:
      entry["value"] = v.I4();
      break;
    case VT_R8:
      // JSON has no infinities or NaN: those travel as text.
      if (std::isfinite(v.R8()))
        entry["value"] = v.R8();
      else
        entry["value"] = FormatDouble(v.R8());
      break;
    case VT_BSTR:
      if (v.BstrVal().IsNull())
        entry["value"] = nullptr;
      else
        entry["value"] = EncodeText(v.BstrVal().Str());
      break;
    default: {
      auto bytes = v.Array()->Span<const std::uint8_t>();
      entry["value"] = Base64Encode(bytes);
      break;
    }
  }
  return entry;
}

// An integer of the file as a signed 64-bit number; one above that range
// (JSON keeps such numbers unsigned) is clamped to the top, so that the range
// checks refuse it rather than see it wrapped to a negative number.
std::int64_t IntegerOf(const json& value) {
  if (value.is_number_unsigned() && value.get<std::uint64_t>() > INT64_MAX) return INT64_MAX;
  return value.get<std::int64_t>();
}

// Nothing when the entry is not one this bag writes.
std::optional<Variant> DecodeValue(const json& entry) {
  if (!entry.is_object() || !entry.contains("type") || !entry["type"].is_string())
    return std::nullopt;
  std::string type = entry["type"];
  const json value = entry.value("value", json());
  if (type == "VT_EMPTY") return Variant();
  if (type == "VT_BOOL" && value.is_boolean())
    return Variant::Bool(value.get<bool>() ? VARIANT_TRUE : VARIANT_FALSE);
  if (type == "VT_I2" && value.is_number_integer()) {
    auto n = IntegerOf(value);
    if (n < INT16_MIN || n > INT16_MAX) return std::nullopt;
    return Variant(static_cast<std::int16_t>(n));
  }
  if (type == "VT_I4" && value.is_number_integer()) {
    auto n = IntegerOf(value);
    if (n < INT32_MIN || n > INT32_MAX) return std::nullopt;
    return Variant(static_cast<std::int32_t>(n));
  }
  if (type == "VT_R8") {
    if (value.is_number()) return Variant(value.get<double>());
    if (value.is_string()) {
      std::string text = value;
      if (text == "nan") return Variant(std::nan(""));
      if (text == "inf") return Variant(HUGE_VAL);
      if (text == "-inf") return Variant(-HUGE_VAL);
    }
    return std::nullopt;
  }
  if (type == "VT_BSTR") {
    if (value.is_null()) return Variant(Bstr::Null());
    if (auto text = DecodeText(value)) return Variant(Bstr(*text));
    return std::nullopt;
  }
  if (type == "VT_ARRAY|VT_UI1" && value.is_string()) {
    auto bytes = Base64Decode(value.get<std::string>());
    if (!bytes) return std::nullopt;
    return Variant(SafeArray::FromBytes(*bytes));
  }
  return std::nullopt;
}

// ---- The file itself. Every failure names the file and says why.

const detail::FileRole kBagFile{"property bag file", kSource};

}  // namespace

bool IsStorableInBag(const Variant& value) {
  switch (value.vt()) {
    case VT_EMPTY:
    case VT_BOOL:
    case VT_I2:
    case VT_I4:
    case VT_R8:
    case VT_BSTR:
      return true;
    default:
      return value.vt() == kByteArray && value.Array() && value.Array()->Dims() == 1;
  }
}

HRESULT MemoryPropertyBag::Read(const Bstr& name, Variant* value, IErrorLog* error_log) {
  if (!value) return E_POINTER;
  if (name.IsEmpty()) return E_INVALIDARG;
  auto found = values_.find(name.Str());
  if (found == values_.end()) {
    std::string text = "The property \"" + name.Str() + "\" is not in the property bag.";
    if (error_log) (void)error_log->AddError(name, E_INVALIDARG, Bstr(text));
    return ReportRichError(E_INVALIDARG, text, kSource);
  }
  if (value->vt() == VT_EMPTY) {
    *value = found->second;
    return S_OK;
  }
  Variant converted;
  HRESULT hr = found->second.ChangeType(value->vt(), &converted);
  if (FAILED(hr)) {
    std::string text = "The property \"" + name.Str() + "\" holds " +
                       VarTypeName(found->second.vt()) + ", which does not convert to " +
                       VarTypeName(value->vt()) + ".";
    if (error_log) (void)error_log->AddError(name, hr, Bstr(text));
    return ReportRichError(hr, text, kSource);
  }
  *value = std::move(converted);
  return S_OK;
}

HRESULT MemoryPropertyBag::Write(const Bstr& name, const Variant& value) {
  if (name.IsEmpty()) return E_INVALIDARG;
  Variant stored = value.Dereferenced();
  if (!IsStorableInBag(stored)) {
    return ReportRichError(DISP_E_BADVARTYPE,
                           "The property \"" + name.Str() + "\" has the type " +
                               VarTypeName(stored.vt()) + ", which a property bag cannot keep.",
                           kSource);
  }
  values_[name.Str()] = std::move(stored);
  return S_OK;
}

FilePropertyBag::FilePropertyBag() : lock_(std::make_unique<detail::FileLock>()) {}

FilePropertyBag::~FilePropertyBag() = default;

HRESULT FilePropertyBag::Open(const std::string& path, ComPtr<FilePropertyBag>* out) {
  return OpenFile(path, std::nullopt, out);
}

HRESULT FilePropertyBag::OpenLocked(const std::string& path, std::chrono::milliseconds wait,
                                    ComPtr<FilePropertyBag>* out) {
  return OpenFile(path, wait, out);
}

HRESULT FilePropertyBag::OpenFile(const std::string& path,
                                  std::optional<std::chrono::milliseconds> lock_wait,
                                  ComPtr<FilePropertyBag>* out) {
  if (!out) return E_POINTER;
  if (path.empty()) return E_INVALIDARG;
  auto bag = MakeObject<FilePropertyBag>();
  bag->path_ = path;
  HRESULT hr = S_OK;
  if (lock_wait) {
    std::string target;
    hr = detail::ResolveLinks(kBagFile, path, &target);
    if (SUCCEEDED(hr)) hr = bag->lock_->Acquire(kBagFile, target, *lock_wait);
    if (FAILED(hr)) return hr;
  }
  bool exists = false;
  std::string text;
  struct stat info {};
  hr = detail::ReadRegularFile(kBagFile, path, &exists, &text, &info);
  if (FAILED(hr)) return hr;
  if (exists) {
    hr = bag->FromJson(text);
    if (FAILED(hr)) {
      ErrorDetails cause = TakeErrorDetails();
      return ReportRichError(
          hr, "The property bag file " + path + " is corrupt: " + cause.description.Str(), kSource);
    }
  }
  // What was read is what the file holds: the base later saves compare to.
  bag->base_ = bag->values_;
  *out = std::move(bag);
  return S_OK;
}

std::string FilePropertyBag::ToJson() const {
  return JsonText(values_);
}

std::string FilePropertyBag::JsonText(const std::map<std::string, Variant>& stored) {
  // Every string reaching the writer is UTF-8 (EncodeText), so the strict
  // writer cannot throw for the text; only running out of memory could.
  json values = json::object();
  for (const auto& [name, value] : stored) {
    json entry = EncodeValue(value);
    // A UTF-8 name that looks like an escaped one is escaped too, so that
    // the two can never share a key.
    if (IsValidUtf8(name) && name.rfind(kNamePrefix, 0) != 0) {
      values[name] = std::move(entry);
    } else {
      const std::string encoded = Base64Encode(BytesOf(name));
      entry[kNameKey] = encoded;
      values[kNamePrefix + encoded] = std::move(entry);
    }
  }
  return json{{"format", kFormat}, {"version", 1}, {"values", values}}.dump(
             2, ' ', false, json::error_handler_t::strict) +
         "\n";
}

HRESULT FilePropertyBag::FromJson(std::string_view text) {
  try {
    return ParseJson(text);
  } catch (const std::bad_alloc&) {
    return ReportRichError(E_OUTOFMEMORY, "there is not enough memory to read it.", kSource);
  } catch (const std::exception& e) {
    return ReportRichError(E_FAIL, std::string("it cannot be read: ") + e.what(), kSource);
  }
}

HRESULT FilePropertyBag::ParseJson(std::string_view text) {
  if (const std::size_t bad = FirstInvalidUtf8(text); bad != text.size()) {
    return ReportRichError(
        E_FAIL,
        "it is not valid JSON: the byte at offset " + std::to_string(bad) + " is not UTF-8.",
        kSource);
  }
  json parsed = json::parse(text.begin(), text.end(), nullptr, false);
  if (parsed.is_discarded()) return ReportRichError(E_FAIL, "it is not valid JSON.", kSource);
  const bool is_bag = parsed.is_object() && parsed.contains("format") &&
                      parsed["format"].is_string() && parsed["format"] == kFormat &&
                      parsed.contains("values") && parsed["values"].is_object();
  if (!is_bag) {
    return ReportRichError(
        E_FAIL,
        "it is not a property bag (no \"format\" of \"vexcom-property-bag\" with \"values\").",
        kSource);
  }
  std::map<std::string, Variant> values;
  for (auto& [key, entry] : parsed["values"].items()) {
    std::string name = key;
    if (entry.is_object() && entry.contains(kNameKey)) {
      const json& encoded = entry[kNameKey];
      std::optional<std::vector<std::uint8_t>> bytes;
      if (encoded.is_string()) bytes = Base64Decode(encoded.get<std::string>());
      if (!bytes || key != kNamePrefix + encoded.get<std::string>())
        return ReportRichError(E_FAIL, "the name of \"" + key + "\" is malformed.", kSource);
      name.assign(bytes->begin(), bytes->end());
    }
    // A value without a name could never be read back.
    if (name.empty()) return ReportRichError(E_FAIL, "a value has an empty name.", kSource);
    auto value = DecodeValue(entry);
    if (!value)
      return ReportRichError(E_FAIL, "the value of \"" + key + "\" is malformed.", kSource);
    values[name] = std::move(*value);
  }
  values_ = std::move(values);
  return S_OK;
}

HRESULT FilePropertyBag::Commit() {
  try {
    return CommitToFile();
  } catch (const std::bad_alloc&) {
    return ReportRichError(
        E_OUTOFMEMORY, "There is not enough memory to write the property bag file " + path_ + ".",
        kSource);
  } catch (const std::exception& e) {
    return ReportRichError(E_FAIL, "Cannot write the property bag file " + path_ + ": " + e.what(),
                           kSource);
  }
}

HRESULT FilePropertyBag::CommitToFile() {
  std::string target;
  HRESULT hr = detail::ResolveLinks(kBagFile, path_, &target);
  if (FAILED(hr)) return hr;
  // A bag opened locked holds the lock already; taking it again on another
  // descriptor would wait for itself.
  detail::FileLock lock;
  if (!lock_->Held()) {
    hr = lock.Acquire(kBagFile, target);
    if (FAILED(hr)) return hr;
  }

  // Read what is there now, under the lock: the changes of this bag are
  // merged into it, so that saves of other processes since this bag was
  // opened are kept.
  bool exists = false;
  std::string text;
  struct stat info {};
  hr = detail::ReadRegularFile(kBagFile, target, &exists, &text, &info);
  if (FAILED(hr)) return hr;
  std::map<std::string, Variant> merged;
  if (exists) {
    auto disk = MakeObject<FilePropertyBag>();
    hr = disk->FromJson(text);
    if (FAILED(hr)) {
      ErrorDetails cause = TakeErrorDetails();
      return ReportRichError(hr,
                             "The property bag file " + target +
                                 " is corrupt, and is left as it is: " + cause.description.Str(),
                             kSource);
    }
    merged = std::move(disk->values_);
  }
  // This bag's changes are what differs from what it read: a value written
  // back as it was read does not undo another process's change to it.
  for (const auto& [name, value] : base_) {
    if (!values_.count(name)) merged.erase(name);
  }
  for (const auto& [name, value] : values_) {
    auto before = base_.find(name);
    if (before == base_.end() || EncodeValue(before->second) != EncodeValue(value))
      merged[name] = value;
  }

  hr = detail::ReplaceFile(kBagFile, target, JsonText(merged), exists ? &info : nullptr);
  if (FAILED(hr)) return hr;
  values_ = std::move(merged);
  base_ = values_;
  return S_OK;
}

}  // namespace vex::com
