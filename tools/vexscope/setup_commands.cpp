#include "setup_commands.h"

#include <algorithm>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <vector>

#include "control_state.h"
#include "server_registration.h"
#include "tool_errors.h"
#include "vex/control/setups.h"

namespace vex::scope {
namespace {

// A setup name holds whatever bytes the user gave; JSON text cannot, so
// bytes that are not UTF-8 print as U+FFFD there (the plain listing keeps
// them as they are).
constexpr auto kJsonBadBytes = nlohmann::json::error_handler_t::replace;

}  // namespace

namespace {

using com::Bstr;
using com::ComPtr;
using com::IDispatch;
using com::Variant;
using control::ISetupsVexR7100Scope;
using control::ISetupVexR7100Scope;

// A name that names no setup, and one that is already taken (the statuses of
// the collection's own errors).
constexpr com::HRESULT kNoSuchSetup = com::MakeHresult(0x800A0005u);
constexpr com::HRESULT kNameTaken = com::MakeHresult(0x800A01C9u);

void Check(com::HRESULT hr) {
  if (FAILED(hr)) throw TakeAutomationError(hr);
}

struct SetupInfo {
  std::string name;
  std::string comments;
  std::string model;
  std::string version;
  std::size_t data_length = 0;
};

SetupInfo InfoOf(ISetupVexR7100Scope* setup) {
  SetupInfo info;
  Bstr text;
  Check(setup->get_Name(&text));
  info.name = text.Str();
  Check(setup->get_Comments(&text));
  info.comments = text.Str();
  Check(setup->get_Model(&text));
  info.model = text.Str();
  Check(setup->get_Version(&text));
  info.version = text.Str();
  Variant learn;
  Check(setup->get_LearnString(&learn));
  if (const com::SafeArray* array = learn.Array()) info.data_length = array->ElementCount();
  return info;
}

std::string Text(com::HRESULT (ISetupsVexR7100Scope::*get)(Bstr*), ISetupsVexR7100Scope* setups) {
  Bstr value;
  Check((setups->*get)(&value));
  return value.Str();
}

// Lower-case ASCII, for comparing setup names as the collection does.
std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

class Collection {
 public:
  // A collection of its own, empty (nothing is kept without a state file).
  Collection() { Check(Vex9100CreateSetups(setups_.ReleaseAndGetAddressOf())); }
  // The scope control's own collection (its Setups property).
  explicit Collection(IDispatch* control) {
    Variant value;
    Check(com::GetProperty(control, "Setups", &value));
    if (!value.Dispatch()) throw AutomationError(com::E_UNEXPECTED, "the control has no setups");
    Check(ComPtr<IDispatch>(value.Dispatch()).As(&setups_));
  }

  ISetupsVexR7100Scope* operator->() const { return setups_.Get(); }
  ISetupsVexR7100Scope* Get() const { return setups_.Get(); }

  std::vector<ComPtr<ISetupVexR7100Scope>> All() const {
    std::int32_t count = 0;
    Check(setups_->get_Count(&count));
    std::vector<ComPtr<ISetupVexR7100Scope>> all;
    for (std::int32_t i = 1; i <= count; ++i) {
      ComPtr<ISetupVexR7100Scope> setup;
      Check(setups_->item(Variant(i), setup.ReleaseAndGetAddressOf()));
      all.push_back(setup);
    }
    return all;
  }

  ComPtr<ISetupVexR7100Scope> Find(const std::string& name) const {
    for (const auto& setup : All()) {
      Bstr own;
      Check(setup->get_Name(&own));
      if (Lower(own.Str()) == Lower(name)) return setup;
    }
    return nullptr;
  }

  ComPtr<ISetupVexR7100Scope> Named(const std::string& name) const {
    ComPtr<ISetupVexR7100Scope> setup = Find(name);
    if (!setup) throw AutomationError(kNoSuchSetup, "There is no setup named \"" + name + "\".");
    return setup;
  }

  ComPtr<ISetupVexR7100Scope> Add(const std::string& name) {
    ComPtr<ISetupVexR7100Scope> setup;
    Check(setups_->Add(Bstr(name), setup.ReleaseAndGetAddressOf()));
    return setup;
  }

 private:
  ComPtr<ISetupsVexR7100Scope> setups_;
};

nlohmann::json JsonOf(const SetupInfo& info) {
  return {{"name", info.name},
          {"comments", info.comments},
          {"model", info.model},
          {"version", info.version},
          {"data_length", info.data_length}};
}

void PrintList(const Collection& setups, bool json, std::ostream& out) {
  const std::string last =
      Lower(Text(&ISetupsVexR7100Scope::get_LastInstrumentSetup, setups.Get()));
  std::vector<SetupInfo> infos;
  for (const auto& setup : setups.All()) infos.push_back(InfoOf(setup.Get()));
  if (json) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& info : infos) {
      nlohmann::json item = JsonOf(info);
      item["last_instrument_setup"] = !last.empty() && Lower(info.name) == last;
      list.push_back(item);
    }
    out << nlohmann::json{{"setups", list}}.dump(2, ' ', false, kJsonBadBytes) << '\n';
    return;
  }
  std::size_t name_width = 4;
  std::size_t model_width = 5;
  std::size_t version_width = 7;
  for (const auto& info : infos) {
    name_width = std::max(name_width, info.name.size());
    model_width = std::max(model_width, info.model.size());
    version_width = std::max(version_width, info.version.size());
  }
  for (const auto& info : infos) {
    const bool current = !last.empty() && Lower(info.name) == last;
    out << (current ? "* " : "  ") << std::left << std::setw(static_cast<int>(name_width))
        << info.name << "  " << std::setw(static_cast<int>(model_width))
        << (info.model.empty() ? "-" : info.model) << "  "
        << std::setw(static_cast<int>(version_width)) << (info.version.empty() ? "-" : info.version)
        << "  " << std::right << std::setw(8) << info.data_length << " bytes"
        << (info.comments.empty() ? "" : "  " + info.comments) << '\n';
  }
}

void PrintShow(const SetupInfo& info, bool current, bool json, std::ostream& out) {
  if (json) {
    nlohmann::json item = JsonOf(info);
    item["last_instrument_setup"] = current;
    out << item.dump(2, ' ', false, kJsonBadBytes) << '\n';
    return;
  }
  out << "name: " << info.name << (current ? " (last sent to or taken from the instrument)" : "")
      << "\nmodel: " << info.model << "\nversion: " << info.version
      << "\ncomments: " << info.comments << "\ndata length: " << info.data_length << " bytes\n";
}

}  // namespace

SetupCommands::SetupCommands(CLI::App& app) {
  setup_ = app.add_subcommand("setup", "Keep instrument setups: list, get, send, save, open");
  setup_->require_subcommand(1);
  setup_->footer(
      "Setups live in the state file (--state FILE); without it every command\n"
      "starts from an empty collection and nothing is kept. Only get and send\n"
      "connect to the instrument. Setup files: the native .scp format is written;\n"
      ".scp and the older .stp format are read (the content decides, not the name).\n\n"
      "Examples:\n"
      "  vexscope --state bench.json setup get Bench --comments \"shelf 3\"\n"
      "  vexscope --state bench.json setup list\n"
      "  vexscope --state bench.json setup save Bench bench.scp\n"
      "  vexscope --state other.json setup open bench.scp\n"
      "  vexscope --state other.json setup send bench");
  list_ = setup_->add_subcommand("list", "One line per setup; * marks the one last used");
  show_ = setup_->add_subcommand("show", "Model, version, comments and data length of a setup");
  show_->add_option("NAME", name_, "Setup name")->required();
  get_ = setup_->add_subcommand("get", "Take a setup from the instrument (adds it if missing)");
  get_->add_option("NAME", name_, "Setup name")->required();
  get_->add_option("--comments", comments_, "Comments to store with the setup");
  send_ = setup_->add_subcommand("send", "Send a setup to the instrument");
  send_->add_option("NAME", name_, "Setup name")->required();
  save_ = setup_->add_subcommand("save", "Write a setup to a native setup file");
  save_->add_option("NAME", name_, "Setup name")->required();
  save_->add_option("FILE", file_, "File to write")->required();
  open_ = setup_->add_subcommand(
      "open", "Load a setup file into the setup named after the file (up to its first \".\")");
  open_->footer(
      "A space or \"|\" in the file name, which a setup name cannot hold, becomes \"_\".");
  open_->add_option("FILE", file_, "Setup file (.scp or .stp)")->required();
  open_->add_flag("--replace", replace_, "Load into an existing setup of that name");
  remove_ = setup_->add_subcommand("remove", "Remove a setup");
  remove_->add_option("NAME", name_, "Setup name")->required();
}

std::string SetupCommands::NameFromFile(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string name = base.substr(0, base.find('.'));
  // A setup name holds no space and no "|"; a file name may.
  std::replace_if(
      name.begin(), name.end(), [](char c) { return c == ' ' || c == '|'; }, '_');
  return name;
}

int SetupCommands::Run(StateFile& state, const SessionOptions& options, bool address_given,
                       bool json, std::ostream& out, std::ostream& err) {
  try {
    // The error texts come from the resource library, found by ProgID.
    (void)EnsureServersRegistered(ProgramFolder() + "/../lib");
    const bool connects = get_->parsed() || send_->parsed();
    // With a state file the scope control holds the setups: it is loaded
    // from the file, connects (Initialize) only for get and send, and its
    // whole state goes back into the file after success. Without one a
    // collection of its own starts empty and is not kept.
    ScopeSession session;
    const bool through_control = state.HasFile();
    if (through_control) {
      const bool set_address =
          address_given || (!state.Value(kStateAddressKey) && options.address != kDefaultAddress);
      session.OpenControl(options, state.IsSaved() ? state.Bag() : nullptr, set_address, connects,
                          state.Warnings());
    }
    Collection setups = through_control ? Collection(session.Root()) : Collection();
    const auto finish = [&] {
      session.Close();
      if (through_control) SaveControlState(state, session.Root());
      return 0;
    };
    if (list_->parsed()) {
      PrintList(setups, json, out);
      return 0;
    }
    if (show_->parsed()) {
      const auto setup = setups.Named(name_);
      const SetupInfo info = InfoOf(setup.Get());
      const std::string last = Text(&ISetupsVexR7100Scope::get_LastInstrumentSetup, setups.Get());
      PrintShow(info, !last.empty() && Lower(last) == Lower(info.name), json, out);
      return 0;
    }
    if (connects) {
      if (!through_control) {
        session.Open(options);
        Check(setups->put_CVexR7100EZPtr(session.Root()));
      }
      ComPtr<ISetupVexR7100Scope> setup;
      if (get_->parsed()) {
        setup = setups.Find(name_);
        if (!setup) setup = setups.Add(name_);
        if (get_->count("--comments") > 0) Check(setup->put_Comments(Bstr(comments_)));
        Check(setup->GetFromInstrument());
      } else {
        setup = setups.Named(name_);
        Check(setup->SendToInstrument());
      }
      const SetupInfo info = InfoOf(setup.Get());
      out << info.name << (get_->parsed() ? ": taken from " : ": sent to ") << info.model << ' '
          << info.version << " (" << info.data_length << " bytes)\n";
      return finish();
    }
    if (save_->parsed()) {
      const auto setup = setups.Named(name_);
      Check(setup->SaveToFile(Bstr(file_)));
      const std::size_t slash = file_.rfind('/');
      if (slash != std::string::npos) {
        Check(setups->put_InitialDirectory(Bstr(file_.substr(0, slash == 0 ? 1 : slash))));
      }
      out << file_ << '\n';
      return finish();
    }
    if (open_->parsed()) {
      const std::string name = NameFromFile(file_);
      if (name.empty()) {
        throw UsageError("the file name " + file_ +
                         " gives no setup name: it starts with \".\" or names a folder");
      }
      ComPtr<ISetupVexR7100Scope> setup = setups.Find(name);
      if (setup && !replace_) {
        throw AutomationError(kNameTaken, "The selected setup name already exists: \"" + name +
                                              "\" (--replace loads the file into it).");
      }
      if (!setup) setup = setups.Add(name);
      Check(setup->ReadFromFile(Bstr(file_)));
      const SetupInfo info = InfoOf(setup.Get());
      out << info.name << ": " << info.model << ' ' << info.version << " (" << info.data_length
          << " bytes)\n";
      return finish();
    }
    if (remove_->parsed()) {
      const auto setup = setups.Named(name_);
      Bstr exact;
      Check(setup->get_Name(&exact));
      Check(setups->Remove(Variant(exact)));
      return finish();
    }
    return 0;
  } catch (const UsageError& e) {
    err << "vexscope: " << e.what() << std::endl;
    return 2;
  } catch (const AutomationError& e) {
    err << ErrorLine(e) << std::endl;
    return 1;
  }
}

}  // namespace vex::scope
