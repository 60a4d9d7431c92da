#include "vexr7100_pp_setup.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "cdebug.h"
#include "frm_setup.h"
#include "frm_setup_menu.h"
#include "is_handshake_ok.h"
#include "msg_box_auto_center.h"
#include "vex/com/error_info.h"

namespace vex::control {

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr std::uint32_t kAsk = ui::mb::kOkCancel | ui::mb::kExclamation;

}  // namespace

VexR7100PPSetup::VexR7100PPSetup(ui::Toolkit& toolkit, IPPVexR7100Scope& scope)
    : ScopePage(toolkit, scope, 650, page_bit::kSetups) {}

VexR7100PPSetup::~VexR7100PPSetup() = default;

std::string VexR7100PPSetup::Caption() const {
  return PageText(600);
}

void VexR7100PPSetup::Build(ui::Form& form) {
  form.SetSize({kPageWidth, kPageHeight});
  form.AddFrame("FrameSetup", PageText(611), {8, 4, 464, 230});
  list_ = form.AddListView("ListViewSetups", {16, 24, 448, 166});
  list_->SetColumns(
      {{PageText(601), 140, ui::Align::kLeft}, {PageText(602), 300, ui::Align::kLeft}});
  auto* add = form.AddButton("CommandAdd", PageText(603), {16, 198, 88, 26});
  auto* remove = form.AddButton("CommandRemove", PageText(604), {112, 198, 88, 26});
  form.AddFrame("FrameInstrument", PageText(605), {8, 240, 228, 64});
  auto* get = form.AddButton("CommandGet", PageText(606), {20, 264, 96, 26});
  auto* send = form.AddButton("CommandSend", PageText(607), {128, 264, 96, 26});
  form.AddFrame("FrameFile", PageText(608), {244, 240, 228, 64});
  auto* open = form.AddButton("CommandOpen", PageText(609), {252, 264, 84, 26});
  auto* save = form.AddButton("CommandSaveAs", PageText(610), {342, 264, 122, 26});
  list_->OnContextMenu([this] { ContextMenu(); });
  list_->OnKeyDown([this](int key, int shift) {
    if (key == 'C' && shift == ui::shift::kCtrl) (void)Guard([this] { return CopyName(); });
  });
  add->OnClick([this] { (void)Guard([this] { return Add(); }); });
  remove->OnClick([this] { (void)Guard([this] { return Remove(); }); });
  get->OnClick([this] { (void)Guard([this] { return Get(); }); });
  send->OnClick([this] { (void)Guard([this] { return Send(); }); });
  open->OnClick([this] { (void)Guard([this] { return Open(); }); });
  save->OnClick([this] { (void)Guard([this] { return SaveAs(); }); });

  timer_idle_ = toolkit_.CreateTimer();
  timer_idle_->OnTimer([this] {
    if (!copied_) return;
    (void)Guard([this] { return PollNotification([this] { return FillList(); }); });
  });
}

void VexR7100PPSetup::Activate() {
  (void)Guard([this]() -> HRESULT {
    ApplyControlFont();
    scope_.SetPageExists(bit_, true);
    if (copied_) return com::S_OK;
    // The control's setups are copied on the first selection only: a later
    // selection would drop the edits made on this page.
    setups_ = com::MakeObject<CSetupsVexR7100Scope>();
    CSetupsVexR7100Scope* source = scope_.Setups();
    if (!source) return com::E_POINTER;
    HRESULT hr = setups_->Copy(source);
    if (com::FAILED(hr)) return hr;
    hr = setups_->put_CVexR7100EZPtr(scope_.Wrapper());
    if (com::FAILED(hr)) return hr;
    copied_ = true;
    timer_idle_->Start(kIdleIntervalMs);
    return FillList();
  });
}

void VexR7100PPSetup::Deactivate() {
  if (timer_idle_) timer_idle_->Stop();
  if (setups_) {
    std::int32_t count = 0;
    while (com::SUCCEEDED(setups_->get_Count(&count)) && count > 0)
      if (com::FAILED(setups_->Remove(Variant(std::int32_t{1})))) break;
    setups_->ReleaseInstrument();
  }
  copied_ = false;
  scope_.SetPageExists(bit_, false);
}

HRESULT VexR7100PPSetup::ApplyChanges() {
  return Guard([this]() -> HRESULT {
    if (!copied_) return com::S_OK;
    HRESULT hr = scope_.Setups()->Copy(setups_.Get());
    if (com::FAILED(hr)) return hr;
    scope_.SetPageExists(bit_, true);
    com::IDispatch* wrapper = scope_.Wrapper();
    if (!wrapper) return com::S_OK;
    Variant connected;
    hr = CallByName(wrapper, "InstrumentConnected", com::MemberAction::kGet, {}, &connected);
    if (com::FAILED(hr)) return hr;
    VARIANT_BOOL on = com::VARIANT_FALSE;
    if (com::SUCCEEDED(connected.ToBool(&on)) && on != com::VARIANT_FALSE) {
      Variant id;
      hr = CallByName(wrapper, "IDNQuery", com::MemberAction::kCall, {}, &id);
      if (com::FAILED(hr)) return hr;
      Bstr text;
      if (com::SUCCEEDED(id.ToBstr(&text)))
        scope_.IOConfigurationControl()->SetInstrumentID(text.View());
    }
    return com::S_OK;
  });
}

HRESULT VexR7100PPSetup::FillList() {
  list_->Clear();
  Bstr last;
  HRESULT hr = setups_->get_LastInstrumentSetup(&last);
  if (com::FAILED(hr)) return hr;
  std::int32_t count = 0;
  hr = setups_->get_Count(&count);
  for (std::int32_t i = 1; i <= count && com::SUCCEEDED(hr); ++i) {
    com::ComPtr<ISetupVexR7100Scope> setup;
    hr = setups_->item(Variant(i), setup.ReleaseAndGetAddressOf());
    Bstr name;
    Bstr comments;
    if (com::SUCCEEDED(hr)) hr = setup->get_Name(&name);
    if (com::SUCCEEDED(hr)) hr = setup->get_Comments(&comments);
    if (com::FAILED(hr)) break;
    ui::ListRow row;
    row.text = name.Str();
    row.sub_items = {comments.Str()};
    if (!last.View().empty() && name.Str() == last.Str()) row.icon = kCurrentIcon;
    list_->AddRow(std::move(row));
  }
  return hr;
}

int VexR7100PPSetup::RowOf(const std::string& name) const {
  for (int i = 0; i < list_->RowCount(); ++i)
    if (list_->Row(i).text == name) return i;
  return -1;
}

HRESULT VexR7100PPSetup::Selected(com::ComPtr<ISetupVexR7100Scope>* setup, std::string* name) {
  const int row = list_->SelectedRow();
  if (row < 0) return com::S_OK;
  *name = list_->Row(row).text;
  return setups_->item(Variant(*name), setup->ReleaseAndGetAddressOf());
}

HRESULT VexR7100PPSetup::MarkCurrent(const std::string& name) {
  for (int i = 0; i < list_->RowCount(); ++i)
    list_->SetRowIcon(i, list_->Row(i).text == name ? kCurrentIcon : "");
  return setups_->put_LastInstrumentSetup(Bstr(name));
}

HRESULT VexR7100PPSetup::Add() {
  VARIANT_BOOL on_add = com::VARIANT_TRUE;
  HRESULT hr = setups_->get_GetLearnStringOnAdd(&on_add);
  if (com::FAILED(hr)) return hr;
  FrmSetup form(toolkit_, FrmSetup::Mode::kAdd);
  form.m_bGetFromInstrument = on_add != com::VARIANT_FALSE;
  form.Show(Handle(), scope_.FontName(), scope_.FontSize());
  if (!form.m_bOKPressed) return com::S_OK;
  hr = setups_->put_GetLearnStringOnAdd(form.m_bGetFromInstrument ? com::VARIANT_TRUE
                                                                  : com::VARIANT_FALSE);
  if (com::FAILED(hr)) return hr;
  com::ComPtr<ISetupVexR7100Scope> existing;
  if (com::SUCCEEDED(setups_->item(Variant(form.m_strName), existing.ReleaseAndGetAddressOf()))) {
    MsgBoxCentered(toolkit_, Handle(), PageText(630), ui::mb::kOkOnly | ui::mb::kExclamation,
                   PageText(105));
    return com::S_OK;
  }
  com::SetErrorInfo(0, nullptr);
  com::ComPtr<ISetupVexR7100Scope> setup;
  hr = setups_->Add(Bstr(form.m_strName), setup.ReleaseAndGetAddressOf());
  if (com::FAILED(hr)) return hr;
  hr = setup->put_Comments(Bstr(form.m_strComments));
  if (com::FAILED(hr)) return hr;
  ui::ListRow row;
  row.text = form.m_strName;
  row.sub_items = {form.m_strComments};
  const int index = list_->AddRow(std::move(row));
  list_->Select(index);
  list_->EnsureVisible(index);
  SetChanged(true);
  return form.m_bGetFromInstrument ? Get() : com::S_OK;
}

HRESULT VexR7100PPSetup::Edit() {
  com::ComPtr<ISetupVexR7100Scope> setup;
  std::string name;
  HRESULT hr = Selected(&setup, &name);
  if (com::FAILED(hr) || !setup) return hr;
  Bstr comments;
  hr = setup->get_Comments(&comments);
  if (com::FAILED(hr)) return hr;
  FrmSetup form(toolkit_, FrmSetup::Mode::kEdit);
  form.m_strName = name;
  form.m_strComments = comments.Str();
  form.Show(Handle(), scope_.FontName(), scope_.FontSize());
  if (!form.m_bOKPressed) return com::S_OK;
  const int row = RowOf(name);
  if (form.m_strName != name) {
    com::ComPtr<ISetupVexR7100Scope> other;
    if (com::SUCCEEDED(setups_->item(Variant(form.m_strName), other.ReleaseAndGetAddressOf())) &&
        other.Get() != setup.Get()) {
      MsgBoxCentered(toolkit_, Handle(), PageText(630), ui::mb::kOkOnly | ui::mb::kExclamation,
                     PageText(105));
      return com::S_OK;
    }
    com::SetErrorInfo(0, nullptr);
    // The collection is keyed by name: the setup is made again under the
    // new one, and the current-setup mark follows it.
    Bstr last;
    hr = setups_->get_LastInstrumentSetup(&last);
    if (com::FAILED(hr)) return hr;
    hr = setups_->Remove(Variant(name));
    if (com::FAILED(hr)) return hr;
    com::ComPtr<ISetupVexR7100Scope> renamed;
    hr = setups_->Add(Bstr(form.m_strName), renamed.ReleaseAndGetAddressOf());
    if (com::SUCCEEDED(hr)) hr = renamed->Copy(setup.Get());
    if (com::SUCCEEDED(hr)) hr = renamed->put_NewName(Bstr(form.m_strName));
    if (com::FAILED(hr)) return hr;
    if (last.Str() == name) {
      hr = setups_->put_LastInstrumentSetup(Bstr(form.m_strName));
      if (com::FAILED(hr)) return hr;
    }
    setup = renamed;
    list_->SetRowText(row, form.m_strName);
  }
  hr = setup->put_Comments(Bstr(form.m_strComments));
  if (com::FAILED(hr)) return hr;
  list_->SetSubItem(row, 1, form.m_strComments);
  SetChanged(true);
  return com::S_OK;
}

HRESULT VexR7100PPSetup::CopyName() {
  const int row = list_->SelectedRow();
  if (row >= 0) toolkit_.SetClipboardText(list_->Row(row).text);
  return com::S_OK;
}

void VexR7100PPSetup::ContextMenu() {
  FrmSetupMenu menu(toolkit_);
  const int event = menu.Show(Handle(), list_->ContextMenuPoint(), list_->SelectedRow() >= 0,
                              scope_.FontName(), scope_.FontSize());
  if (event == FrmSetupMenu::kEdit) (void)Guard([this] { return Edit(); });
  if (event == FrmSetupMenu::kCopy) (void)Guard([this] { return CopyName(); });
}

HRESULT VexR7100PPSetup::Remove() {
  const int row = list_->SelectedRow();
  if (row < 0) return com::S_OK;
  if (MsgBoxCentered(toolkit_, Handle(), PageText(701), kAsk, PageText(700)) != ui::answer::kOk)
    return com::S_OK;
  const HRESULT hr = setups_->Remove(Variant(list_->Row(row).text));
  if (com::FAILED(hr)) return hr;
  list_->RemoveRow(row);
  if (list_->RowCount() > 0) list_->Select(row < list_->RowCount() ? row : row - 1);
  SetChanged(true);
  return com::S_OK;
}

HRESULT VexR7100PPSetup::Connect(bool* proceed) {
  HRESULT hr = IsSetupHandshakeOK(toolkit_, Handle(), scope_, proceed);
  if (com::FAILED(hr) || !*proceed) return hr;
  com::IDispatch* wrapper = scope_.Wrapper();
  hr = CallByName(wrapper, "PropertyPageMode", com::MemberAction::kSet, {Variant(true)}, nullptr);
  if (com::FAILED(hr)) return hr;
  Variant connected;
  hr = CallByName(wrapper, "InstrumentConnected", com::MemberAction::kGet, {}, &connected);
  VARIANT_BOOL on = com::VARIANT_FALSE;
  if (com::SUCCEEDED(hr)) (void)connected.ToBool(&on);
  if (com::SUCCEEDED(hr) && on == com::VARIANT_FALSE)
    hr = CallByName(wrapper, "Initialize", com::MemberAction::kCall, {}, nullptr);
  Variant utilities;
  if (com::SUCCEEDED(hr))
    hr = CallByName(wrapper, "Utilities", com::MemberAction::kGet, {}, &utilities);
  // The page mode ends on every path, keeping the failure's error.
  const com::ErrorDetails error = com::FAILED(hr) ? com::TakeErrorDetails() : com::ErrorDetails{};
  (void)CallByName(wrapper, "PropertyPageMode", com::MemberAction::kSet, {Variant(false)}, nullptr);
  com::SetErrorInfo(0, nullptr);
  if (com::FAILED(hr)) (void)com::ReportRichError(hr, error);
  return hr;
}

HRESULT VexR7100PPSetup::Get() {
  com::ComPtr<ISetupVexR7100Scope> setup;
  std::string name;
  HRESULT hr = Selected(&setup, &name);
  if (com::FAILED(hr) || !setup || name.empty()) return hr;
  Variant learn;
  hr = setup->get_LearnString(&learn);
  if (com::FAILED(hr)) return hr;
  const bool has_data = learn.Array() && learn.Array()->ElementCount() > 0;
  if (has_data && MsgBoxCentered(toolkit_, Handle(), PageText(661) + kCrLf + PageText(662), kAsk,
                                 PageText(660)) != ui::answer::kOk)
    return com::S_OK;
  bool proceed = true;
  hr = Connect(&proceed);
  if (com::FAILED(hr) || !proceed) return hr;
  hr = setup->GetFromInstrument();
  if (com::FAILED(hr)) return hr;
  SetChanged(true);
  return MarkCurrent(name);
}

HRESULT VexR7100PPSetup::Send() {
  com::ComPtr<ISetupVexR7100Scope> setup;
  std::string name;
  HRESULT hr = Selected(&setup, &name);
  if (com::FAILED(hr) || !setup || name.empty()) return hr;
  if (MsgBoxCentered(toolkit_, Handle(), PageText(694) + kCrLf + PageText(695), kAsk,
                     PageText(690)) != ui::answer::kOk)
    return com::S_OK;
  bool proceed = true;
  hr = Connect(&proceed);
  if (com::FAILED(hr) || !proceed) return hr;
  hr = setup->SendToInstrument();
  if (com::FAILED(hr)) {
    com::SetErrorInfo(0, nullptr);
    // The instrument's most recent error is read, which also takes it off
    // the instrument's error queue.
    Variant utilities;
    if (com::SUCCEEDED(
            CallByName(scope_.Wrapper(), "Utilities", com::MemberAction::kGet, {}, &utilities)))
      (void)CallByName(utilities.Dispatch(), "QueryInstrumentError", com::MemberAction::kCall, {},
                       nullptr);
    com::SetErrorInfo(0, nullptr);
    MsgBoxCentered(toolkit_, Handle(), PageText(696) + kCrLf + kCrLf + PageText(697),
                   ui::mb::kOkOnly | ui::mb::kExclamation, PageText(690));
    return com::S_OK;
  }
  SetChanged(true);
  return MarkCurrent(name);
}

std::string VexR7100PPSetup::FileFilter() const {
  std::string filter;
  auto add = [&filter](const std::string& text) {
    filter += text;
    filter.push_back('\0');
  };
  add(PageText(720));
  add("*.scp;*.stp");
  add(PageText(721));
  add("*.scp");
  add(PageText(722));
  add("*.stp");
  add(PageText(723));
  add("*.*");
  return filter;
}

HRESULT VexR7100PPSetup::RememberFolder(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  Bstr current;
  HRESULT hr = setups_->get_InitialDirectory(&current);
  if (com::FAILED(hr) || current.Str() == folder) return hr;
  hr = setups_->put_InitialDirectory(Bstr(folder));
  if (com::SUCCEEDED(hr)) SetChanged(true);
  return hr;
}

HRESULT VexR7100PPSetup::Open() {
  Bstr folder;
  HRESULT hr = setups_->get_InitialDirectory(&folder);
  if (com::FAILED(hr)) return hr;
  ui::FileDialogRequest request;
  request.kind = ui::FileDialogKind::kOpen;
  request.title = PageText(670);
  request.filter = FileFilter();
  request.filter_index = 1;
  request.initial_folder = folder.Str();
  request.flags = ui::ofn::kFileMustExist | ui::ofn::kHideReadOnly;
  std::optional<std::string> path;
  hr = toolkit_.ShowFileDialog(Handle(), request, &path);
  if (com::FAILED(hr)) {
    CDebug::ForThisThread().Assert(false, "lExtendedError = 0", "VexR7100PPSetup", "Open", "");
    com::SetErrorInfo(0, nullptr);
    return com::S_OK;
  }
  if (!path) return com::S_OK;
  hr = RememberFolder(*path);
  if (com::FAILED(hr)) return hr;
  // The setup is named after the file, up to its first "."; a space or "|"
  // there, which a setup name cannot hold, becomes "_".
  std::string name = std::filesystem::path(*path).filename().string();
  name = name.substr(0, name.find('.'));
  std::replace_if(
      name.begin(), name.end(), [](char c) { return c == ' ' || c == '|'; }, '_');
  com::ComPtr<ISetupVexR7100Scope> setup;
  if (com::SUCCEEDED(setups_->item(Variant(name), setup.ReleaseAndGetAddressOf()))) {
    if (MsgBoxCentered(toolkit_, Handle(), PageText(671) + kCrLf + kCrLf + PageText(672),
                       ui::mb::kOkCancel, PageText(670)) != ui::answer::kOk)
      return com::S_OK;
  } else {
    com::SetErrorInfo(0, nullptr);
    hr = setups_->Add(Bstr(name), setup.ReleaseAndGetAddressOf());
    if (com::FAILED(hr)) return hr;
    ui::ListRow row;
    row.text = name;
    row.sub_items = {""};
    list_->AddRow(std::move(row));
    SetChanged(true);
  }
  hr = setup->ReadFromFile(Bstr(*path));
  if (com::FAILED(hr)) return hr;
  Bstr comments;
  hr = setup->get_Comments(&comments);
  if (com::FAILED(hr)) return hr;
  const int row = RowOf(name);
  list_->SetSubItem(row, 1, comments.Str());
  list_->Select(row);
  SetChanged(true);
  return com::S_OK;
}

HRESULT VexR7100PPSetup::SaveAs() {
  com::ComPtr<ISetupVexR7100Scope> setup;
  std::string name;
  HRESULT hr = Selected(&setup, &name);
  if (com::FAILED(hr) || !setup) return hr;
  Bstr folder;
  hr = setups_->get_InitialDirectory(&folder);
  if (com::FAILED(hr)) return hr;
  ui::FileDialogRequest request;
  request.kind = ui::FileDialogKind::kSave;
  request.title = PageText(680);
  request.filter = FileFilter();
  request.filter_index = 1;
  request.initial_folder = folder.Str();
  request.file_name = name;
  // A name typed without an extension is saved as a native setup file,
  // which the Open dialog's filters then show.
  request.default_extension = "scp";
  request.flags = ui::ofn::kOverwritePrompt | ui::ofn::kHideReadOnly | ui::ofn::kPathMustExist;
  std::optional<std::string> path;
  hr = toolkit_.ShowFileDialog(Handle(), request, &path);
  if (com::FAILED(hr)) {
    CDebug::ForThisThread().Assert(false, "lExtendedError = 0", "VexR7100PPSetup", "SaveAs", "");
    com::SetErrorInfo(0, nullptr);
    return com::S_OK;
  }
  if (!path) return com::S_OK;
  hr = RememberFolder(*path);
  if (com::FAILED(hr)) return hr;
  return setup->SaveToFile(Bstr(*path));
}

}  // namespace vex::control
