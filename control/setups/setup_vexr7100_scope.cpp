#include "setup_vexr7100_scope.h"

#include "ckordale_file.h"
#include "csetup_file.h"
#include "setup_errors.h"
#include "setup_file_text.h"
#include "setups_vexr7100_scope.h"
#include "vex/com/member_call.h"

namespace vex::control {

namespace {

constexpr const char* kModule = "Setup";
// A member reached on an object reference that is not set.
constexpr com::HRESULT kObjectNotSet = com::MakeHresult(0x800A005Bu);

std::string TrimSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::string Key(const char* name, std::int32_t index) {
  return std::string(name) + std::to_string(index);
}

// Reads a text key; the default when the key is missing or holds no text.
std::string ReadText(com::IPropertyBag* bag, const std::string& key, const char* fallback) {
  Variant value{Bstr::Empty()};
  if (com::FAILED(bag->Read(Bstr(key), &value, nullptr))) return fallback;
  return value.BstrVal().Str();
}

// The thread's error for a failed late-bound call: the member's own, or
// the runtime's message about the call when nothing was invoked.
HRESULT CallFailure(HRESULT hr, const com::MemberCallIssue& issue) {
  if (issue.problem != com::MemberProblem::kNone) {
    return com::ReportRichError(hr, issue.message, kModule);
  }
  return hr;
}

}  // namespace

bool CSetupVexR7100Scope::IsValidName(const std::string& name) {
  return !name.empty() && name.find(' ') == std::string::npos &&
         name.find('|') == std::string::npos;
}

HRESULT CSetupVexR7100Scope::get_Comments(Bstr* value) {
  if (!value) return com::E_POINTER;
  *value = Bstr(comments_);
  return com::S_OK;
}

HRESULT CSetupVexR7100Scope::put_Comments(const Bstr& value) {
  if (value.View().find('|') != std::string_view::npos) {
    return RaiseSetupError(kInvalidPropertyValue, kTextControlError, kTextInvalidPropertyValue,
                           "(InStr(Comments, \"|\") = 0)", kModule, "Let Comments");
  }
  comments_ = TrimSpaces(value.View());
  return com::S_OK;
}

HRESULT CSetupVexR7100Scope::get_Name(Bstr* value) {
  if (!value) return com::E_POINTER;
  *value = Bstr(name_);
  return com::S_OK;
}

HRESULT CSetupVexR7100Scope::put_NewName(const Bstr& value) {
  if (!IsValidName(value.Str())) {
    return RaiseSetupError(kInvalidPropertyValue, kTextControlError, kTextInvalidPropertyValue,
                           "(name not empty, without spaces and \"|\")", kModule, "Let NewName");
  }
  name_ = TrimSpaces(value.View());
  return com::S_OK;
}

HRESULT CSetupVexR7100Scope::ReadProperties(com::IPropertyBag* bag, std::int32_t index) {
  if (!bag) return com::E_POINTER;
  name_ = ReadText(bag, Key("SetupName", index), kDefaultName);
  comments_ = ReadText(bag, Key("SetupComments", index), "");
  Variant learn;
  if (com::FAILED(bag->Read(Bstr(Key("LearnString", index)), &learn, nullptr)) ||
      com::FAILED(LearnStringBytes(learn, &learn_string_))) {
    learn_string_.clear();
  }
  model_ = ReadText(bag, Key("Model", index), "");
  version_ = ReadText(bag, Key("Version", index), "");
  return com::S_OK;
}

HRESULT CSetupVexR7100Scope::WriteProperties(com::IPropertyBag* bag, std::int32_t index) {
  if (!bag) return com::E_POINTER;
  const std::pair<std::string, Variant> values[] = {
      {Key("SetupName", index), Variant(name_)},
      {Key("SetupComments", index), Variant(comments_)},
      {Key("LearnString", index), LearnStringVariant(learn_string_)},
      {Key("Model", index), Variant(model_)},
      {Key("Version", index), Variant(version_)},
  };
  for (const auto& [key, value] : values) {
    const HRESULT hr = bag->Write(Bstr(key), value);
    if (com::FAILED(hr)) return hr;
  }
  return com::S_OK;
}

HRESULT CSetupVexR7100Scope::Copy(ISetupVexR7100Scope* source) {
  AssertSetup(source != nullptr, "(Not (Source Is Nothing))", kModule, "Copy");
  if (!source) return com::E_POINTER;
  if (source == this) return com::S_OK;
  Bstr name;
  Bstr comments;
  Variant learn;
  Bstr model;
  Bstr version;
  HRESULT hr = source->get_Name(&name);
  if (com::SUCCEEDED(hr)) hr = source->get_Comments(&comments);
  if (com::SUCCEEDED(hr)) hr = source->get_LearnString(&learn);
  if (com::SUCCEEDED(hr)) hr = source->get_Model(&model);
  if (com::SUCCEEDED(hr)) hr = source->get_Version(&version);
  if (com::FAILED(hr)) return hr;
  std::vector<std::uint8_t> bytes;
  hr = LearnStringBytes(learn, &bytes);
  if (com::FAILED(hr)) return hr;
  hr = put_NewName(name);
  if (com::FAILED(hr)) return hr;
  comments_ = comments.Str();
  learn_string_ = std::move(bytes);
  model_ = model.Str();
  version_ = version.Str();
  return com::S_OK;
}

HRESULT CSetupVexR7100Scope::get_LearnString(Variant* value) {
  if (!value) return com::E_POINTER;
  *value = LearnStringVariant(learn_string_);
  return com::S_OK;
}

HRESULT CSetupVexR7100Scope::get_Model(Bstr* value) {
  if (!value) return com::E_POINTER;
  *value = Bstr(model_);
  return com::S_OK;
}

HRESULT CSetupVexR7100Scope::get_Version(Bstr* value) {
  if (!value) return com::E_POINTER;
  *value = Bstr(version_);
  return com::S_OK;
}

HRESULT CSetupVexR7100Scope::Utilities(const char* procedure, com::ComPtr<IDispatch>* utilities) {
  com::ComPtr<IDispatch> instrument;
  if (parent_) (void)parent_->get_CVexR7100EZPtr(instrument.ReleaseAndGetAddressOf());
  AssertSetup(instrument != nullptr, "(Not (m_setup.CVexR7100EZPtr Is Nothing))", kModule,
              procedure);
  if (!instrument) {
    return com::ReportRichError(kObjectNotSet, "Object variable or With block variable not set.",
                                kModule);
  }
  Variant value;
  HRESULT hr = com::GetProperty(instrument.Get(), "Utilities", &value);
  if (com::FAILED(hr)) return hr;
  IDispatch* dispatch = value.Dispatch();
  if (!dispatch) {
    com::ComPtr<IDispatch> as_dispatch;
    if (value.Unknown() &&
        com::SUCCEEDED(com::ComPtr<IUnknown>(value.Unknown()).As(&as_dispatch))) {
      *utilities = as_dispatch;
      return com::S_OK;
    }
    return com::ReportRichError(kObjectNotSet, "Object variable or With block variable not set.",
                                kModule);
  }
  *utilities = dispatch;
  return com::S_OK;
}

HRESULT CSetupVexR7100Scope::ReadInstrumentText(IDispatch* utilities, const char* member,
                                                std::string* text) {
  Variant value;
  HRESULT hr = com::GetProperty(utilities, member, &value);
  if (com::FAILED(hr)) return hr;
  Bstr as_text;
  hr = value.ToBstr(&as_text);
  if (com::FAILED(hr)) return hr;
  *text = as_text.Str();
  return com::S_OK;
}

void CSetupVexR7100Scope::SetParentsLastInstrumentSetup() {
  if (parent_) (void)parent_->put_LastInstrumentSetup(Bstr(name_));
}

HRESULT CSetupVexR7100Scope::GetFromInstrument() {
  com::ComPtr<IDispatch> utilities;
  HRESULT hr = Utilities("GetFromInstrument", &utilities);
  if (com::FAILED(hr)) return hr;

  com::MemberCallResult result;
  com::MemberCallIssue issue;
  hr = com::CallMember(utilities.Get(), "ReadStateData", com::MemberAction::kCall, {}, nullptr,
                       &result, &issue);
  if (com::FAILED(hr)) return CallFailure(hr, issue);
  Variant data;
  if (result.retval) data = result.retval->value;
  if (!result.outs.empty()) data = result.outs.front().value;
  std::vector<std::uint8_t> bytes;
  hr = LearnStringBytes(data, &bytes);
  if (com::FAILED(hr)) {
    return com::ReportRichError(hr, "ReadStateData gave no byte array.", kModule);
  }
  // Model and version are read before anything is kept, so that a failure
  // leaves the setup as it was.
  std::string model;
  std::string version;
  hr = ReadInstrumentText(utilities.Get(), "InstrumentModel", &model);
  if (com::FAILED(hr)) return hr;
  AssertSetup(!model.empty(), "(Len(m_strModel) > 0)", kModule, "GetFromInstrument");
  hr = ReadInstrumentText(utilities.Get(), "InstrumentFirmwareVersion", &version);
  if (com::FAILED(hr)) return hr;
  AssertSetup(!version.empty(), "(Len(m_strVersion) > 0)", kModule, "GetFromInstrument");

  learn_string_ = std::move(bytes);
  model_ = std::move(model);
  version_ = std::move(version);
  SetParentsLastInstrumentSetup();
  return com::S_OK;
}

HRESULT CSetupVexR7100Scope::IsLearnStringCompatible(const Bstr& model, const Bstr& version,
                                                     VARIANT_BOOL* compatible) {
  if (!compatible) return com::E_POINTER;
  bool result = false;
  if (!model_.empty() && !version_.empty() && FoldCase(model_) == FoldCase(model.View())) {
    const std::string own = FoldCase(version_);
    result = own == FoldCase(version.View()) || own == FoldCase(kAnyVersion);
  }
  *compatible = com::ToVariantBool(result);
  return com::S_OK;
}

HRESULT CSetupVexR7100Scope::SendToInstrument() {
  com::ComPtr<IDispatch> utilities;
  HRESULT hr = Utilities("SendToInstrument", &utilities);
  if (com::FAILED(hr)) return hr;
  std::string model;
  std::string version;
  hr = ReadInstrumentText(utilities.Get(), "InstrumentModel", &model);
  if (com::FAILED(hr)) return hr;
  hr = ReadInstrumentText(utilities.Get(), "InstrumentFirmwareVersion", &version);
  if (com::FAILED(hr)) return hr;
  // Empty data is refused first: a setup of the right model and version
  // without data must not send an empty block.
  if (learn_string_.empty()) {
    return RaiseSetupError(kSendSetupError, kTextSendSetup, kTextSetupEmpty,
                           "(Not IsEmpty(m_vLearnString))", kModule, "SendToInstrument");
  }
  VARIANT_BOOL compatible = com::VARIANT_FALSE;
  (void)IsLearnStringCompatible(Bstr(model), Bstr(version), &compatible);
  if (!compatible) {
    return RaiseSetupError(kSendSetupError, kTextSendSetup, kTextNotCompatible,
                           "(IsLearnStringCompatible(strModel, strVersion))", kModule,
                           "SendToInstrument");
  }
  com::MemberCallResult result;
  com::MemberCallIssue issue;
  std::vector<com::MemberArgument> args;
  args.emplace_back(LearnStringVariant(learn_string_));
  hr = com::CallMember(utilities.Get(), "WriteStateData", com::MemberAction::kCall, std::move(args),
                       nullptr, &result, &issue);
  if (com::FAILED(hr)) return CallFailure(hr, issue);
  SetParentsLastInstrumentSetup();
  return com::S_OK;
}

HRESULT CSetupVexR7100Scope::ReadFromFile(const Bstr& file_name) {
  const auto native = com::MakeObject<CSetupFile>();
  const auto older = com::MakeObject<CKordaleFile>();
  VARIANT_BOOL compatible = com::VARIANT_FALSE;
  ISetupFile* reader = nullptr;
  if (com::SUCCEEDED(native->IsACompatibleFile(file_name, &compatible)) && compatible) {
    reader = native.Get();
  } else if (com::SUCCEEDED(older->IsACompatibleFile(file_name, &compatible)) && compatible) {
    reader = older.Get();
  } else {
    // The control's text, then the file it is about.
    (void)RaiseSetupError(kNotASetupFile, kTextOpenSetupFile, kTextNotASetupFile,
                          "(setup file of a known format)", kModule, "ReadFromFile");
    const com::ErrorDetails raised = com::TakeErrorDetails();
    std::string text = raised.description.Str();
    std::string stop;
    for (const char* mark : {".", "\xe3\x80\x82"}) {
      const std::string_view end(mark);
      if (text.size() >= end.size() &&
          text.compare(text.size() - end.size(), end.size(), end) == 0) {
        stop = end;
        text.resize(text.size() - end.size());
        break;
      }
    }
    return com::ReportRichError(kNotASetupFile, text + " (" + file_name.Str() + ")" + stop,
                                raised.source.Str());
  }
  HRESULT hr = reader->ReadFile(file_name);
  if (com::FAILED(hr)) return hr;
  Bstr model;
  Variant learn;
  Bstr version;
  Bstr comments;
  (void)reader->get_Model(&model);
  (void)reader->get_LearnString(&learn);
  (void)reader->get_Version(&version);
  (void)reader->get_UserComments(&comments);
  std::vector<std::uint8_t> bytes;
  hr = LearnStringBytes(learn, &bytes);
  if (com::FAILED(hr)) return hr;
  model_ = model.Str();
  learn_string_ = std::move(bytes);
  version_ = version.Str();
  comments_ = comments.Str();
  return com::S_OK;
}

HRESULT CSetupVexR7100Scope::SaveToFile(const Bstr& file_name) {
  const auto writer = com::MakeObject<CSetupFile>();
  (void)writer->put_Model(Bstr(model_));
  (void)writer->put_LearnString(LearnStringVariant(learn_string_));
  (void)writer->put_Version(Bstr(version_));
  (void)writer->put_UserComments(Bstr(comments_));
  return writer->WriteFile(file_name);
}

HRESULT CSetupVexR7100Scope::get_ParentSetups(ISetupsVexR7100Scope** parent) {
  if (!parent) return com::E_POINTER;
  AssertSetup(parent_ != nullptr, "(Not (m_ParentSetups Is Nothing))", kModule, "Get ParentSetups");
  *parent = parent_;
  if (parent_) parent_->AddRef();
  return com::S_OK;
}

HRESULT CSetupVexR7100Scope::put_ParentSetups(ISetupsVexR7100Scope* parent) {
  AssertSetup(parent != nullptr, "(Not (m_ParentSetups Is Nothing))", kModule, "Let ParentSetups");
  const auto* collection = dynamic_cast<const CSetupsVexR7100Scope*>(parent);
  if (collection && collection->Holds(this)) {
    AttachToCollection(parent);
  } else {
    parent_ = parent;
    counted_parent_ = parent;
  }
  return com::S_OK;
}

void CSetupVexR7100Scope::AttachToCollection(ISetupsVexR7100Scope* collection) {
  parent_ = collection;
  counted_parent_ = nullptr;
}

void CSetupVexR7100Scope::DetachFromCollection(bool keep) {
  if (keep) {
    counted_parent_ = parent_;
  } else {
    parent_ = nullptr;
    counted_parent_ = nullptr;
  }
}

const com::DispatchTable& CSetupVexR7100Scope::Table() {
  static const com::DispatchTable table = [] {
    com::DispatchTableBuilder<CSetupVexR7100Scope> b("SetupVexR7100Scope");
    members::AddSetup(b);
    return b.Build();
  }();
  return table;
}

}  // namespace vex::control
