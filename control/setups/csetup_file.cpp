#include "csetup_file.h"

#include <charconv>

#include "setup_errors.h"
#include "setup_file_io.h"

namespace vex::control {

namespace {

constexpr const char* kModule = "CSetupFile";

std::size_t Digits(std::size_t n) {
  std::size_t digits = 1;
  while (n >= 10) {
    n /= 10;
    ++digits;
  }
  return digits;
}

// A count as written in the file: decimal digits only.
bool ParseCount(const std::string& text, std::size_t* value) {
  if (text.empty() || text.size() > 18) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool Fail(SetupFileFailure* failure, const char* procedure, const char* condition,
          const char* reason) {
  if (failure) *failure = {procedure, condition, reason};
  return false;
}

}  // namespace

std::size_t CSetupFile::HeaderLength(std::size_t rest) {
  const std::size_t digits = Digits(rest);
  std::size_t length = rest + digits + 1;
  if (Digits(length) > digits) ++length;
  return length;
}

bool CSetupFile::ReadTypeAndVersion(SetupFileText& text, std::size_t* header_length,
                                    SetupFileFailure* failure) {
  const char* procedure = "ReadFileTypeAndVersion";
  std::string length_field;
  std::string type;
  std::string version;
  if (!text.ReadField(U'|', 0, &length_field)) {
    return Fail(failure, procedure, "(header length field read)",
                "the file does not start with a header length and \"|\"");
  }
  if (!text.ReadField(U'|', 4, &type)) {
    return Fail(failure, procedure, "(file type field read, at most 4 characters)",
                "the file type is not \"scp\"");
  }
  if (!text.ReadField(U'|', 0, &version)) {
    return Fail(failure, procedure, "(format version field read)",
                "the file ends before its format version");
  }
  if (!EqualsNoCase(type, kFileType)) {
    return Fail(failure, procedure, "(file type = \"scp\")", "the file type is not \"scp\"");
  }
  if (!EqualsNoCase(version, kFormatVersion)) {
    return Fail(failure, procedure, "(format version = \"1\")", "the format version is not 1");
  }
  if (header_length && !ParseCount(length_field, header_length)) {
    return Fail(failure, procedure, "(header length is a number)",
                "the header length is not a number");
  }
  return true;
}

bool CSetupFile::HasTypeAndVersion(std::span<const std::uint8_t> bytes) {
  SetupFileText text(bytes);
  return ReadTypeAndVersion(text, nullptr, nullptr);
}

bool CSetupFile::Parse(std::span<const std::uint8_t> bytes, SetupFileFields* fields,
                       SetupFileFailure* failure) {
  SetupFileText text(bytes);
  std::size_t header_length = 0;
  if (!ReadTypeAndVersion(text, &header_length, failure)) return false;
  std::string description;
  std::string data_length_field;
  std::string* const targets[] = {
      &fields->model,         &fields->manufacturer, &fields->serial_number, &fields->version,
      &fields->user_comments, &description,          &fields->reserved1,     &fields->reserved2,
      &fields->reserved3,     &data_length_field};
  for (std::string* target : targets) {
    target->clear();
    if (!text.ReadField(U'|', 0, target)) {
      return Fail(failure, "ReadField", "(separator before the end of the file)",
                  "the file ends inside its header");
    }
  }
  std::size_t data_length = 0;
  if (!ParseCount(data_length_field, &data_length)) {
    return Fail(failure, "ReadFile", "(data length is a number)",
                "the data length is not a number");
  }
  if (text.Characters() != header_length) {
    return Fail(failure, "ReadFile", "(header length = characters read)",
                "the header length does not match the header");
  }
  if (data_length > text.Remaining()) {
    return Fail(failure, "ReadFile", "(data length <= bytes after the header)",
                "the file holds less data than its header says");
  }
  const auto data = bytes.subspan(text.Offset(), data_length);
  if (data.size() < 2) {
    fields->learn_string.clear();
  } else {
    fields->learn_string.assign(data.begin(), data.end());
  }
  return true;
}

bool CSetupFile::Format(const SetupFileFields& fields, std::string* bytes,
                        SetupFileFailure* failure) {
  const std::string data_length = std::to_string(fields.learn_string.size());
  const std::string* const values[] = {&fields.model,         &fields.manufacturer,
                                       &fields.serial_number, &fields.version,
                                       &fields.user_comments, nullptr,
                                       &fields.reserved1,     &fields.reserved2,
                                       &fields.reserved3,     &data_length};
  const std::string description = kDescription;
  // Fields 2 to 13 with their separators, in the locale's text.
  std::string rest = std::string(kFileType) + "|" + kFormatVersion + "|";
  std::size_t rest_characters = 6;
  for (const std::string* value : values) {
    const std::string& text = value ? *value : description;
    if (text.find('|') != std::string::npos) {
      return Fail(failure, "WriteFile", "(no \"|\" in a field)",
                  "a field holds the separator \"|\"");
    }
    std::size_t characters = 0;
    if (!ToLocaleText(text, &rest, &characters)) {
      return Fail(failure, "WriteFile", "(field has a form in the locale)",
                  "a field holds a character the locale's character set cannot hold");
    }
    rest.push_back('|');
    rest_characters += characters + 1;
  }
  const std::size_t header_length = HeaderLength(rest_characters);
  const std::string length_field = std::to_string(header_length);
  if (length_field.size() + 1 + rest_characters != header_length) {
    return Fail(failure, "WriteFile", "(header length = header characters)",
                "the header length cannot be written");
  }
  bytes->clear();
  bytes->reserve(length_field.size() + 1 + rest.size() + fields.learn_string.size());
  *bytes += length_field;
  bytes->push_back('|');
  *bytes += rest;
  bytes->append(fields.learn_string.begin(), fields.learn_string.end());
  return true;
}

HRESULT CSetupFile::IsACompatibleFile(const Bstr& file_name, VARIANT_BOOL* compatible) {
  return IsCompatibleSetupFile(file_name, &HasTypeAndVersion, compatible);
}

HRESULT CSetupFile::ReadFile(const Bstr& file_name) {
  return ReadSetupFile(file_name, &Parse, &fields_, kModule);
}

HRESULT CSetupFile::WriteFile(const Bstr& file_name) {
  std::string bytes;
  SetupFileFailure failure;
  if (!Format(fields_, &bytes, &failure)) {
    return RaiseSetupFileError(kTextSaveToFileFailed, file_name.View(), failure.reason,
                               failure.condition, kModule, failure.procedure);
  }
  std::string reason;
  if (!ReplaceFile(file_name.Str(), bytes, &reason)) {
    return RaiseSetupFileError(kTextSaveToFileFailed, file_name.View(), reason, "(file written)",
                               kModule, "WriteFile");
  }
  return com::S_OK;
}

const com::DispatchTable& CSetupFile::Table() {
  static const com::DispatchTable table = [] {
    com::DispatchTableBuilder<CSetupFile> b("CSetupFile");
    members::AddSetupFile(b);
    return b.Build();
  }();
  return table;
}

}  // namespace vex::control
