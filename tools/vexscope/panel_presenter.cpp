#include "panel_presenter.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "demo.h"
#include "measurement_text.h"
#include "panel_failure.h"
#include "result_printer.h"
#include "screen_image.h"
#include "vex/com/member_call.h"
#include "vex/server/vexr7100.h"
#include "waveform_plot.h"

namespace vex::scope {
namespace {

using com::MemberAction;
using com::Variant;

constexpr int kWidth = 1040;
constexpr int kHeight = 720;
constexpr int kAutoRefreshSeconds[] = {1, 2, 5, 10, 30};
// The error title of the control (string 104, "Vexan 8100 Scope Control Error").
constexpr int kControlErrorTitle = 104;

Variant Value(com::IDispatch* control, const std::string& path) {
  const com::MemberCallResult r = PanelMember(control, path, MemberAction::kGet);
  return r.retval ? r.retval->value : Variant();
}

ui::MessageBoxRequest ErrorBox(std::string title, std::string text) {
  ui::MessageBoxRequest box;
  box.title = std::move(title);
  box.text = std::move(text);
  box.flags = ui::mb::kOkOnly | ui::mb::kCritical | ui::mb::kForeground;
  return box;
}

}  // namespace

PanelPresenter::PanelPresenter(ui::Toolkit& toolkit, com::IDispatch* control,
                               std::function<void()> after_pages)
    : toolkit_(toolkit), control_(control), after_pages_(std::move(after_pages)), texts_(control) {
  Build();
}

PanelPresenter::~PanelPresenter() {
  // The timers go before the form whose controls their handlers touch.
  auto_refresh_.reset();
  start_.reset();
  setups_.reset();
}

void PanelPresenter::Build() {
  form_ = toolkit_.CreateForm("FrmPanel");
  ui::Form& f = *form_;
  f.SetTitle("vexscope - " + texts_.Text(105));
  f.SetSize({kWidth, kHeight});
  status_ = f.AddLabel("lblStatus", "", {8, 8, kWidth - 16, 22});

  // The buttons of the top row; their captions get mnemonics together with
  // every other button's.
  struct Action {
    const char* name;
    std::string caption;
    void (PanelPresenter::*act)();
  };
  const std::vector<Action> top = {
      {"cmdRun", "Run", &PanelPresenter::Run},
      {"cmdStop", "Stop", &PanelPresenter::Stop},
      {"cmdSingle", "Single", &PanelPresenter::Single},
      {"cmdAutoScale", "AutoScale", &PanelPresenter::AutoScale},
      {"cmdDigitize", "Digitize", &PanelPresenter::Digitize},
      {"cmdRefresh", "Refresh", &PanelPresenter::Refresh},
  };
  std::vector<ui::Button*> buttons;
  int x = 8;
  for (const Action& a : top) {
    ui::Button* b = f.AddButton(a.name, a.caption, {x, 36, 100, 28});
    b->OnClick([this, act = a.act, caption = a.caption] { RunAction(caption, act); });
    buttons.push_back(b);
    x += 106;
  }
  auto_refresh_box_ = f.AddCheckBox("chkAutoRefresh", "Refresh every", {x + 10, 40, 130, 22});
  auto_refresh_box_->OnClick([this] { UpdateAutoRefresh(); });
  auto_refresh_seconds_ = f.AddCombo("cboAutoRefresh", {x + 142, 38, 70, 24});
  for (int seconds : kAutoRefreshSeconds)
    auto_refresh_seconds_->AddItem(std::to_string(seconds) + " s", seconds);
  auto_refresh_seconds_->SetSelectedIndex(1);
  auto_refresh_seconds_->OnSelect([this] { UpdateAutoRefresh(); });

  // What the panel last set the acquisition to.
  run_state_ = f.AddLabel("lblRunState", "", {x + 222, 40, kWidth - x - 230, 22});

  plot_ = f.AddPlot("plotWaveforms", {8, 72, 584, 420});
  plot_->SetAxisLabels("time (s)", "volts (V)");
  measurements_ = f.AddListView("lstMeasurements", {600, 72, kWidth - 608, 420});

  setups_ = std::make_unique<PanelSetups>(
      toolkit_, f, control_.Get(), texts_, ui::Rect{8, 500, 534, 170},
      [this](const std::string& title, const std::function<void()>& body) {
        Act(title, false, body);
      });

  const std::vector<Action> bottom = {
      {"cmdSaveCsv", "Save as CSV\u2026", &PanelPresenter::SaveCsv},
      {"cmdScreen", "Screen\u2026", &PanelPresenter::SaveScreen},
      {"cmdProperties", "Properties\u2026", &PanelPresenter::Properties},
      {"cmdAbout", "About", &PanelPresenter::About},
  };
  int y = 520;
  for (const Action& a : bottom) {
    ui::Button* b = f.AddButton(a.name, a.caption, {548, y, 140, 28});
    b->OnClick([this, act = a.act, caption = a.caption] { RunAction(caption, act); });
    buttons.push_back(b);
    y += 34;
  }
  progress_text_ = f.AddLabel("lblProgress", "", {704, 520, kWidth - 712, 20});
  progress_ = f.AddProgressBar("prgOperation", {704, 544, kWidth - 712, 18});
  cancel_button_ = f.AddButton("cmdCancel", texts_.Text(112), {704, 570, 110, 28});
  cancel_button_->SetUsableWhileWaiting(true);
  cancel_button_->SetEnabled(false);
  cancel_button_->OnClick([this] { CancelOperation(); });
  buttons.push_back(cancel_button_);

  // The window resizes from the size everything was laid out for: the plot
  // and the table take the room, what is below them moves down with the
  // bottom edge.
  f.SetMinimumSize(ui::Size{kWidth, kHeight});
  for (const auto& widget : f.Widgets()) layout_.push_back({widget.get(), widget->Geometry()});
  f.OnResize([this](ui::Size size) { Layout(size); });

  for (ui::Button* b : setups_->Buttons()) buttons.push_back(b);
  std::vector<std::string> captions;
  for (ui::Button* b : buttons) captions.push_back(b->Caption());
  captions = WithMnemonics(captions);
  for (std::size_t i = 0; i < buttons.size(); ++i) buttons[i]->SetCaption(captions[i]);
  for (ui::Button* b : buttons)
    if (b != cancel_button_) action_widgets_.push_back(b);
  action_widgets_.push_back(auto_refresh_box_);
  action_widgets_.push_back(auto_refresh_seconds_);
  action_widgets_.push_back(setups_->List());
  f.SetCancelButton(nullptr);

  auto_refresh_ = toolkit_.CreateTimer();
  auto_refresh_->OnTimer([this] { OnAutoRefreshTimer(); });
  start_ = toolkit_.CreateTimer();
  start_->OnTimer([this] { Connect(); });
  Act("", false, [this] { setups_->Reload(); });
  f.OnError([this](std::string_view what) {
    toolkit_.ShowMessageBox(form_->Handle(),
                            ErrorBox(texts_.Text(kControlErrorTitle), std::string(what)));
  });
  ShowStatus();
}

int PanelPresenter::Show() {
  // Connects once the window is up, so a slow or absent instrument never
  // keeps it from showing.
  start_->Start(0, true);
  return form_->ShowModal(0);
}

void PanelPresenter::Act(const std::string& title, bool cancellable,
                         const std::function<void()>& body) {
  if (busy_) return;
  busy_ = true;
  cancel_ = false;
  for (ui::Widget* w : action_widgets_) w->SetEnabled(false);
  cancel_button_->SetEnabled(cancellable);
  std::optional<PanelFailure> failure;
  {
    ui::BusyCursor cursor(toolkit_);
    try {
      body();
    } catch (const PanelFailure& e) {
      failure = e;
    } catch (const std::exception& e) {
      failure = PanelFailure(com::E_FAIL, e.what());
    }
  }
  for (ui::Widget* w : action_widgets_) w->SetEnabled(true);
  cancel_button_->SetEnabled(false);
  Progress("", 0, 1);
  busy_ = false;
  if (!failure) return;
  // Titled by what failed: the caller's title, else the failure's source
  // when it is a name a user reads (not a ProgID), else the control's error
  // title; and the action the user started.
  std::string box_title = title;
  if (box_title.empty() && failure->source().find('.') == std::string::npos)
    box_title = failure->source();
  if (box_title.empty()) box_title = texts_.Text(kControlErrorTitle);
  if (!action_.empty()) box_title += " - " + action_;
  toolkit_.ShowMessageBox(form_->Handle(), ErrorBox(box_title, failure->what()));
  // The status line follows the connection: an error that closed it shows.
  Variant connected;
  if (com::SUCCEEDED(com::GetProperty(control_.Get(), "InstrumentConnected", &connected)) &&
      connected.BoolVal() == com::VARIANT_FALSE) {
    std::string first = failure->what();
    first = first.substr(0, first.find_first_of("\r\n"));
    connection_error_ = first;
  }
  com::SetErrorInfo(0, nullptr);
  ShowStatus();
}

void PanelPresenter::RunAction(const std::string& caption, void (PanelPresenter::*act)()) {
  // The action's name as its key shows it, without the "…" of a dialog.
  std::string name = caption;
  const std::string ellipsis = "\u2026";
  if (name.size() >= ellipsis.size() &&
      name.compare(name.size() - ellipsis.size(), ellipsis.size(), ellipsis) == 0)
    name.resize(name.size() - ellipsis.size());
  action_ = name;
  (this->*act)();
  action_.clear();
}

void PanelPresenter::Progress(const std::string& text, int value, int maximum) {
  progress_text_->SetCaption(text);
  progress_->SetRange(0, std::max(1, maximum));
  progress_->SetValue(value);
}

void PanelPresenter::ShowStatus() {
  Variant address;
  std::string line = texts_.Text(203) + ": ";
  if (com::SUCCEEDED(com::GetProperty(control_.Get(), "Address", &address)))
    line += address.BstrVal().Str();
  com::SetErrorInfo(0, nullptr);
  Variant connected;
  const bool on =
      com::SUCCEEDED(com::GetProperty(control_.Get(), "InstrumentConnected", &connected)) &&
      connected.BoolVal() != com::VARIANT_FALSE;
  com::SetErrorInfo(0, nullptr);
  if (on) {
    std::string identity;
    for (const char* member : {"Utilities.InstrumentModel", "Utilities.InstrumentSerialNumber",
                               "Utilities.InstrumentFirmwareVersion"}) {
      try {
        const std::string text = ScalarText(Value(control_.Get(), member));
        identity += (identity.empty() ? "" : ", ") + text;
      } catch (const PanelFailure&) {
      }
    }
    line += "    " + identity;
  } else if (!connection_error_.empty()) {
    line += "    " + connection_error_;
  } else {
    line += "    (not connected)";
  }
  status_->SetCaption(line);
}

void PanelPresenter::Connect() {
  Act("", false, [this] {
    Progress("Connecting", 0, 1);
    connection_error_.clear();
    try {
      PanelMember(control_.Get(), "Initialize", MemberAction::kCall);
    } catch (const PanelFailure& e) {
      std::string first = e.what();
      connection_error_ = first.substr(0, first.find_first_of("\r\n"));
      throw;
    }
  });
  ShowStatus();
}

void PanelPresenter::Run() {
  // The server's Run is not offered for the models it supports; the
  // family's own run command goes through the pass-through instead.
  Act("", false, [this] {
    PanelMember(control_.Get(), "Output", MemberAction::kCall, {"\":RUN\""});
    run_state_->SetCaption("Running");
  });
}

void PanelPresenter::Stop() {
  Act("", false, [this] {
    PanelMember(control_.Get(), "StopTrigger", MemberAction::kCall);
    run_state_->SetCaption("Stopped");
  });
}

void PanelPresenter::Single() {
  Act("", false, [this] {
    PanelMember(control_.Get(), "SingleTrigger", MemberAction::kCall);
    run_state_->SetCaption("Single");
  });
}

void PanelPresenter::AutoScale() {
  Act("", false, [this] {
    Progress("AutoScale", 0, 1);
    PanelMember(control_.Get(), "AutoScale", MemberAction::kCall);
  });
  ShowStatus();
}

void PanelPresenter::Digitize() {
  Act("", true, [this] {
    Progress("Digitize", 0, 1);
    PanelMember(control_.Get(), "Digitize", MemberAction::kCall);
    ReadChannels();
    Measure();
  });
  ShowStatus();
}

void PanelPresenter::Refresh() {
  Act("", true, [this] {
    ReadChannels();
    Measure();
  });
  ShowStatus();
}

void PanelPresenter::ReadChannels() {
  std::int32_t count = 0;
  CheckPanelCall(Value(control_.Get(), "AnalogChannels.Count").ToI4(&count));
  WaveformSet set;
  for (std::int32_t n = 1; n <= count && !Cancelled(); ++n) {
    const std::string channel = std::to_string(n);
    Progress("Reading CHAN" + channel, n - 1, count);
    com::VARIANT_BOOL enabled = com::VARIANT_FALSE;
    CheckPanelCall(
        Value(control_.Get(), "AnalogChannels.Item(" + channel + ").Enabled").ToBool(&enabled));
    if (enabled == com::VARIANT_FALSE) continue;
    const com::MemberCallResult r =
        PanelMember(control_.Get(), "GetWaveformData", MemberAction::kCall, {channel, "0"});
    if (r.outs.size() < 2) throw PanelFailure(com::E_UNEXPECTED, "GetWaveformData gave no data");
    AddChannel(set, FromChannelArrays(r.outs[0].value, r.outs[1].value, "CHAN" + channel));
  }
  // A cancelled reading keeps the plot of the last whole one.
  if (Cancelled()) return;
  data_ = std::move(set);
  std::vector<ui::PlotSeries> series;
  for (std::size_t c = 0; c < data_.columns.size(); ++c) {
    const WaveformColumn& column = data_.columns[c];
    series.push_back({column.name, ColumnColour(column.name, c), data_.time, column.values});
  }
  plot_->SetSeries(std::move(series));
}

void PanelPresenter::Measure() {
  const std::vector<std::string>& names = MeasurementNames();
  std::vector<ui::ListColumn> columns = {{"Measurement", 130, ui::Align::kLeft}};
  for (const WaveformColumn& c : data_.columns) columns.push_back({c.name, 74, ui::Align::kRight});
  if (measurements_->Columns() != columns) measurements_->SetColumns(columns);
  measurements_->Clear();
  for (const std::string& name : names) {
    ui::ListRow row;
    row.text = name;
    row.sub_items.assign(data_.columns.size(), "");
    measurements_->AddRow(std::move(row));
  }
  const int total = static_cast<int>(names.size() * data_.columns.size());
  int done = 0;
  for (std::size_t r = 0; r < names.size(); ++r) {
    for (std::size_t c = 0; c < data_.columns.size(); ++c) {
      if (Cancelled()) return;
      Progress("Measuring " + names[r], done++, total);
      const std::string channel = data_.columns[c].name.substr(4);
      std::string cell = "n/a";
      try {
        const com::MemberCallResult m =
            PanelMember(control_.Get(), "Measure." + names[r], MemberAction::kCall, {channel});
        if (m.retval) cell = MeasurementText(names[r], m.retval->value);
      } catch (const PanelFailure&) {
        // The instrument could not take this one (no edge, no period).
      }
      com::SetErrorInfo(0, nullptr);
      measurements_->SetSubItem(static_cast<int>(r), static_cast<int>(c) + 1, cell);
    }
  }
}

void PanelPresenter::UpdateAutoRefresh() {
  const int index = auto_refresh_seconds_->SelectedIndex();
  if (!auto_refresh_box_->Checked() || index < 0) {
    auto_refresh_->Stop();
    return;
  }
  const auto seconds = static_cast<std::uint32_t>(auto_refresh_seconds_->Items()[index].data);
  auto_refresh_->Start(seconds * 1000);
}

void PanelPresenter::OnAutoRefreshTimer() {
  // A reading still running (or any other call) keeps its turn.
  if (busy_) return;
  Refresh();
}

void PanelPresenter::SaveCsv() {
  Act("", false, [this] {
    if (data_.columns.empty())
      throw PanelFailure(com::E_FAIL,
                         "There is no waveform data yet: "
                         "Digitize or Refresh first.");
    ui::FileDialogRequest request;
    request.kind = ui::FileDialogKind::kSave;
    request.title = "Save as CSV";
    request.filter = std::string("CSV files (*.csv)\0*.csv\0", 24) + texts_.Text(723) +
                     std::string("\0*.*\0", 5);
    request.file_name = "waveforms.csv";
    request.default_extension = "csv";
    request.flags = ui::ofn::kOverwritePrompt | ui::ofn::kHideReadOnly | ui::ofn::kPathMustExist;
    const std::optional<std::string> path = ChooseSavePath(request);
    if (!path) return;
    WriteWaveformCsvFile(*path, data_, false);
  });
}

void PanelPresenter::Layout(ui::Size size) {
  const int dx = size.width - kWidth;
  const int dy = size.height - kHeight;
  // The plot takes two thirds of the added width, the table the rest.
  const int plot_dx = dx * 2 / 3;
  const int plot_bottom = 492;
  for (const auto& [widget, base] : layout_) {
    ui::Rect r = base;
    if (widget == plot_) {
      r.width += plot_dx;
      r.height += dy;
    } else if (widget == measurements_) {
      r.left += plot_dx;
      r.width += dx - plot_dx;
      r.height += dy;
    } else if (widget == status_) {
      r.width += dx;
    } else if (base.top >= plot_bottom) {
      r.top += dy;
      if (widget == progress_ || widget == progress_text_) r.width += dx;
    }
    widget->SetGeometry(r);
  }
}

std::optional<std::string> PanelPresenter::ChooseSavePath(const ui::FileDialogRequest& request) {
  std::optional<std::string> path;
  int chosen = request.filter_index;
  CheckPanelCall(toolkit_.ShowFileDialog(form_->Handle(), request, &path, &chosen));
  if (!path) return std::nullopt;
  const auto filters = ui::ParseFileFilter(request.filter);
  if (chosen < 1 || chosen > static_cast<int>(filters.size())) return path;
  const ui::FileFilter& filter = filters[static_cast<std::size_t>(chosen - 1)];
  // The file's type is the one chosen: a suffix of another type is refused
  // rather than written as something the name does not say.
  auto resolved = ui::PathForFilter(*path, filter);
  if (!resolved)
    throw PanelFailure(com::E_INVALIDARG, "The file name " + *path + " does not end in ." +
                                              ui::FilterExtension(filter) + ", the type chosen (" +
                                              filter.description + ").");
  return resolved;
}

void PanelPresenter::SaveScreen() {
  Act("", false, [this] {
    ui::FileDialogRequest request;
    request.kind = ui::FileDialogKind::kSave;
    request.title = "Screen";
    static const char kFilter[] =
        "PNG (*.png)\0*.png\0BMP (*.bmp)\0*.bmp\0GIF (*.gif)\0*.gif\0TIFF (*.tif)\0*.tif;*.tiff\0"
        "JPEG (*.jpg)\0*.jpg;*.jpeg\0WMF (*.wmf)\0*.wmf\0EMF (*.emf)\0*.emf\0";
    request.filter = std::string(kFilter, sizeof kFilter - 1);
    request.file_name = "screen.png";
    request.default_extension = "png";
    request.flags = ui::ofn::kOverwritePrompt | ui::ofn::kHideReadOnly | ui::ofn::kPathMustExist;
    const std::optional<std::string> path = ChooseSavePath(request);
    if (!path) return;
    Progress("Reading the screen", 0, 1);
    // The server writes every format but PNG, by the file name's suffix.
    if (HasPngSuffix(*path)) {
      TempFile bmp(".bmp");
      PanelMember(control_.Get(), "SaveScreenImage", MemberAction::kCall,
                  {'"' + bmp.path() + '"', std::to_string(server::VexR7100_ImageFormat_BMP)});
      ConvertBmpFileToPng(bmp.path(), *path);
      return;
    }
    PanelMember(control_.Get(), "SaveScreenImage", MemberAction::kCall,
                {'"' + *path + '"', std::to_string(server::VexR7100_ImageFormat_UseSuffix)});
  });
}

void PanelPresenter::Properties() {
  Act("", false,
      [this] { PanelMember(control_.Get(), "ShowPropertyPages", MemberAction::kCall, {"0"}); });
  if (after_pages_) after_pages_();
  Act("", false, [this] { setups_->Reload(); });
  ShowStatus();
}

void PanelPresenter::About() {
  Act("", false, [this] { PanelMember(control_.Get(), "AboutBox", MemberAction::kCall); });
}

}  // namespace vex::scope
