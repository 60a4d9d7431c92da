#include "panel_setups.h"

#include <filesystem>
#include <optional>

#include "panel_failure.h"
#include "setup_commands.h"
#include "vex/com/member_call.h"
#include "vex/com/numeric_text.h"

namespace vex::scope {
namespace {

using com::Bstr;
using com::Variant;
using control::ISetupVexR7100Scope;

constexpr const char* kCrLf = "\r\n";
constexpr const char* kCurrentIcon = "CurrentScopeSetup";
constexpr std::uint32_t kAsk = ui::mb::kOkCancel | ui::mb::kExclamation;

}  // namespace

PanelSetups::PanelSetups(ui::Toolkit& toolkit, ui::Form& form, com::IDispatch* control,
                         const PanelTexts& texts, const ui::Rect& area, Runner run)
    : toolkit_(toolkit), form_(form), control_(control), texts_(texts), run_(std::move(run)) {
  constexpr int kButtonWidth = 110;
  const int list_width = area.width - kButtonWidth - 8;
  form.AddLabel("lblSetups", texts.Text(600), {area.left, area.top, list_width, 18});
  list_ = form.AddListView("lstSetups", {area.left, area.top + 20, list_width, area.height - 20});
  list_->SetColumns({{texts.Text(601), list_width / 3, ui::Align::kLeft},
                     {texts.Text(602), list_width * 2 / 3 - 8, ui::Align::kLeft}});
  const int x = area.left + list_width + 8;
  int y = area.top + 20;
  const auto add = [&](const char* name, int id, void (PanelSetups::*act)()) {
    ui::Button* button = form.AddButton(name, texts.Text(id), {x, y, kButtonWidth, 28});
    button->OnClick([this, act] { (this->*act)(); });
    y += 34;
    return button;
  };
  get_ = add("cmdSetupGet", 606, &PanelSetups::Get);
  send_ = add("cmdSetupSend", 607, &PanelSetups::Send);
  open_ = add("cmdSetupOpen", 609, &PanelSetups::Open);
  save_as_ = add("cmdSetupSaveAs", 610, &PanelSetups::SaveAs);
}

void PanelSetups::Reload() {
  Variant value;
  CheckPanelCall(com::GetProperty(control_, "Setups", &value));
  com::ComPtr<control::ISetupsVexR7100Scope> setups;
  if (!value.Dispatch() || com::FAILED(com::ComPtr<com::IDispatch>(value.Dispatch()).As(&setups)))
    throw PanelFailure(com::E_NOINTERFACE, "The control gave no setups collection.");
  setups_ = setups;
  const int selected = list_->SelectedRow();
  const std::string keep = selected >= 0 ? list_->Row(selected).text : std::string();
  list_->Clear();
  std::int32_t count = 0;
  CheckPanelCall(setups_->get_Count(&count));
  Bstr last;
  CheckPanelCall(setups_->get_LastInstrumentSetup(&last));
  for (std::int32_t i = 1; i <= count; ++i) {
    com::ComPtr<ISetupVexR7100Scope> setup;
    CheckPanelCall(setups_->item(Variant(i), setup.ReleaseAndGetAddressOf()));
    Bstr name, comments;
    CheckPanelCall(setup->get_Name(&name));
    CheckPanelCall(setup->get_Comments(&comments));
    ui::ListRow row;
    row.text = name.Str();
    row.sub_items = {comments.Str()};
    if (!last.Str().empty() && com::EqualsNoCase(last.Str(), name.Str())) row.icon = kCurrentIcon;
    list_->AddRow(std::move(row));
  }
  const int again = RowOf(keep);
  if (again >= 0) list_->Select(again);
}

com::ComPtr<ISetupVexR7100Scope> PanelSetups::Selected(std::string* name) {
  const int row = list_->SelectedRow();
  if (row < 0 || !setups_) return {};
  *name = list_->Row(row).text;
  if (name->empty()) return {};
  com::ComPtr<ISetupVexR7100Scope> setup;
  CheckPanelCall(setups_->item(Variant(*name), setup.ReleaseAndGetAddressOf()));
  return setup;
}

int PanelSetups::RowOf(const std::string& name) const {
  for (int i = 0; i < list_->RowCount(); ++i)
    if (!name.empty() && com::EqualsNoCase(list_->Row(i).text, name)) return i;
  return -1;
}

void PanelSetups::MarkCurrent(const std::string& name) {
  CheckPanelCall(setups_->put_LastInstrumentSetup(Bstr(name)));
  for (int i = 0; i < list_->RowCount(); ++i)
    list_->SetRowIcon(i, com::EqualsNoCase(list_->Row(i).text, name) ? kCurrentIcon : "");
}

int PanelSetups::Ask(const std::string& text, std::uint32_t flags, const std::string& title) {
  ui::MessageBoxRequest box;
  box.title = title;
  box.text = text;
  box.flags = flags;
  return toolkit_.ShowMessageBox(form_.Handle(), box);
}

void PanelSetups::Get() {
  run_(texts_.Text(650), [this] {
    std::string name;
    const auto setup = Selected(&name);
    if (!setup) return;
    Variant learn;
    CheckPanelCall(setup->get_LearnString(&learn));
    const bool has_data = learn.Array() && learn.Array()->ElementCount() > 0;
    if (has_data &&
        Ask(texts_.Text(661) + kCrLf + texts_.Text(662), kAsk, texts_.Text(660)) != ui::answer::kOk)
      return;
    if (!ConfirmIOConfiguration()) return;
    CheckPanelCall(setup->GetFromInstrument());
    MarkCurrent(name);
  });
}

void PanelSetups::Send() {
  run_(texts_.Text(650), [this] {
    std::string name;
    const auto setup = Selected(&name);
    if (!setup) return;
    if (Ask(texts_.Text(694) + kCrLf + texts_.Text(695), kAsk, texts_.Text(690)) != ui::answer::kOk)
      return;
    if (!ConfirmIOConfiguration()) return;
    if (com::FAILED(setup->SendToInstrument())) {
      com::SetErrorInfo(0, nullptr);
      // Reading the instrument's latest error also takes it off its queue.
      com::MemberCallResult result;
      com::MemberCallIssue issue;
      (void)com::CallMemberPath(control_, "Utilities.QueryInstrumentError",
                                com::MemberAction::kCall, {}, nullptr, &result, &issue);
      com::SetErrorInfo(0, nullptr);
      Ask(texts_.Text(696) + kCrLf + kCrLf + texts_.Text(697),
          ui::mb::kOkOnly | ui::mb::kExclamation, texts_.Text(690));
      return;
    }
    MarkCurrent(name);
  });
}

bool PanelSetups::ConfirmIOConfiguration() {
  const com::MemberCallResult result =
      PanelMember(control_, "ConfirmSetupIOConfiguration", com::MemberAction::kCall);
  com::VARIANT_BOOL proceed = com::VARIANT_TRUE;
  if (result.retval) (void)result.retval->value.ToBool(&proceed);
  return proceed != com::VARIANT_FALSE;
}

std::string PanelSetups::FileFilter() const {
  std::string filter;
  for (const std::string& part :
       {texts_.Text(720), std::string("*.scp;*.stp"), texts_.Text(721), std::string("*.scp"),
        texts_.Text(722), std::string("*.stp"), texts_.Text(723), std::string("*.*")}) {
    filter += part;
    filter.push_back('\0');
  }
  return filter;
}

void PanelSetups::RememberFolder(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  Bstr current;
  CheckPanelCall(setups_->get_InitialDirectory(&current));
  if (current.Str() != folder) CheckPanelCall(setups_->put_InitialDirectory(Bstr(folder)));
}

void PanelSetups::Open() {
  run_(texts_.Text(650), [this] {
    if (!setups_) return;
    Bstr folder;
    CheckPanelCall(setups_->get_InitialDirectory(&folder));
    ui::FileDialogRequest request;
    request.kind = ui::FileDialogKind::kOpen;
    request.title = texts_.Text(670);
    request.filter = FileFilter();
    request.initial_folder = folder.Str();
    request.flags = ui::ofn::kFileMustExist | ui::ofn::kHideReadOnly;
    std::optional<std::string> path;
    if (com::FAILED(toolkit_.ShowFileDialog(form_.Handle(), request, &path)) || !path) {
      com::SetErrorInfo(0, nullptr);
      return;
    }
    RememberFolder(*path);
    const std::string name = SetupCommands::NameFromFile(*path);
    com::ComPtr<ISetupVexR7100Scope> setup;
    if (com::SUCCEEDED(setups_->item(Variant(name), setup.ReleaseAndGetAddressOf()))) {
      if (Ask(texts_.Text(671) + kCrLf + kCrLf + texts_.Text(672), ui::mb::kOkCancel,
              texts_.Text(670)) != ui::answer::kOk)
        return;
    } else {
      com::SetErrorInfo(0, nullptr);
      CheckPanelCall(setups_->Add(Bstr(name), setup.ReleaseAndGetAddressOf()));
      ui::ListRow row;
      row.text = name;
      row.sub_items = {""};
      list_->AddRow(std::move(row));
    }
    CheckPanelCall(setup->ReadFromFile(Bstr(*path)));
    Bstr comments;
    CheckPanelCall(setup->get_Comments(&comments));
    const int row = RowOf(name);
    list_->SetSubItem(row, 1, comments.Str());
    list_->Select(row);
  });
}

void PanelSetups::SaveAs() {
  run_(texts_.Text(650), [this] {
    std::string name;
    const auto setup = Selected(&name);
    if (!setup) return;
    Bstr folder;
    CheckPanelCall(setups_->get_InitialDirectory(&folder));
    ui::FileDialogRequest request;
    request.kind = ui::FileDialogKind::kSave;
    request.title = texts_.Text(680);
    request.filter = FileFilter();
    request.initial_folder = folder.Str();
    request.file_name = name;
    request.default_extension = "scp";
    request.flags = ui::ofn::kOverwritePrompt | ui::ofn::kHideReadOnly | ui::ofn::kPathMustExist;
    std::optional<std::string> path;
    if (com::FAILED(toolkit_.ShowFileDialog(form_.Handle(), request, &path)) || !path) {
      com::SetErrorInfo(0, nullptr);
      return;
    }
    RememberFolder(*path);
    CheckPanelCall(setup->SaveToFile(Bstr(*path)));
  });
}

}  // namespace vex::scope
