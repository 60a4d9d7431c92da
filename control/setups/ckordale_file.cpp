#include "ckordale_file.h"

#include "setup_errors.h"
#include "setup_file_io.h"
#include "setup_file_text.h"

namespace vex::control {

namespace {

constexpr const char* kModule = "CKordaleFile";
constexpr std::size_t kLine1Limit = 8;

bool Fail(SetupFileFailure* failure, const char* procedure, const char* condition,
          const char* reason) {
  if (failure) *failure = {procedure, condition, reason};
  return false;
}

std::string TrimSpaces(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool ReadTypeAndRomCode(SetupFileText& text, SetupFileFailure* failure) {
  const char* procedure = "ReadFileTypeAndROMVersion";
  std::string line;
  if (!text.ReadField(U'\n', kLine1Limit, &line)) {
    return Fail(failure, procedure, "(first line read, at most 8 characters)",
                "the first line is missing or longer than 8 characters");
  }
  const std::size_t type_bytes = Utf8PrefixBytes(line, 3);
  const std::size_t rom_characters = Utf8Length(line) - Utf8Length(line.substr(0, type_bytes));
  if (!EqualsNoCase(line.substr(0, type_bytes), "stp")) {
    return Fail(failure, procedure, "(file type = \"stp\")", "the file type is not \"stp\"");
  }
  if (rom_characters < 3 || rom_characters > 4) {
    return Fail(failure, procedure, "(ROM code of 3 or 4 characters)",
                "the ROM code is not 3 or 4 characters long");
  }
  return true;
}

}  // namespace

bool CKordaleFile::HasTypeAndRomCode(std::span<const std::uint8_t> bytes) {
  SetupFileText text(bytes);
  return ReadTypeAndRomCode(text, nullptr);
}

bool CKordaleFile::Parse(std::span<const std::uint8_t> bytes, SetupFileFields* fields,
                         SetupFileFailure* failure) {
  SetupFileText text(bytes);
  if (!ReadTypeAndRomCode(text, failure)) return false;
  std::string number;
  if (!text.ReadField(U'\n', 0, &number)) {
    return Fail(failure, "ReadField", "(line 2 read)", "the file ends on line 2");
  }
  double ignored = 0;
  if (com::FAILED(Variant(number).ToR8(&ignored))) {
    return Fail(failure, "ReadFile", "(line 2 is a number)", "line 2 is not a number");
  }
  std::string comments;
  if (!text.ReadField(U'\n', 0, &comments)) {
    return Fail(failure, "ReadField", "(line 3 read)", "the file ends on line 3");
  }
  fields->user_comments = TrimSpaces(comments);
  std::string identification;
  if (!text.ReadField(U'\n', 0, &identification)) {
    return Fail(failure, "ReadField", "(line 4 read)", "the file ends on line 4");
  }
  const std::size_t code_bytes = Utf8PrefixBytes(identification, 3);
  const std::string code = identification.substr(0, code_bytes);
  if (Utf8Length(code) < 3) {
    return Fail(failure, "ReadFile", "(manufacturer code of 3 characters)",
                "the manufacturer code on line 4 is shorter than 3 characters");
  }
  fields->model = identification.substr(code_bytes);
  fields->manufacturer = EqualsNoCase(code, "VEX") ? std::string(kVexanTechnologies) : code;
  fields->version = kAnyVersion;
  fields->serial_number.clear();
  fields->reserved1.clear();
  fields->reserved2.clear();
  fields->reserved3.clear();
  std::string command;
  if (!text.ReadCharacters(14, &command) || !EqualsNoCase(command, kCommand)) {
    return Fail(failure, "ReadFile", "(command = \":SYSTEM:SETUP \")",
                "the setup command \":SYSTEM:SETUP \" does not follow line 4");
  }
  const auto data = bytes.subspan(text.Offset());
  if (data.size() < 2) {
    fields->learn_string.clear();
  } else {
    fields->learn_string.assign(data.begin(), data.end());
  }
  return true;
}

HRESULT CKordaleFile::IsACompatibleFile(const Bstr& file_name, VARIANT_BOOL* compatible) {
  return IsCompatibleSetupFile(file_name, &HasTypeAndRomCode, compatible);
}

HRESULT CKordaleFile::ReadFile(const Bstr& file_name) {
  return ReadSetupFile(file_name, &Parse, &fields_, kModule);
}

HRESULT CKordaleFile::WriteFile(const Bstr& file_name) {
  return RaiseSetupFileError(kTextSaveToFileFailed, file_name.View(),
                             "files of the older format are only read, never written",
                             "(the format is read only)", kModule, "WriteFile");
}

const com::DispatchTable& CKordaleFile::Table() {
  static const com::DispatchTable table = [] {
    com::DispatchTableBuilder<CKordaleFile> b("CKordaleFile");
    members::AddSetupFile(b);
    return b.Build();
  }();
  return table;
}

}  // namespace vex::control
