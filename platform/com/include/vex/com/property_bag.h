// Persistence through property bags: an object saves its settings as named
// variants into a bag its host provides and reads them back later.
//
// Bags here: MemoryPropertyBag (a map in memory) and FilePropertyBag (a JSON
// file). Both keep each value's variant type: VT_BOOL, VT_I2, VT_I4, VT_R8,
// VT_BSTR (a null string stays apart from an empty one), VT_EMPTY and byte
// arrays (VT_ARRAY | VT_UI1). Reading a key that is not there fails with
// E_INVALIDARG and an error naming the key. A read into a variant that already
// has a type converts the stored value to it; into VT_EMPTY it gives the
// stored type.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "vex/com/dispatch.h"
#include "vex/com/variant.h"

namespace vex::com {

namespace detail {
class FileLock;
}

struct IErrorLog : IUnknown {
  using Base = IUnknown;
  static constexpr IID kIid = MakeGuid("3127CA40-446E-11CE-8135-00AA004BB851");
  virtual HRESULT AddError(const Bstr& property_name, HRESULT status, const Bstr& description) = 0;
};

struct IPropertyBag : IUnknown {
  using Base = IUnknown;
  static constexpr IID kIid = MakeGuid("55272A00-42CB-11CE-8135-00AA004BB851");
  virtual HRESULT Read(const Bstr& name, Variant* value, IErrorLog* error_log) = 0;
  virtual HRESULT Write(const Bstr& name, const Variant& value) = 0;
};

struct IPersist : IUnknown {
  using Base = IUnknown;
  static constexpr IID kIid = MakeGuid("0000010C-0000-0000-C000-000000000046");
  virtual HRESULT GetClassID(CLSID* clsid) = 0;
};

struct IPersistPropertyBag : IPersist {
  using Base = IPersist;
  static constexpr IID kIid = MakeGuid("37D84F60-42CB-11CE-8135-00AA004BB851");
  virtual HRESULT InitNew() = 0;
  virtual HRESULT Load(IPropertyBag* bag, IErrorLog* error_log) = 0;
  virtual HRESULT Save(IPropertyBag* bag, VARIANT_BOOL clear_dirty, VARIANT_BOOL save_all) = 0;
};

// The value kinds a bag keeps; DISP_E_BADVARTYPE for others.
bool IsStorableInBag(const Variant& value);

class MemoryPropertyBag : public Object<IPropertyBag> {
 public:
  HRESULT Read(const Bstr& name, Variant* value, IErrorLog* error_log) override;
  HRESULT Write(const Bstr& name, const Variant& value) override;

  const std::map<std::string, Variant>& Values() const { return values_; }
  bool Contains(std::string_view name) const { return values_.count(std::string(name)) != 0; }
  void Remove(std::string_view name) { values_.erase(std::string(name)); }

 protected:
  std::map<std::string, Variant> values_;
};

// A bag backed by a JSON file: Open reads the file (a missing file is an empty
// bag), Commit saves it. A file that is not valid JSON of this shape fails
// Open with E_FAIL and a description naming the file and the fault; so does
// a file holding bytes that are not UTF-8. A FIFO, folder or device is
// refused at once, without waiting for it.
//
// Commit is safe against other processes saving the same file and against a
// crash. It takes an exclusive flock on "<file>.lock" beside the file, reads
// the file as it is now and applies to it the keys whose values this bag
// changed or removed since Open or the last Commit (a value written back as
// it was read is no change); every other key on disk is kept as it is there. The result goes to
// ".<file>.tmp.<pid>" in the same folder, is fsync'd and renamed over the file, and the folder is
// fsync'd: a crash leaves the old or the new file, and the next save removes the temporaries of
// processes no longer running. A symbolic link is followed and its target replaced (the link
// stays); the mode and owner of the file are kept. Refused, with E_ACCESSDENIED and the reason: a
// file without write permission (for root too, when its mode has no write bit), and a file with
// several hard links (replacing it would split it from its other names; rewriting it in place would
// lose the crash guarantee). After a successful Commit, Values() is the file as written.
//
// Strings and names keep their bytes exactly, UTF-8 or not: one that is not
// well-formed UTF-8 is written in base64 as {"bytes-base64": "..."} (a name
// as the key "bytes-base64:..." with "name-base64" in its entry), which
// reading turns back into the same bytes; plain JSON strings are read as
// the text they hold, as in files from before this form.
//
// OpenLocked takes the lock before reading and holds it until the bag is
// released, for a program that reads the file, decides from what it holds
// (say, numbers the next entry after the last) and saves: nobody else saves
// in between. It waits at most `wait` for another holder; its Commits use
// the lock it holds. Within one process, open a file locked once at a time.
class FilePropertyBag : public MemoryPropertyBag {
 public:
  FilePropertyBag();
  [[nodiscard]] static HRESULT Open(const std::string& path, ComPtr<FilePropertyBag>* out);
  [[nodiscard]] static HRESULT OpenLocked(const std::string& path, std::chrono::milliseconds wait,
                                          ComPtr<FilePropertyBag>* out);
  [[nodiscard]] HRESULT Commit();
  const std::string& Path() const { return path_; }

  // The JSON text of the current values and its reverse, for tools and
  // tests; for the next Commit, FromJson is a change to every value it
  // changes.
  std::string ToJson() const;
  [[nodiscard]] HRESULT FromJson(std::string_view text);

 protected:
  ~FilePropertyBag() override;

 private:
  static HRESULT OpenFile(const std::string& path,
                          std::optional<std::chrono::milliseconds> lock_wait,
                          ComPtr<FilePropertyBag>* out);
  HRESULT ParseJson(std::string_view text);
  HRESULT CommitToFile();
  static std::string JsonText(const std::map<std::string, Variant>& values);

  std::string path_;
  // The values as last read from or written to the file.
  std::map<std::string, Variant> base_;
  // Held from OpenLocked until the bag goes.
  std::unique_ptr<detail::FileLock> lock_;
};

}  // namespace vex::com
