// The saved state of vexscope (the global option `--state FILE`): one JSON
// property-bag file (the runtime's FilePropertyBag) that several parts of
// the tool share, each owning its own keys.
//
// Rules every command follows:
//   - No file (the option not given, or the file missing): new state; a part
//     starts from its initial properties and does not read the bag. An
//     existing file, even an empty bag, is saved state: a part reads its keys, a missing key giving
//     its default.
//   - The instrument address is `-a` when given, else the file's "Address",
//     else $VEXSCOPE_ADDRESS, else "GPIB0::7::INSTR" (Address()). With `-a`
//     the new address is what gets saved.
//   - After a successful command each part writes back only its own keys
//     (Save): the keys it owns are removed, the part writes them, and those
//     now at their default are removed again; every other key of the file
//     is kept untouched. The file is rewritten through a temporary file and a
//     rename. Without `--state` nothing is written.
//   - A command that runs to its end by itself opens the file locked
//     (Open with `lock`): it holds the file's lock from reading to saving,
//     so that two commands at once (two `setup get`s, say) each keep what
//     they add; the second one waits for the first, saying so on stderr
//     when that takes more than a second, for at most kLockWait. The
//     interactive commands (panel, pages, shell) do not hold it while the
//     user works; their saves merge their own changes into the file as it
//     is then.
//
// Keys in use: "Address" (SaveAddress); the I/O configuration's
// "ActiveAddressInstrumentID", "DTROnly", "SearchCriteria"; the setups
// collection and the scope control keep theirs in the same file.
//
// Failures throw AutomationError (a file that is not a property bag, one
// that cannot be read or written), as the tool's other units do.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "vex/com/property_bag.h"

namespace vex::scope {

inline constexpr const char* kStateAddressKey = "Address";
inline constexpr const char* kDefaultAddress = "GPIB0::7::INSTR";

// A key a part owns, with the value that means "not stored". A default of
// VT_EMPTY means the key is removed only when the part does not write it.
struct StateKey {
  std::string name;
  com::Variant default_value;
};

class StateFile {
 public:
  // No file: new state, nothing is ever written.
  StateFile();
  // How long a command waits for another one holding the file.
  static constexpr std::chrono::seconds kLockWait{600};

  // Reads `path` (missing: new state, written on the first Save), holding
  // its lock until this object goes when `lock`; a note of the wait goes to
  // `notes`.
  static StateFile Open(const std::string& path, bool lock = false, std::ostream* notes = nullptr);

  bool HasFile() const { return !path_.empty(); }
  // Whether the file existed: the parts read their keys from it.
  bool IsSaved() const { return saved_; }
  const std::string& Path() const { return path_; }

  // The bag to read from (and, through Save, to write to); never null.
  com::IPropertyBag* Bag() const;
  // The stored value of `name`, or nullopt.
  std::optional<com::Variant> Value(const std::string& name) const;

  // Where the control's warnings about what it skips while loading the
  // file go (stderr); null without a file.
  com::IErrorLog* Warnings() const { return warnings_.Get(); }

  // `option` (-a) when given, else the file's "Address", else
  // $VEXSCOPE_ADDRESS when set and not empty, else "GPIB0::7::INSTR".
  std::string Address(const std::optional<std::string>& option) const;

  // Writes one part's keys as the rules above say and commits the file.
  // `write` gets the bag; a failure it returns is thrown and nothing is
  // committed.
  // `owns` adds the keys of a family (numbered entries, say) that the part
  // owns wherever they are, in the file or in what the part writes.
  void Save(std::span<const StateKey> keys,
            const std::function<com::HRESULT(com::IPropertyBag*)>& write,
            const std::function<bool(const std::string&)>& owns = {});
  // Saves "Address" (removed when it is the default address).
  void SaveAddress(const std::string& address);

  // Whether two stored values are the same (type and value; byte arrays
  // compared by content).
  static bool SameValue(const com::Variant& a, const com::Variant& b);

 private:
  std::string path_;
  bool saved_ = false;
  com::ComPtr<com::FilePropertyBag> file_;
  com::ComPtr<com::MemoryPropertyBag> memory_;
  com::ComPtr<com::IErrorLog> warnings_;
};

}  // namespace vex::scope
