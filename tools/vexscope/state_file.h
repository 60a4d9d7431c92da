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
//
// Keys in use: "Address" (SaveAddress); the I/O configuration's
// "ActiveAddressInstrumentID", "DTROnly", "SearchCriteria"; the setups
// collection and the scope control keep theirs in the same file.
//
// Failures throw AutomationError (a file that is not a property bag, one
// that cannot be read or written), as the tool's other units do.
#pragma once

#include <functional>
#include <optional>
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
  // Reads `path` (missing: new state, written on the first Save).
  static StateFile Open(const std::string& path);

  bool HasFile() const { return !path_.empty(); }
  // Whether the file existed: the parts read their keys from it.
  bool IsSaved() const { return saved_; }
  const std::string& Path() const { return path_; }

  // The bag to read from (and, through Save, to write to); never null.
  com::IPropertyBag* Bag() const;
  // The stored value of `name`, or nullopt.
  std::optional<com::Variant> Value(const std::string& name) const;

  // `option` (-a) when given, else the file's "Address", else
  // $VEXSCOPE_ADDRESS when set and not empty, else "GPIB0::7::INSTR".
  std::string Address(const std::optional<std::string>& option) const;

  // Writes one part's keys as the rules above say and commits the file.
  // `write` gets the bag; a failure it returns is thrown and nothing is
  // committed.
  void Save(std::span<const StateKey> keys,
            const std::function<com::HRESULT(com::IPropertyBag*)>& write);
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
};

}  // namespace vex::scope
