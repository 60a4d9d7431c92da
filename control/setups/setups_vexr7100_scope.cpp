#include "setups_vexr7100_scope.h"

#include <unistd.h>

#include <climits>
#include <optional>
#include <set>
#include <string_view>

#include "setup_errors.h"
#include "setup_file_text.h"

namespace vex::control {

namespace {

constexpr const char* kModule = "Setups";

std::string CurrentFolder() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

// The index of an entry key ("SetupName12" gives 12), or nothing.
std::optional<std::int32_t> EntryIndexOf(const std::string& name) {
  for (std::string_view family : kSetupEntryKeys) {
    if (name.size() <= family.size() || name.compare(0, family.size(), family) != 0) continue;
    const std::string_view digits = std::string_view(name).substr(family.size());
    if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string_view::npos ||
        digits[0] == '0')
      return std::nullopt;
    const std::int32_t index = std::stoi(std::string(digits));
    if (index > INT16_MAX) return std::nullopt;
    return index;
  }
  return std::nullopt;
}

void Warn(com::IErrorLog* log, const std::string& key, const std::string& text) {
  if (log) (void)log->AddError(Bstr(key), com::E_INVALIDARG, Bstr(text));
}

}  // namespace

CSetupsVexR7100Scope::CSetupsVexR7100Scope() : initial_directory_(CurrentFolder()) {}

CSetupsVexR7100Scope::~CSetupsVexR7100Scope() {
  for (auto& entry : items_) entry.setup->DetachFromCollection(false);
}

bool CSetupsVexR7100Scope::Holds(const ISetupVexR7100Scope* setup) const {
  for (const auto& entry : items_) {
    if (static_cast<const ISetupVexR7100Scope*>(entry.setup.Get()) == setup) return true;
  }
  return false;
}

std::ptrdiff_t CSetupsVexR7100Scope::FindName(const std::string& name) const {
  const std::string key = FoldCase(name);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].key == key) return static_cast<std::ptrdiff_t>(i);
  }
  return -1;
}

std::ptrdiff_t CSetupsVexR7100Scope::Find(const Variant& index) const {
  const Variant value = index.Dereferenced();
  if (value.vt() == com::VT_BSTR) return FindName(value.BstrVal().Str());
  std::int32_t position = 0;
  if (com::FAILED(value.ToI4(&position))) return -1;
  if (position < 1 || static_cast<std::size_t>(position) > items_.size()) return -1;
  return position - 1;
}

HRESULT CSetupsVexR7100Scope::Add(const Bstr& name, ISetupVexR7100Scope** setup) {
  if (setup) *setup = nullptr;
  if (!CSetupVexR7100Scope::IsValidName(name.Str())) {
    return RaiseSetupError(kInvalidPropertyValue, kTextControlError, kTextInvalidPropertyValue,
                           "(name not empty, without spaces and \"|\")", kModule, "Add");
  }
  if (FindName(name.Str()) >= 0) return RaiseDuplicateKey();
  auto created = com::MakeObject<CSetupVexR7100Scope>();
  HRESULT hr = created->put_NewName(name);
  if (com::FAILED(hr)) return hr;
  created->AttachToCollection(this);
  items_.push_back({FoldCase(created->Name()), created});
  if (setup) {
    *setup = created.Get();
    created->AddRef();
  }
  return com::S_OK;
}

HRESULT CSetupsVexR7100Scope::item(const Variant& index, ISetupVexR7100Scope** setup) {
  if (!setup) return com::E_POINTER;
  *setup = nullptr;
  const std::ptrdiff_t at = Find(index);
  if (at < 0) return RaiseInvalidCallOrArgument();
  *setup = items_[static_cast<std::size_t>(at)].setup.Get();
  (*setup)->AddRef();
  return com::S_OK;
}

HRESULT CSetupsVexR7100Scope::get_Count(std::int32_t* count) {
  if (!count) return com::E_POINTER;
  *count = static_cast<std::int32_t>(items_.size());
  return com::S_OK;
}

HRESULT CSetupsVexR7100Scope::Remove(const Variant& index) {
  const std::ptrdiff_t at = Find(index);
  if (at < 0) return RaiseInvalidCallOrArgument();
  const com::ComPtr<CSetupVexR7100Scope> removed = items_[static_cast<std::size_t>(at)].setup;
  items_.erase(items_.begin() + at);
  // Cleared whatever named the setup: a position, or its name in another
  // letter case.
  if (FoldCase(removed->Name()) == FoldCase(last_instrument_setup_)) {
    last_instrument_setup_.clear();
  }
  removed->DetachFromCollection(true);
  return com::S_OK;
}

HRESULT CSetupsVexR7100Scope::get_NewEnum(IUnknown** enumerator) {
  if (!enumerator) return com::E_POINTER;
  *enumerator = nullptr;
  std::vector<Variant> items;
  items.reserve(items_.size());
  for (const auto& entry : items_) {
    items.emplace_back(static_cast<IDispatch*>(entry.setup.Get()));
  }
  com::IEnumVARIANT* out = nullptr;
  const HRESULT hr = com::CreateVariantEnumerator(std::move(items), &out);
  if (com::SUCCEEDED(hr)) *enumerator = out;
  return hr;
}

HRESULT CSetupsVexR7100Scope::ReadProperties(com::IPropertyBag* bag) {
  return Load(bag, nullptr);
}

HRESULT CSetupsVexR7100Scope::Load(com::IPropertyBag* bag, com::IErrorLog* log) {
  if (!bag) return com::E_POINTER;
  Variant directory{Bstr::Empty()};
  initial_directory_ =
      com::SUCCEEDED(bag->Read(Bstr("SetupsInitialDirectory"), &directory, nullptr))
          ? directory.BstrVal().Str()
          : std::string();
  Variant on_add{true};
  get_learn_string_on_add_ =
      com::FAILED(bag->Read(Bstr("SetupsGetLearnStringOnAdd"), &on_add, nullptr)) ||
      on_add.BoolVal() != com::VARIANT_FALSE;
  Variant last{Bstr::Empty()};
  last_instrument_setup_ = com::SUCCEEDED(bag->Read(Bstr("LastInstrumentSetup"), &last, nullptr))
                               ? last.BstrVal().Str()
                               : std::string();
  kept_.clear();
  const Entries entries = EntryIndices(bag, log);
  for (const std::int32_t index : entries.indices) {
    std::string problem;
    com::ComPtr<CSetupVexR7100Scope> stored;
    HRESULT hr = CheckEntry(bag, index, &stored, &problem);
    if (com::FAILED(hr)) return hr;
    if (problem.empty() && entries.count && index > *entries.count)
      problem = "it is numbered past " + std::string(kSetupCountKey) + " (" +
                std::to_string(*entries.count) + ")";
    if (problem.empty()) {
      com::ComPtr<ISetupVexR7100Scope> added;
      hr = Add(Bstr(stored->Name()), added.ReleaseAndGetAddressOf());
      if (com::SUCCEEDED(hr)) hr = added->Copy(stored.Get());
      if (com::FAILED(hr)) return hr;
      continue;
    }
    KeptEntry kept;
    for (const char* family : kSetupEntryKeys) {
      Variant value;
      if (com::SUCCEEDED(bag->Read(Bstr(family + std::to_string(index)), &value, nullptr)))
        kept.emplace_back(family, std::move(value));
    }
    com::SetErrorInfo(0, nullptr);
    if (kept.empty()) continue;  // a gap in the numbering: nothing to keep
    kept_.push_back(std::move(kept));
    Warn(log, "SetupName" + std::to_string(index),
         "setup " + std::to_string(index) + " (SetupName" + std::to_string(index) +
             ") is skipped: " + problem +
             "; it stays in the file as it is until it is removed from there.");
  }
  return com::S_OK;
}

CSetupsVexR7100Scope::Entries CSetupsVexR7100Scope::EntryIndices(com::IPropertyBag* bag,
                                                                 com::IErrorLog* log) {
  Entries entries;
  Variant stored;
  const bool counted = com::SUCCEEDED(bag->Read(Bstr(kSetupCountKey), &stored, nullptr));
  com::SetErrorInfo(0, nullptr);
  if (counted) {
    const bool integer = stored.vt() == com::VT_I2 || stored.vt() == com::VT_I4;
    const std::int32_t number = stored.vt() == com::VT_I2 ? stored.I2()
                                : integer                 ? stored.I4()
                                                          : -1;
    if (integer && number >= 0 && number <= INT16_MAX) {
      entries.count = number;
    } else {
      Warn(log, kSetupCountKey,
           std::string(kSetupCountKey) +
               " is not a number of setups (0 to 32767); the setups the file holds are loaded.");
    }
  }
  // The entries are those the bag's keys name, when it can list them: one
  // past the count is looked at too, so that it is kept.
  if (const auto* listed = dynamic_cast<const com::MemoryPropertyBag*>(bag)) {
    std::set<std::int32_t> present;
    for (const auto& [name, value] : listed->Values()) {
      if (const auto index = EntryIndexOf(name)) present.insert(*index);
    }
    entries.indices.assign(present.begin(), present.end());
    return entries;
  }
  // Otherwise up to the count, or with no usable count up to the first
  // index without a name.
  const std::int32_t last = entries.count.value_or(counted ? INT16_MAX : 0);
  for (std::int32_t i = 1; i <= last; ++i) {
    Variant name;
    if (com::FAILED(bag->Read(Bstr("SetupName" + std::to_string(i)), &name, nullptr))) {
      com::SetErrorInfo(0, nullptr);
      if (!entries.count) break;
    }
    entries.indices.push_back(i);
  }
  return entries;
}

HRESULT CSetupsVexR7100Scope::CheckEntry(com::IPropertyBag* bag, std::int32_t index,
                                         com::ComPtr<CSetupVexR7100Scope>* stored,
                                         std::string* problem) {
  const std::string suffix = std::to_string(index);
  for (std::size_t k = 0; k < kSetupEntryKeys.size(); ++k) {
    Variant value;
    const std::string key = kSetupEntryKeys[k] + suffix;
    if (com::FAILED(bag->Read(Bstr(key), &value, nullptr))) {
      com::SetErrorInfo(0, nullptr);
      if (k == 0) {
        *problem = "it has no " + key;
        return com::S_OK;
      }
      continue;
    }
    const bool is_learn_string = k == 2;
    // Nothing stored (VT_EMPTY) is an empty value, of any key but the name.
    if (value.vt() != com::VT_BSTR && !(k > 0 && value.vt() == com::VT_EMPTY) &&
        !(is_learn_string && value.vt() == (com::VT_ARRAY | com::VT_UI1))) {
      *problem = key + " holds " + com::VarTypeName(value.vt()) + ", not " +
                 (is_learn_string ? "bytes or text" : "text");
      return com::S_OK;
    }
  }
  *stored = com::MakeObject<CSetupVexR7100Scope>();
  const HRESULT hr = (*stored)->ReadProperties(bag, index);
  if (com::FAILED(hr)) return hr;
  const std::string name = (*stored)->Name();
  if (!CSetupVexR7100Scope::IsValidName(name)) {
    *problem =
        "its name \"" + name + "\" is not a setup name (not empty, without spaces and \"|\")";
  } else if (FindName(name) >= 0) {
    *problem = "its name \"" + name + "\" is taken by an earlier setup";
  }
  return com::S_OK;
}

HRESULT CSetupsVexR7100Scope::WriteProperties(com::IPropertyBag* bag) {
  if (!bag) return com::E_POINTER;
  if (items_.size() + kept_.size() > static_cast<std::size_t>(INT16_MAX))
    return com::DISP_E_OVERFLOW;
  const std::pair<const char*, Variant> values[] = {
      {"SetupsInitialDirectory", Variant(initial_directory_)},
      {"SetupsGetLearnStringOnAdd", Variant(get_learn_string_on_add_)},
      {"LastInstrumentSetup", Variant(last_instrument_setup_)},
      {kSetupCountKey, Variant(static_cast<std::int16_t>(items_.size()))},
  };
  for (const auto& [key, value] : values) {
    const HRESULT hr = bag->Write(Bstr(key), value);
    if (com::FAILED(hr)) return hr;
  }
  std::int32_t index = 1;
  for (const auto& entry : items_) {
    const HRESULT hr = entry.setup->WriteProperties(bag, index++);
    if (com::FAILED(hr)) return hr;
  }
  for (const auto& kept : kept_) {
    for (const auto& [family, value] : kept) {
      const HRESULT hr = bag->Write(Bstr(family + std::to_string(index)), value);
      if (com::FAILED(hr)) return hr;
    }
    ++index;
  }
  return com::S_OK;
}

HRESULT CSetupsVexR7100Scope::Copy(ISetupsVexR7100Scope* source) {
  AssertSetup(source != nullptr, "(Not (Source Is Nothing))", kModule, "Copy");
  if (!source) return com::E_POINTER;
  // Copying from itself would empty it before reading it: nothing to do.
  if (source == static_cast<ISetupsVexR7100Scope*>(this)) return com::S_OK;
  Bstr directory;
  VARIANT_BOOL on_add = com::VARIANT_TRUE;
  Bstr last;
  std::int32_t count = 0;
  HRESULT hr = source->get_InitialDirectory(&directory);
  if (com::SUCCEEDED(hr)) hr = source->get_GetLearnStringOnAdd(&on_add);
  if (com::SUCCEEDED(hr)) hr = source->get_LastInstrumentSetup(&last);
  if (com::SUCCEEDED(hr)) hr = source->get_Count(&count);
  if (com::FAILED(hr)) return hr;
  // The source's setups are held while this collection is emptied: a
  // source that shares setups with this one must not lose them midway.
  std::vector<com::ComPtr<ISetupVexR7100Scope>> sources;
  for (std::int32_t i = 1; i <= count; ++i) {
    com::ComPtr<ISetupVexR7100Scope> setup;
    hr = source->item(Variant(i), setup.ReleaseAndGetAddressOf());
    if (com::FAILED(hr)) return hr;
    sources.push_back(setup);
  }
  // Entries that did not load go along, so that a copy saved in place of
  // this one (a property page applied) keeps them in the file.
  if (const auto* same = dynamic_cast<const CSetupsVexR7100Scope*>(source)) kept_ = same->kept_;
  initial_directory_ = directory.Str();
  get_learn_string_on_add_ = on_add != com::VARIANT_FALSE;
  last_instrument_setup_ = last.Str();
  while (!items_.empty()) {
    items_.back().setup->DetachFromCollection(true);
    items_.pop_back();
  }
  AssertSetup(items_.empty(), "(Count = 0)", kModule, "Copy");
  for (const auto& setup : sources) {
    Bstr name;
    hr = setup->get_Name(&name);
    com::ComPtr<ISetupVexR7100Scope> added;
    if (com::SUCCEEDED(hr)) hr = Add(name, added.ReleaseAndGetAddressOf());
    if (com::SUCCEEDED(hr)) hr = added->Copy(setup.Get());
    if (com::FAILED(hr)) return hr;
  }
  return com::S_OK;
}

HRESULT CSetupsVexR7100Scope::get_CVexR7100EZPtr(IDispatch** instrument) {
  if (!instrument) return com::E_POINTER;
  AssertSetup(instrument_ != nullptr, "(Not (m_CVexR7100EZPtr Is Nothing))", kModule,
              "Get CVexR7100EZPtr");
  return instrument_.CopyTo(instrument);
}

HRESULT CSetupsVexR7100Scope::put_CVexR7100EZPtr(IDispatch* instrument) {
  instrument_ = instrument;
  AssertSetup(instrument_ != nullptr, "(Not (m_CVexR7100EZPtr Is Nothing))", kModule,
              "Let CVexR7100EZPtr");
  for (auto& entry : items_) entry.setup->AttachToCollection(this);
  return com::S_OK;
}

HRESULT CSetupsVexR7100Scope::get_InitialDirectory(Bstr* value) {
  if (!value) return com::E_POINTER;
  *value = Bstr(initial_directory_);
  return com::S_OK;
}

HRESULT CSetupsVexR7100Scope::put_InitialDirectory(const Bstr& value) {
  initial_directory_ = value.Str();
  return com::S_OK;
}

HRESULT CSetupsVexR7100Scope::get_GetLearnStringOnAdd(VARIANT_BOOL* value) {
  if (!value) return com::E_POINTER;
  *value = com::ToVariantBool(get_learn_string_on_add_);
  return com::S_OK;
}

HRESULT CSetupsVexR7100Scope::put_GetLearnStringOnAdd(VARIANT_BOOL value) {
  get_learn_string_on_add_ = value != com::VARIANT_FALSE;
  return com::S_OK;
}

HRESULT CSetupsVexR7100Scope::get_LastInstrumentSetup(Bstr* value) {
  if (!value) return com::E_POINTER;
  *value = Bstr(last_instrument_setup_);
  return com::S_OK;
}

HRESULT CSetupsVexR7100Scope::put_LastInstrumentSetup(const Bstr& value) {
  last_instrument_setup_ = value.Str();
  return com::S_OK;
}

const com::DispatchTable& CSetupsVexR7100Scope::Table() {
  static const com::DispatchTable table = [] {
    com::DispatchTableBuilder<CSetupsVexR7100Scope> b("SetupsVexR7100Scope");
    members::AddSetups(b);
    return b.Build();
  }();
  return table;
}

}  // namespace vex::control
