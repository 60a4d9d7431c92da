// Shared pieces of the setup tests: a scratch folder, file helpers, the
// resource library registered for the error texts, and the thread's support
// logger's entries captured through its event output.
#pragma once

#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cdebug.h"
#include "thread_locale.h"
#include "vex/com/com.h"

namespace vex::control::test {

class ResourceLibrary : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(com::RegisterServer(VEX8100RESLIB_PATH), com::S_OK); }
};

// Collects the logger's event output.
class LogEntries : public DebugSink {
 public:
  LogEntries() {
    CDebug::ForThisThread().SetSink(this);
    CDebug::ForThisThread().SetDebugMode(CDebug::kEvents);
  }
  ~LogEntries() {
    CDebug::ForThisThread().SetDebugMode(0);
    CDebug::ForThisThread().SetSink(nullptr);
  }
  void SupportMessage(const std::string& text) override { entries.push_back(text); }
  void PropertyChanged(std::string_view) override {}
  std::string All() const {
    std::string all;
    for (const auto& entry : entries) all += entry;
    return all;
  }
  std::vector<std::string> entries;
};

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = std::string(VEX_TEST_TMP) + "/setups-XXXXXX";
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~ScratchFolder() { std::filesystem::remove_all(path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline com::Variant ByteArray(const std::string& bytes) {
  return com::Variant(com::SafeArray::FromBytes(
      {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}));
}

inline std::string BytesOf(const com::Variant& value) {
  const com::SafeArray* array = value.Array();
  if (!array) return {};
  const auto span = array->Span<const std::uint8_t>();
  return std::string(span.begin(), span.end());
}

// The thread's current error: status checked by the caller, texts here.
struct RaisedError {
  std::string source;
  std::string description;
};
inline RaisedError TakeRaised() {
  const com::ErrorDetails details = com::TakeErrorDetails();
  return {details.source.Str(), details.description.Str()};
}

using vex::test::ThreadLocale;

}  // namespace vex::control::test
