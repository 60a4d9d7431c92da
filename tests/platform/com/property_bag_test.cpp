#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "vex/com/com.h"

using namespace vex::com;

namespace {

std::string TempPath(const char* name) {
  return std::string(VEX_TEST_TMP) + "/" + name;
}

TEST(PropertyBag, FileBagKeepsEveryValueAndItsType) {
  std::string path = TempPath("bag-roundtrip.json");
  std::filesystem::remove(path);
  {
    ComPtr<FilePropertyBag> bag;
    ASSERT_EQ(FilePropertyBag::Open(path, &bag), S_OK);
    ASSERT_EQ(bag->Write(Bstr("DetectDeviceErrors"), Variant::Bool(VARIANT_TRUE)), S_OK);
    ASSERT_EQ(bag->Write(Bstr("Timeout"), Variant(5000)), S_OK);
    ASSERT_EQ(bag->Write(Bstr("FontSize"), Variant(std::int16_t{8})), S_OK);
    ASSERT_EQ(bag->Write(Bstr("Level"), Variant(0.001)), S_OK);
    ASSERT_EQ(bag->Write(Bstr("IOProgID"), Variant(Bstr::Null())), S_OK);
    ASSERT_EQ(bag->Write(Bstr("InstanceName"), Variant(Bstr::Empty())), S_OK);
    ASSERT_EQ(bag->Write(Bstr("Name"), Variant("Vexan \"Travium\"\n\xC3\xA9")), S_OK);
    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
    ASSERT_EQ(bag->Write(Bstr("Setup"), Variant(SafeArray::FromBytes(all))), S_OK);
    ASSERT_EQ(bag->Commit(), S_OK);
  }
  ComPtr<FilePropertyBag> bag;
  ASSERT_EQ(FilePropertyBag::Open(path, &bag), S_OK);
  Variant v;
  ASSERT_EQ(bag->Read(Bstr("DetectDeviceErrors"), &v, nullptr), S_OK);
  EXPECT_EQ(v.vt(), VT_BOOL);
  EXPECT_EQ(v.BoolVal(), VARIANT_TRUE);
  v.Clear();
  ASSERT_EQ(bag->Read(Bstr("Timeout"), &v, nullptr), S_OK);
  EXPECT_EQ(v.vt(), VT_I4);
  EXPECT_EQ(v.I4(), 5000);
  v.Clear();
  ASSERT_EQ(bag->Read(Bstr("FontSize"), &v, nullptr), S_OK);
  EXPECT_EQ(v.vt(), VT_I2);
  v.Clear();
  ASSERT_EQ(bag->Read(Bstr("Level"), &v, nullptr), S_OK);
  EXPECT_EQ(v.R8(), 0.001);
  v.Clear();
  ASSERT_EQ(bag->Read(Bstr("IOProgID"), &v, nullptr), S_OK);
  EXPECT_EQ(v.vt(), VT_BSTR);
  EXPECT_TRUE(v.BstrVal().IsNull());
  v.Clear();
  ASSERT_EQ(bag->Read(Bstr("InstanceName"), &v, nullptr), S_OK);
  EXPECT_FALSE(v.BstrVal().IsNull());
  v.Clear();
  ASSERT_EQ(bag->Read(Bstr("Name"), &v, nullptr), S_OK);
  EXPECT_EQ(v.BstrVal(), "Vexan \"Travium\"\n\xC3\xA9");
  v.Clear();
  ASSERT_EQ(bag->Read(Bstr("Setup"), &v, nullptr), S_OK);
  ASSERT_EQ(v.vt(), VT_ARRAY | VT_UI1);
  auto bytes = v.Array()->Span<const std::uint8_t>();
  ASSERT_EQ(bytes.size(), 256u);
  EXPECT_EQ(bytes[10], 10);
  EXPECT_EQ(bytes[255], 255);

  Variant as_text(Bstr::Empty());  // a typed read converts
  ASSERT_EQ(bag->Read(Bstr("Timeout"), &as_text, nullptr), S_OK);
  EXPECT_EQ(as_text.BstrVal(), "5000");
}

class RecordingLog : public Object<IErrorLog> {
 public:
  HRESULT AddError(const Bstr& name, HRESULT, const Bstr&) override {
    names.push_back(name.Str());
    return S_OK;
  }
  std::vector<std::string> names;
};

TEST(PropertyBag, MissingKeysUnstorableValuesAndCorruptFilesFailClearly) {
  auto bag = MakeObject<MemoryPropertyBag>();
  auto log = MakeObject<RecordingLog>();
  Variant v;
  EXPECT_EQ(bag->Read(Bstr("Timeout"), &v, log.Get()), E_INVALIDARG);
  EXPECT_EQ(TakeErrorDetails().description, "The property \"Timeout\" is not in the property bag.");
  EXPECT_EQ(log->names, std::vector<std::string>{"Timeout"});
  EXPECT_EQ(bag->Read(Bstr("Timeout"), nullptr, nullptr), E_POINTER);
  EXPECT_EQ(bag->Write(Bstr(), Variant(1)), E_INVALIDARG);
  EXPECT_EQ(bag->Write(Bstr("Object"), Variant(static_cast<IUnknown*>(bag.Get()))),
            DISP_E_BADVARTYPE);
  ASSERT_EQ(bag->Write(Bstr("Text"), Variant("abc")), S_OK);
  Variant number(0);
  EXPECT_EQ(bag->Read(Bstr("Text"), &number, nullptr), DISP_E_TYPEMISMATCH);

  for (
      const char* corrupt :
      {"{ \"format\": \"vexcom-property-bag\", \"values\": ", "[1,2,3]",
       R"({"format":"vexcom-property-bag","version":1,"values":{"T":{"type":"VT_I4","value":"x"}}})",
       R"({"format":"vexcom-property-bag","version":1,"values":{"B":{"type":"VT_ARRAY|VT_UI1","value":"***"}}})"}) {
    std::string path = TempPath("bag-corrupt.json");
    std::ofstream(path) << corrupt;
    ComPtr<FilePropertyBag> file;
    EXPECT_EQ(FilePropertyBag::Open(path, &file), E_FAIL) << corrupt;
    EXPECT_NE(TakeErrorDetails().description.Str().find("is corrupt"), std::string::npos);
    EXPECT_FALSE(file);
  }
  ComPtr<FilePropertyBag> fresh;
  std::filesystem::remove(TempPath("bag-new.json"));
  ASSERT_EQ(FilePropertyBag::Open(TempPath("bag-new.json"), &fresh), S_OK)
      << "a missing file is an empty bag";
  EXPECT_TRUE(fresh->Values().empty());
}

// Strings from outside (instrument replies, file names) may hold any bytes;
// the file keeps them exactly and in valid JSON, names as well as values.
TEST(PropertyBag, FileBagKeepsBytesThatAreNotUtf8) {
  const std::vector<std::string> texts = {
      "X\xff",
      "\xff"
      "bad.scp",
      "\xc3",
      "\xed\xa0\x80",  // a UTF-16 surrogate written as UTF-8
      std::string("a\0b", 3),
      "Gr\xc3\xb6\xc3\x9f"
      "e",
      "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e",
      "\xc0\xaf",                      // an overlong "/"
      "{\"bytes-base64\": \"WP8=\"}",  // what the escaped form looks like, as text
      "bytes-base64:WP8="};
  std::string path = TempPath("bag-bytes.json");
  std::filesystem::remove(path);
  {
    ComPtr<FilePropertyBag> bag;
    ASSERT_EQ(FilePropertyBag::Open(path, &bag), S_OK);
    for (std::size_t i = 0; i < texts.size(); ++i) {
      ASSERT_EQ(bag->Write(Bstr("Value" + std::to_string(i)), Variant(Bstr(texts[i]))), S_OK);
      ASSERT_EQ(bag->Write(Bstr(texts[i]), Variant(static_cast<std::int32_t>(i))), S_OK);
    }
    ASSERT_EQ(bag->Commit(), S_OK);
  }
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(IsValidUtf8(text));
  EXPECT_NE(text.find("\"bytes-base64\": \"WP8=\""), std::string::npos) << text;
  EXPECT_NE(text.find("Gr\xc3\xb6\xc3\x9f"
                      "e"),
            std::string::npos)
      << "UTF-8 is kept as text";

  ComPtr<FilePropertyBag> bag;
  ASSERT_EQ(FilePropertyBag::Open(path, &bag), S_OK);
  EXPECT_EQ(bag->Values().size(), 2 * texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    Variant v;
    ASSERT_EQ(bag->Read(Bstr("Value" + std::to_string(i)), &v, nullptr), S_OK) << i;
    ASSERT_EQ(v.vt(), VT_BSTR);
    EXPECT_EQ(v.BstrVal().Str(), texts[i]) << i;
    v.Clear();
    ASSERT_EQ(bag->Read(Bstr(texts[i]), &v, nullptr), S_OK) << i;
    EXPECT_EQ(v.I4(), static_cast<std::int32_t>(i));
  }
}

TEST(PropertyBag, FilesNotUtf8OrWithABadEscapedFormFailToOpen) {
  const std::string head = R"({"format":"vexcom-property-bag","version":1,"values":{)";
  for (const std::string& corrupt :
       {head + "\"N\":{\"type\":\"VT_BSTR\",\"value\":\"X\xff\"}}}",
        head + "\"N\xff\":{\"type\":\"VT_I4\",\"value\":1}}}",
        head + R"("N":{"type":"VT_BSTR","value":{"bytes-base64":"***"}}}})",
        head + R"("N":{"type":"VT_BSTR","value":{"bytes-base64":"WP8=","x":1}}}})",
        head + R"("bytes-base64:WP8=":{"type":"VT_I4","value":1,"name-base64":"WQ=="}}})",
        head + R"("bytes-base64:AA==":{"type":"VT_I4","value":1,"name-base64":7}}})"}) {
    std::string path = TempPath("bag-corrupt-bytes.json");
    std::ofstream(path, std::ios::binary) << corrupt;
    ComPtr<FilePropertyBag> file;
    EXPECT_EQ(FilePropertyBag::Open(path, &file), E_FAIL) << corrupt;
    EXPECT_NE(TakeErrorDetails().description.Str().find("is corrupt"), std::string::npos);
  }
  // A file of before the escaped form: plain strings are read as they are.
  std::string path = TempPath("bag-plain.json");
  std::ofstream(path, std::ios::binary)
      << head + R"("bytes-base64:WP8=":{"type":"VT_BSTR","value":"bytes-base64:WP8="}}})";
  ComPtr<FilePropertyBag> file;
  ASSERT_EQ(FilePropertyBag::Open(path, &file), S_OK);
  Variant v;
  ASSERT_EQ(file->Read(Bstr("bytes-base64:WP8="), &v, nullptr), S_OK);
  EXPECT_EQ(v.BstrVal(), "bytes-base64:WP8=");
}

TEST(Utf8Text, TerminalTextShowsControlsAndBadBytesAsHex) {
  EXPECT_EQ(EscapeForTerminal("VEXAN,R7100\x1b[2J\x9b"
                              "31m\n"),
            "VEXAN,R7100\\x1b[2J\\x9b31m\n");
  EXPECT_EQ(EscapeForTerminal("a\\b\x7f\xc2\x9b\xc3\xa9\t"), "a\\\\b\\x7f\\xc2\\x9b\xc3\xa9\t");
  EXPECT_EQ(EscapeForTerminal(std::string("\0\xed\xa0\x80", 4)), "\\x00\\xed\\xa0\\x80");
  EXPECT_EQ(FirstInvalidUtf8("ok\xf4\x90\x80\x80"), 2u) << "above U+10FFFF";
  EXPECT_EQ(FirstInvalidUtf8("\xf0\x9f\x98\x80"), 4u);
}

// A folder of its own for each test of the file's handling.
std::string FreshFolder(const char* name) {
  std::string folder = TempPath(name);
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

std::vector<std::string> Temporaries(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".tmp.") != std::string::npos) found.push_back(name);
  }
  return found;
}

std::string StringAt(FilePropertyBag* bag, const std::string& name) {
  Variant v;
  if (FAILED(bag->Read(Bstr(name), &v, nullptr))) {
    (void)TakeErrorDetails();
    return "(missing)";
  }
  return v.vt() == VT_BSTR ? v.BstrVal().Str() : "(not text)";
}

// Processes saving one file at once: each opened the bag before the others
// wrote, and every key each of them wrote is there at the end, as is one
// that was in the file before and that none of them touched.
TEST(PropertyBagFile, ConcurrentSavesKeepEveryKey) {
  const std::string path = FreshFolder("bag-concurrent") + "/state.json";
  {
    ComPtr<FilePropertyBag> bag;
    ASSERT_EQ(FilePropertyBag::Open(path, &bag), S_OK);
    ASSERT_EQ(bag->Write(Bstr("Before"), Variant("kept")), S_OK);
    ASSERT_EQ(bag->Commit(), S_OK);
  }
  constexpr int kProcesses = 8;
  constexpr int kWrites = 10;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ComPtr<FilePropertyBag> bag;
      if (FAILED(FilePropertyBag::Open(path, &bag))) ::_exit(2);
      for (int w = 0; w < kWrites; ++w) {
        const std::string key = "P" + std::to_string(p) + ".K" + std::to_string(w);
        if (FAILED(bag->Write(Bstr(key), Variant(p * 100 + w)))) ::_exit(3);
        if (FAILED(bag->Commit())) ::_exit(4);
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  ComPtr<FilePropertyBag> bag;
  ASSERT_EQ(FilePropertyBag::Open(path, &bag), S_OK);
  EXPECT_EQ(bag->Values().size(), static_cast<std::size_t>(kProcesses * kWrites + 1));
  for (int p = 0; p < kProcesses; ++p) {
    for (int w = 0; w < kWrites; ++w) {
      Variant v;
      const std::string key = "P" + std::to_string(p) + ".K" + std::to_string(w);
      ASSERT_EQ(bag->Read(Bstr(key), &v, nullptr), S_OK) << key;
      EXPECT_EQ(v.I4(), p * 100 + w);
    }
  }
  EXPECT_EQ(StringAt(bag.Get(), "Before"), "kept");
  EXPECT_TRUE(Temporaries(TempPath("bag-concurrent")).empty());
}

// A bag opened locked keeps every other save out from its read to its
// release: processes that each read a counter, add one and save it all
// count, which key-by-key merging alone cannot give. One that waits longer
// than it may gets STG_E_LOCKVIOLATION naming the file.
TEST(PropertyBagFile, ALockedBagKeepsOtherSavesOutUntilReleased) {
  const std::string path = FreshFolder("bag-locked") + "/state.json";
  constexpr int kProcesses = 6;
  constexpr int kRounds = 5;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int r = 0; r < kRounds; ++r) {
        ComPtr<FilePropertyBag> bag;
        if (FAILED(FilePropertyBag::OpenLocked(path, std::chrono::seconds(60), &bag))) ::_exit(2);
        Variant count{std::int32_t{0}};
        if (bag->Contains("Count") && FAILED(bag->Read(Bstr("Count"), &count, nullptr))) ::_exit(3);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (FAILED(bag->Write(Bstr("Count"), Variant(count.I4() + 1)))) ::_exit(4);
        if (FAILED(bag->Commit())) ::_exit(5);
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  ComPtr<FilePropertyBag> bag;
  ASSERT_EQ(FilePropertyBag::Open(path, &bag), S_OK);
  Variant count;
  ASSERT_EQ(bag->Read(Bstr("Count"), &count, nullptr), S_OK);
  EXPECT_EQ(count.I4(), kProcesses * kRounds);

  // While this process holds it, another cannot open it locked, nor save.
  ComPtr<FilePropertyBag> held;
  ASSERT_EQ(FilePropertyBag::OpenLocked(path, std::chrono::seconds(1), &held), S_OK);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ComPtr<FilePropertyBag> other;
    const auto start = std::chrono::steady_clock::now();
    if (FilePropertyBag::OpenLocked(path, std::chrono::milliseconds(300), &other) !=
        STG_E_LOCKVIOLATION)
      ::_exit(2);
    if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(300)) ::_exit(3);
    if (TakeErrorDetails().description.Str().find(path) == std::string::npos) ::_exit(4);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  // Its own commits go through under the lock it holds.
  ASSERT_EQ(held->Write(Bstr("Count"), Variant(0)), S_OK);
  EXPECT_EQ(held->Commit(), S_OK);
  held.Reset();
  ComPtr<FilePropertyBag> again;
  EXPECT_EQ(FilePropertyBag::OpenLocked(path, std::chrono::milliseconds(100), &again), S_OK);
}

// A save applies what this bag changed to the file as it is now: a key it
// removed goes even when another process saved since, a value it wrote back
// as it read it does not undo the other process's change, and keys it never
// loaded stay.
TEST(PropertyBagFile, ChangesMergeIntoTheFileAsItIsNow) {
  const std::string path = FreshFolder("bag-merge") + "/state.json";
  ComPtr<FilePropertyBag> first;
  ASSERT_EQ(FilePropertyBag::Open(path, &first), S_OK);
  ASSERT_EQ(first->Write(Bstr("Gone"), Variant(1)), S_OK);
  ASSERT_EQ(first->Write(Bstr("Shared"), Variant(1)), S_OK);
  ASSERT_EQ(first->Commit(), S_OK);

  ComPtr<FilePropertyBag> second;
  ASSERT_EQ(FilePropertyBag::Open(path, &second), S_OK);
  ASSERT_EQ(second->Write(Bstr("Other"), Variant("second")), S_OK);
  ASSERT_EQ(second->Write(Bstr("Shared"), Variant(2)), S_OK);
  ASSERT_EQ(second->Commit(), S_OK);

  first->Remove("Gone");
  ASSERT_EQ(first->Write(Bstr("Shared"), Variant(1)), S_OK);
  ASSERT_EQ(first->Write(Bstr("Mine"), Variant("first")), S_OK);
  ASSERT_EQ(first->Commit(), S_OK);
  EXPECT_EQ(StringAt(first.Get(), "Other"), "second") << "the bag shows the file as written";

  ComPtr<FilePropertyBag> after;
  ASSERT_EQ(FilePropertyBag::Open(path, &after), S_OK);
  EXPECT_FALSE(after->Contains("Gone"));
  EXPECT_EQ(StringAt(after.Get(), "Other"), "second");
  EXPECT_EQ(StringAt(after.Get(), "Mine"), "first");
  Variant shared;
  ASSERT_EQ(after->Read(Bstr("Shared"), &shared, nullptr), S_OK);
  EXPECT_EQ(shared.I4(), 2);
}

// A save killed at any moment leaves the file it replaces or the new one,
// whole; the next save clears what the killed one left.
TEST(PropertyBagFile, KilledSavesLeaveTheOldOrTheNewFile) {
  const std::string folder = FreshFolder("bag-crash");
  const std::string path = folder + "/state.json";
  const std::string filler(200000, 'x');
  std::string last = "(missing)";
  for (int round = 1; round <= 30; ++round) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ComPtr<FilePropertyBag> bag;
      if (FAILED(FilePropertyBag::Open(path, &bag))) ::_exit(2);
      (void)bag->Write(Bstr("Filler"), Variant(filler));
      for (int i = 0;; ++i) {
        (void)bag->Write(Bstr("Round"), Variant(std::to_string(round)));
        (void)bag->Write(Bstr("Count"), Variant(i));
        (void)bag->Commit();
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(1000 + 397 * round));
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);

    ComPtr<FilePropertyBag> bag;
    if (!std::filesystem::exists(path)) continue;  // killed before its first save
    ASSERT_EQ(FilePropertyBag::Open(path, &bag), S_OK) << TakeErrorDetails().description.Str();
    const std::string seen = StringAt(bag.Get(), "Round");
    EXPECT_TRUE(seen == std::to_string(round) || seen == last) << "round " << round << ": " << seen;
    last = seen;
    EXPECT_EQ(StringAt(bag.Get(), "Filler"), filler);
    ASSERT_EQ(bag->Write(Bstr("Checked"), Variant(round)), S_OK);
    ASSERT_EQ(bag->Commit(), S_OK);
    EXPECT_TRUE(Temporaries(folder).empty()) << round;
  }

  // Temporaries of a process that is gone are removed by the next save;
  // one of a process still saving is not.
  const pid_t gone = ::fork();
  ASSERT_GE(gone, 0);
  if (gone == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
  const pid_t running = ::fork();
  ASSERT_GE(running, 0);
  if (running == 0) {
    ::pause();
    ::_exit(0);
  }
  const std::string dead_temp = folder + "/.state.json.tmp." + std::to_string(gone);
  const std::string older_temp = folder + "/state.json.tmp." + std::to_string(gone);
  const std::string live_temp = folder + "/.state.json.tmp." + std::to_string(running);
  for (const auto& temp : {dead_temp, older_temp, live_temp}) std::ofstream(temp) << "{";
  ComPtr<FilePropertyBag> bag;
  ASSERT_EQ(FilePropertyBag::Open(path, &bag), S_OK);
  ASSERT_EQ(bag->Commit(), S_OK);
  EXPECT_FALSE(std::filesystem::exists(dead_temp));
  EXPECT_FALSE(std::filesystem::exists(older_temp));
  EXPECT_TRUE(std::filesystem::exists(live_temp));
  ::kill(running, SIGKILL);
  ::waitpid(running, nullptr, 0);
}

TEST(PropertyBagFile, LinksModesAndReadOnlyFiles) {
  const std::string folder = FreshFolder("bag-links");
  const std::string target = folder + "/target.json";
  const std::string link = folder + "/link.json";
  std::filesystem::create_symlink("target.json", link);
  {
    ComPtr<FilePropertyBag> bag;
    ASSERT_EQ(FilePropertyBag::Open(link, &bag), S_OK);
    ASSERT_EQ(bag->Write(Bstr("Through"), Variant("link")), S_OK);
    ASSERT_EQ(bag->Commit(), S_OK);
    ASSERT_EQ(bag->Write(Bstr("Again"), Variant("link")), S_OK);
    ASSERT_EQ(bag->Commit(), S_OK);
  }
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  ComPtr<FilePropertyBag> direct;
  ASSERT_EQ(FilePropertyBag::Open(target, &direct), S_OK);
  EXPECT_EQ(StringAt(direct.Get(), "Through"), "link");
  EXPECT_EQ(StringAt(direct.Get(), "Again"), "link");

  ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
  ASSERT_EQ(direct->Write(Bstr("Private"), Variant(1)), S_OK);
  ASSERT_EQ(direct->Commit(), S_OK);
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);

  ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
  ASSERT_EQ(direct->Write(Bstr("Refused"), Variant(1)), S_OK);
  EXPECT_EQ(direct->Commit(), E_ACCESSDENIED);
  const std::string refused = TakeErrorDetails().description.Str();
  EXPECT_NE(refused.find(target), std::string::npos) << refused;
  EXPECT_NE(refused.find("read-only"), std::string::npos) << refused;
  ComPtr<FilePropertyBag> unchanged;
  ASSERT_EQ(FilePropertyBag::Open(target, &unchanged), S_OK);
  EXPECT_FALSE(unchanged->Contains("Refused"));
  ASSERT_EQ(::chmod(target.c_str(), 0644), 0);

  const std::string second_name = folder + "/hard.json";
  ASSERT_EQ(::link(target.c_str(), second_name.c_str()), 0);
  EXPECT_EQ(direct->Commit(), E_ACCESSDENIED);
  EXPECT_NE(TakeErrorDetails().description.Str().find("hard links"), std::string::npos);
  struct stat linked {};
  ASSERT_EQ(::stat(target.c_str(), &linked), 0);
  EXPECT_EQ(linked.st_nlink, 2u) << "the links are not broken";
}

// A FIFO would block a plain open until a writer came: run in a child with
// an alarm, so that a missing check fails the test instead of hanging it.
TEST(PropertyBagFile, FifoFolderAndDeviceAreRefusedAtOnce) {
  const std::string folder = FreshFolder("bag-special");
  const std::string fifo = folder + "/fifo.json";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::alarm(5);
    int failures = 0;
    for (const std::string& path : {fifo, folder, std::string("/dev/null")}) {
      ComPtr<FilePropertyBag> bag;
      if (FilePropertyBag::Open(path, &bag) != E_ACCESSDENIED) ++failures;
      const std::string text = TakeErrorDetails().description.Str();
      if (text.find(path) == std::string::npos ||
          text.find("not a regular file") == std::string::npos)
        ++failures;
    }
    // A save refuses one that appeared after Open, before reading or
    // replacing anything.
    const std::string later = folder + "/later.json";
    ComPtr<FilePropertyBag> bag;
    if (FAILED(FilePropertyBag::Open(later, &bag))) ++failures;
    if (::mkfifo(later.c_str(), 0644) != 0) ++failures;
    if (bag && bag->Write(Bstr("Key"), Variant(1)) != S_OK) ++failures;
    if (bag && bag->Commit() != E_ACCESSDENIED) ++failures;
    ::_exit(failures);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_TRUE(std::filesystem::is_fifo(folder + "/later.json"));
}

TEST(Base64, RoundTripsEveryLengthAndRejectsBadText) {
  std::vector<std::uint8_t> data;
  for (int n = 0; n < 10; ++n) {
    auto decoded = Base64Decode(Base64Encode(data));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, data);
    data.push_back(static_cast<std::uint8_t>(250 + n));
  }
  EXPECT_EQ(Base64Encode(std::vector<std::uint8_t>{'M', 'a'}), "TWE=");
  EXPECT_FALSE(Base64Decode("TWE"));
  EXPECT_FALSE(Base64Decode("T=E="));
  EXPECT_FALSE(Base64Decode("TW E"));
}

}  // namespace
