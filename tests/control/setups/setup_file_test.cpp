// The two setup file formats byte for byte: the native file written and read
// back, its header-length rule, the older format's line rules, the refusals
// of files that do not hold what they claim, and a failed save that leaves
// the old file in place; every file error naming the file and why, in the
// thread's language.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ckordale_file.h"
#include "csetup_file.h"
#include "fake_wrapper.h"
#include "setup_errors.h"
#include "setup_test_support.h"
#include "setups_vexr7100_scope.h"
#include "vexr7100_localization.h"

namespace vex::control {
namespace {

using namespace vex::com;
using namespace vex::control::test;
using ::testing::HasSubstr;

const auto* const kResources = ::testing::AddGlobalTestEnvironment(new ResourceLibrary);

constexpr const char* kWorkedExample =
    "91|scp|1|R7152D|Vexan Technologies||1.20|bench A|KLR Standard Setup File, Version: 1"
    "||||10|0123456789";

ComPtr<CSetupFile> WorkedExampleFile() {
  auto file = MakeObject<CSetupFile>();
  EXPECT_EQ(file->put_Model(Bstr("R7152D")), S_OK);
  EXPECT_EQ(file->put_Version(Bstr("1.20")), S_OK);
  EXPECT_EQ(file->put_UserComments(Bstr("bench A")), S_OK);
  EXPECT_EQ(file->put_LearnString(ByteArray("0123456789")), S_OK);
  return file;
}

// A failed read names the file and what is wrong with it.
void ExpectLoadFailure(HRESULT hr, const std::string& path, const std::string& reason) {
  EXPECT_EQ(hr, kSetupFileError);
  const RaisedError error = TakeRaised();
  EXPECT_EQ(error.source, "Open Setup File");
  EXPECT_EQ(error.description, "Error while loading from file " + path + ": " + reason);
}

void ExpectSaveFailure(HRESULT hr, const std::string& path, const std::string& reason) {
  EXPECT_EQ(hr, kSetupFileError);
  const RaisedError error = TakeRaised();
  EXPECT_EQ(error.source, "Open Setup File");
  EXPECT_EQ(error.description, "Error while saving to file " + path + ": " + reason);
}

class SetupFileTest : public ::testing::Test {
 protected:
  ScratchFolder folder;
};

TEST_F(SetupFileTest, WorkedExampleIsWrittenByteForByteAndReadBack) {
  const std::string path = folder / "bench.scp";
  ASSERT_EQ(WorkedExampleFile()->WriteFile(Bstr(path)), S_OK);
  EXPECT_EQ(ReadBytes(path), kWorkedExample);

  auto read = MakeObject<CSetupFile>();
  VARIANT_BOOL compatible = VARIANT_FALSE;
  ASSERT_EQ(read->IsACompatibleFile(Bstr(path), &compatible), S_OK);
  EXPECT_TRUE(compatible);
  ASSERT_EQ(read->ReadFile(Bstr(path)), S_OK);
  const SetupFileFields& fields = read->Fields();
  EXPECT_EQ(fields.model, "R7152D");
  EXPECT_EQ(fields.manufacturer, "Vexan Technologies");
  EXPECT_EQ(fields.serial_number, "");
  EXPECT_EQ(fields.version, "1.20");
  EXPECT_EQ(fields.user_comments, "bench A");
  Variant learn;
  ASSERT_EQ(read->get_LearnString(&learn), S_OK);
  EXPECT_EQ(BytesOf(learn), "0123456789");
}

TEST_F(SetupFileTest, HeaderLengthCountsItsOwnDigits) {
  EXPECT_EQ(CSetupFile::HeaderLength(88), 91u);
  EXPECT_EQ(CSetupFile::HeaderLength(96), 99u);
  EXPECT_EQ(CSetupFile::HeaderLength(97), 101u);  // 99 + 1 needs three digits
  EXPECT_EQ(CSetupFile::HeaderLength(98), 102u);
  EXPECT_EQ(CSetupFile::HeaderLength(995), 999u);
  EXPECT_EQ(CSetupFile::HeaderLength(996), 1001u);

  // The worked example with a comment 9 characters longer: 97 follow.
  auto file = WorkedExampleFile();
  ASSERT_EQ(file->put_UserComments(Bstr("bench A, shelf 3")), S_OK);
  std::string bytes;
  ASSERT_TRUE(CSetupFile::Format(file->Fields(), &bytes, nullptr));
  EXPECT_EQ(bytes.substr(0, 4), "101|");
  EXPECT_EQ(bytes.find("|10|"), 101u - 4);
  SetupFileFields back;
  EXPECT_TRUE(CSetupFile::Parse({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                                &back, nullptr));
}

TEST_F(SetupFileTest, HeaderLengthOneOffEitherWayFailsToLoad) {
  const std::string example = kWorkedExample;
  for (const char* length : {"90", "92"}) {
    const std::string path = folder / (std::string(length) + ".scp");
    WriteBytes(path, length + example.substr(2));
    auto file = MakeObject<CSetupFile>();
    ExpectLoadFailure(file->ReadFile(Bstr(path)), path,
                      "the header length does not match the header");
  }
}

TEST_F(SetupFileTest, TypeAndVersionCompareWithoutCaseAndVersionTwoIsNoSetupFile) {
  const std::string example = kWorkedExample;
  const std::string upper = folder / "upper.scp";
  WriteBytes(upper, "91|SCP|1|" + example.substr(9));
  auto file = MakeObject<CSetupFile>();
  VARIANT_BOOL compatible = VARIANT_FALSE;
  ASSERT_EQ(file->IsACompatibleFile(Bstr(upper), &compatible), S_OK);
  EXPECT_TRUE(compatible);
  EXPECT_EQ(file->ReadFile(Bstr(upper)), S_OK);

  const std::string version2 = folder / "v2.scp";
  WriteBytes(version2, "91|scp|2|" + example.substr(9));
  ASSERT_EQ(file->IsACompatibleFile(Bstr(version2), &compatible), S_OK);
  EXPECT_FALSE(compatible);
  auto older = MakeObject<CKordaleFile>();
  ASSERT_EQ(older->IsACompatibleFile(Bstr(version2), &compatible), S_OK);
  EXPECT_FALSE(compatible);
  ExpectLoadFailure(file->ReadFile(Bstr(version2)), version2, "the format version is not 1");
  // A type field longer than 4 characters is not read at all.
  EXPECT_FALSE(CSetupFile::HasTypeAndVersion(
      std::vector<std::uint8_t>{'9', '|', 's', 'c', 'p', 'x', 'y', '|', '1', '|'}));
}

TEST_F(SetupFileTest, EmptyLearnStringSavesLengthZeroAndLoadsEmpty) {
  const std::string path = folder / "empty.scp";
  auto file = WorkedExampleFile();
  ASSERT_EQ(file->put_LearnString(Variant()), S_OK);
  ASSERT_EQ(file->WriteFile(Bstr(path)), S_OK);
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes.substr(bytes.size() - 3), "|0|");
  EXPECT_EQ(bytes.substr(0, 3), "90|");

  auto read = MakeObject<CSetupFile>();
  ASSERT_EQ(read->ReadFile(Bstr(path)), S_OK);
  Variant learn = Variant(1);
  ASSERT_EQ(read->get_LearnString(&learn), S_OK);
  EXPECT_TRUE(learn.IsEmpty());
}

// Mended: the data length was trusted, so a cut file loaded "successfully"
// with fewer bytes and a huge length asked for that much memory.
TEST_F(SetupFileTest, DataLengthBeyondTheFileFailsToLoad) {
  const std::string example = kWorkedExample;
  const std::string cut = folder / "cut.scp";
  WriteBytes(cut, example.substr(0, example.size() - 1));
  ExpectLoadFailure(MakeObject<CSetupFile>()->ReadFile(Bstr(cut)), cut,
                    "the file holds less data than its header says");

  const std::string huge = folder / "huge.scp";
  std::string claim = example;
  claim.replace(claim.find("|10|"), 4, "|99999999999999|");
  // A consistent header: 88 + 12 characters follow the length field.
  claim.replace(0, 2, std::to_string(CSetupFile::HeaderLength(100)));
  WriteBytes(huge, claim);
  ExpectLoadFailure(MakeObject<CSetupFile>()->ReadFile(Bstr(huge)), huge,
                    "the file holds less data than its header says");

  // Extra bytes after the data are not part of it.
  const std::string longer = folder / "longer.scp";
  WriteBytes(longer, example + "extra");
  auto file = MakeObject<CSetupFile>();
  ASSERT_EQ(file->ReadFile(Bstr(longer)), S_OK);
  EXPECT_EQ(std::string(file->Fields().learn_string.begin(), file->Fields().learn_string.end()),
            "0123456789");
}

// Mended: a "|" in a field that does not come from the user wrote a file
// that could not be read back.
TEST_F(SetupFileTest, SeparatorInAnyFieldIsRefusedOnWrite) {
  const std::string path = folder / "bar.scp";
  using Put = HRESULT (ISetupFile::*)(const Bstr&);
  const Put puts[] = {&ISetupFile::put_Model,          &ISetupFile::put_Version,
                      &ISetupFile::put_SerialNumber,   &ISetupFile::put_Manufacturer,
                      &ISetupFile::put_ReservedField1, &ISetupFile::put_ReservedField3};
  for (Put put : puts) {
    auto file = WorkedExampleFile();
    ASSERT_EQ((static_cast<ISetupFile*>(file.Get())->*put)(Bstr("a|b")), S_OK);
    ExpectSaveFailure(file->WriteFile(Bstr(path)), path, "a field holds the separator \"|\"");
    EXPECT_FALSE(std::filesystem::exists(path));
  }
}

TEST_F(SetupFileTest, FailuresLogAnAssertionNamingModuleAndProcedure) {
  LogEntries log;
  const std::string path = folder / "v9.scp";
  WriteBytes(path, "91|scp|9|");
  (void)MakeObject<CSetupFile>()->ReadFile(Bstr(path));
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_THAT(log.All(), HasSubstr("Error Code: -2147221453 0x80040033"));
  EXPECT_THAT(log.All(), HasSubstr("File: CSetupFile"));
  EXPECT_THAT(log.All(), HasSubstr("Function: ReadFileTypeAndVersion"));
  (void)TakeRaised();

  const std::string older = folder / "x.stp";
  ExpectSaveFailure(MakeObject<CKordaleFile>()->WriteFile(Bstr(older)), older,
                    "files of the older format are only read, never written");
  EXPECT_THAT(log.entries.back(), HasSubstr("File: CKordaleFile"));
  EXPECT_THAT(log.entries.back(), HasSubstr("Function: WriteFile"));
  EXPECT_FALSE(std::filesystem::exists(older));
}

// Counts are characters of the thread's locale; the data offset is bytes.
TEST_F(SetupFileTest, HeaderCountsLocaleCharactersNotBytes) {
  ThreadLocale utf8("C.UTF-8");
  ASSERT_TRUE(utf8.Ok());
  const std::string path = folder / "umlaut.scp";
  auto file = WorkedExampleFile();
  ASSERT_EQ(file->put_UserComments(Bstr("Prüfstand ä")), S_OK);  // 11 characters, 13 bytes
  ASSERT_EQ(file->WriteFile(Bstr(path)), S_OK);
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes.substr(0, 3), "95|");  // 91 - 7 + 11
  EXPECT_EQ(bytes.substr(bytes.size() - 14), "|10|0123456789");
  auto read = MakeObject<CSetupFile>();
  ASSERT_EQ(read->ReadFile(Bstr(path)), S_OK);
  EXPECT_EQ(read->Fields().user_comments, "Prüfstand ä");
  EXPECT_EQ(read->Fields().learn_string.size(), 10u);

  // Read in the C locale the same bytes count one character each: the
  // header no longer matches.
  {
    ThreadLocale plain("C");
    ExpectLoadFailure(MakeObject<CSetupFile>()->ReadFile(Bstr(path)), path,
                      "the header length does not match the header");
    // A character the locale cannot write is refused.
    auto cjk = WorkedExampleFile();
    ASSERT_EQ(cjk->put_UserComments(Bstr("新")), S_OK);
    ExpectSaveFailure(cjk->WriteFile(Bstr(folder / "cjk.scp")), folder / "cjk.scp",
                      "a field holds a character the locale's character set cannot hold");
  }
}

// Mended: "create or replace" destroyed the old file before the new one was
// complete. Here the write runs out of room half-way (a file size limit,
// which root meets too) in a child process.
TEST_F(SetupFileTest, SaveThatFailsHalfWayLeavesTheOldFileIntact) {
  const std::string path = folder / "keep.scp";
  ASSERT_EQ(WorkedExampleFile()->WriteFile(Bstr(path)), S_OK);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    auto big = WorkedExampleFile();
    (void)big->put_LearnString(ByteArray(std::string(100000, 'x')));
    const HRESULT hr = big->WriteFile(Bstr(path));
    // The write's own reason, with the file it was for.
    const bool named =
        TakeRaised().description == "Error while saving to file " + path + ": File too large";
    ::_exit(hr == kSetupFileError && named ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed save was not reported";
  EXPECT_EQ(ReadBytes(path), kWorkedExample);
  // No temporary file is left behind.
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1u);
}

TEST_F(SetupFileTest, SavedFileKeepsThePermissionsOfTheOneItReplaces) {
  const std::string path = folder / "mode.scp";
  WriteBytes(path, "old");
  std::filesystem::permissions(path, std::filesystem::perms(0640));
  ASSERT_EQ(WorkedExampleFile()->WriteFile(Bstr(path)), S_OK);
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
}

// Every read and write that the system refuses names the file and gives the
// system's reason; a path whose folder is a regular file fails the same for
// root, and a read-only folder is checked where the test is not root.
TEST_F(SetupFileTest, FileErrorsNameTheFileAndTheSystemsReason) {
  const std::string missing = folder / "missing.scp";
  ExpectLoadFailure(MakeObject<CSetupFile>()->ReadFile(Bstr(missing)), missing,
                    "No such file or directory");
  ExpectLoadFailure(MakeObject<CKordaleFile>()->ReadFile(Bstr(missing)), missing,
                    "No such file or directory");

  const std::string plain = folder / "plain";
  WriteBytes(plain, "a file, not a folder");
  const std::string below = plain + "/bench.scp";
  ExpectSaveFailure(WorkedExampleFile()->WriteFile(Bstr(below)), below, "Not a directory");
  ExpectLoadFailure(MakeObject<CSetupFile>()->ReadFile(Bstr(below)), below, "Not a directory");
  ExpectSaveFailure(WorkedExampleFile()->WriteFile(Bstr("")), "", "No such file or directory");

  ExpectSaveFailure(WorkedExampleFile()->WriteFile(Bstr(folder.Path())), folder.Path(),
                    "Is a directory");
  ExpectLoadFailure(MakeObject<CSetupFile>()->ReadFile(Bstr(folder.Path())), folder.Path(),
                    "Is a directory");

  if (::geteuid() != 0) {
    const std::string locked = folder / "locked";
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(
        locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    ExpectSaveFailure(WorkedExampleFile()->WriteFile(Bstr(locked + "/a.scp")), locked + "/a.scp",
                      "Permission denied");
    const std::string unreadable = folder / "unreadable.scp";
    ASSERT_EQ(WorkedExampleFile()->WriteFile(Bstr(unreadable)), S_OK);
    std::filesystem::permissions(unreadable, std::filesystem::perms::owner_write);
    ExpectLoadFailure(MakeObject<CSetupFile>()->ReadFile(Bstr(unreadable)), unreadable,
                      "Permission denied");
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
  }
}

// A FIFO or a device is refused before it is opened: a FIFO without a
// writer would block the read and one without a reader the write, and a
// device is never read or written.
TEST_F(SetupFileTest, FifosAndDevicesAreRefusedAtOnce) {
  const std::string fifo = folder / "pipe.scp";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ExpectLoadFailure(MakeObject<CSetupFile>()->ReadFile(Bstr(fifo)), fifo,
                    "a FIFO, not a regular file");
  ExpectSaveFailure(WorkedExampleFile()->WriteFile(Bstr(fifo)), fifo, "a FIFO, not a regular file");
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  // Through a symbolic link too.
  const std::string link = folder / "link.scp";
  std::filesystem::create_symlink(fifo, link);
  ExpectSaveFailure(WorkedExampleFile()->WriteFile(Bstr(link)), link, "a FIFO, not a regular file");

  ExpectLoadFailure(MakeObject<CKordaleFile>()->ReadFile(Bstr("/dev/zero")), "/dev/zero",
                    "a character device, not a regular file");
  ExpectSaveFailure(WorkedExampleFile()->WriteFile(Bstr("/dev/null")), "/dev/null",
                    "a character device, not a regular file");
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
  // Nothing was left behind in a folder the test does not own.
  for (const auto& entry : std::filesystem::directory_iterator("/dev")) {
    EXPECT_EQ(entry.path().filename().string().rfind(".null.", 0), std::string::npos)
        << entry.path();
  }
}

// The text around the file name is the control's, in the thread's
// language; the system's reason stays English.
TEST_F(SetupFileTest, FileErrorsComeInTheThreadsLanguage) {
  const std::string plain = folder / "plain";
  WriteBytes(plain, "a file, not a folder");
  const std::string below = plain + "/bench.scp";
  const std::int32_t saved = VexR7100Localization::Offset();
  VexR7100Localization::SetOffset(4000);
  EXPECT_EQ(WorkedExampleFile()->WriteFile(Bstr(below)), kSetupFileError);
  RaisedError error = TakeRaised();
  EXPECT_EQ(error.source, "Konfigurationsdatei öffnen");
  EXPECT_EQ(error.description, "Fehler beim Speichern in die Datei " + below + ": Not a directory");
  VexR7100Localization::SetOffset(5000);
  EXPECT_EQ(MakeObject<CSetupFile>()->ReadFile(Bstr(below)), kSetupFileError);
  EXPECT_EQ(TakeRaised().description,
            "ファイル " + below + " の読み込み中にエラーが発生しました: Not a directory");
  VexR7100Localization::SetOffset(saved);
  // A "%1" in the file name is part of the name, not a place for another.
  const std::string odd = folder / "100%1/x.scp";
  ExpectLoadFailure(MakeObject<CSetupFile>()->ReadFile(Bstr(odd)), odd,
                    "No such file or directory");
}

// Through a setup, as every client reads a file: one that cannot be read is
// not "not a setup file" but says which file and why, and the setup keeps
// what it held.
TEST_F(SetupFileTest, ASetupReadingAnUnreadableFileSaysWhyAndKeepsItsData) {
  auto setups = MakeObject<CSetupsVexR7100Scope>();
  auto instrument = MakeObject<test::FakeWrapper>();
  ASSERT_EQ(setups->put_CVexR7100EZPtr(instrument.Get()), S_OK);
  ComPtr<ISetupVexR7100Scope> bench;
  ASSERT_EQ(setups->Add(Bstr("Bench"), bench.ReleaseAndGetAddressOf()), S_OK);
  ASSERT_EQ(bench->GetFromInstrument(), S_OK);
  Variant before;
  ASSERT_EQ(bench->get_LearnString(&before), S_OK);
  const std::string fifo = folder / "pipe.scp";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::string, std::string> unreadable[] = {
      {folder / "missing.scp", "No such file or directory"},
      {folder.Path(), "Is a directory"},
      {fifo, "a FIFO, not a regular file"}};
  for (const auto& [path, reason] : unreadable) {
    ExpectLoadFailure(bench->ReadFromFile(Bstr(path)), path, reason);
  }
  Variant after;
  ASSERT_EQ(bench->get_LearnString(&after), S_OK);
  EXPECT_EQ(BytesOf(after), BytesOf(before));

  const std::string plain = folder / "plain";
  WriteBytes(plain, "not a folder");
  ExpectSaveFailure(bench->SaveToFile(Bstr(plain + "/bench.scp")), plain + "/bench.scp",
                    "Not a directory");
}

// ---- The older format ----------------------------------------------------

std::string Stp(const std::string& rom_line, const std::string& identification,
                const std::string& command = ":SYSTEM:SETUP ", const std::string& data = "#13abc") {
  return rom_line + "\n42\n  lab bench  \n" + identification + "\n" + command + data;
}

TEST_F(SetupFileTest, OlderFormatGivesManufacturerModelAnyVersionAndTheBlock) {
  const std::string path = folder / "old.stp";
  WriteBytes(path, Stp("stpA12", "vexR7146C"));
  auto file = MakeObject<CKordaleFile>();
  VARIANT_BOOL compatible = VARIANT_FALSE;
  ASSERT_EQ(file->IsACompatibleFile(Bstr(path), &compatible), S_OK);
  EXPECT_TRUE(compatible);
  ASSERT_EQ(MakeObject<CSetupFile>()->IsACompatibleFile(Bstr(path), &compatible), S_OK);
  EXPECT_FALSE(compatible);
  ASSERT_EQ(file->ReadFile(Bstr(path)), S_OK);
  EXPECT_EQ(file->Fields().manufacturer, "Vexan Technologies");
  EXPECT_EQ(file->Fields().model, "R7146C");
  EXPECT_EQ(file->Fields().version, "X.XX.XX");
  EXPECT_EQ(file->Fields().user_comments, "lab bench");
  Variant learn;
  ASSERT_EQ(file->get_LearnString(&learn), S_OK);
  EXPECT_EQ(BytesOf(learn), "#13abc");

  WriteBytes(path, Stp("STPB123", "XYZ123", ":system:setup "));
  ASSERT_EQ(file->ReadFile(Bstr(path)), S_OK);
  EXPECT_EQ(file->Fields().manufacturer, "XYZ");
  EXPECT_EQ(file->Fields().model, "123");
}

TEST_F(SetupFileTest, OlderFormatLinesEndInLineFeedAndKeepCarriageReturns) {
  const std::string path = folder / "crlf.stp";
  // A 3-character ROM code and a carriage return count as 4 characters.
  WriteBytes(path, Stp("stpA12\r", "VEXR7152D\r"));
  auto file = MakeObject<CKordaleFile>();
  ASSERT_EQ(file->ReadFile(Bstr(path)), S_OK);
  EXPECT_EQ(file->Fields().model, "R7152D\r");
  // A 4-character ROM code with a carriage return is 5: not this format.
  WriteBytes(path, Stp("stpA123\r", "VEXR7152D"));
  VARIANT_BOOL compatible = VARIANT_TRUE;
  ASSERT_EQ(file->IsACompatibleFile(Bstr(path), &compatible), S_OK);
  EXPECT_FALSE(compatible);
  ExpectLoadFailure(file->ReadFile(Bstr(path)), path, "the ROM code is not 3 or 4 characters long");
}

TEST_F(SetupFileTest, OlderFormatRefusals) {
  const std::string path = folder / "bad.stp";
  auto file = MakeObject<CKordaleFile>();
  const std::pair<std::string, std::string> refused[] = {
      {Stp("stpAB", "VEXR7152D"), "the ROM code is not 3 or 4 characters long"},
      {Stp("xtpABC", "VEXR7152D"), "the file type is not \"stp\""},
      {Stp("stpABC", "VEXR7152D", ":SYSTEM:SETUX "),
       "the setup command \":SYSTEM:SETUP \" does not follow line 4"},
      {"stpABC\nnot a number\nc\nVEXA\n", "line 2 is not a number"},
      {"stpABC\n1\nc\nVEXR7152D\n:SYS",
       "the setup command \":SYSTEM:SETUP \" does not follow line 4"},
      {"stpABC\n1\nc", "the file ends on line 3"}};
  for (const auto& bytes : refused) {
    WriteBytes(path, bytes.first);
    ExpectLoadFailure(file->ReadFile(Bstr(path)), path, bytes.second);
  }
  // Data of fewer than two bytes reads as none.
  WriteBytes(path, Stp("stpABC", "VEXR7152D", ":SYSTEM:SETUP ", "#"));
  ASSERT_EQ(file->ReadFile(Bstr(path)), S_OK);
  EXPECT_TRUE(file->Fields().learn_string.empty());
}

}  // namespace
}  // namespace vex::control
