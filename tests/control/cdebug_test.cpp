// The support logger: report and trace texts, the outputs each mode turns
// on, persistence, and the log file's defences against planted files.
#include "cdebug.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "vex/ui/headless_toolkit.h"

namespace vex::control {
namespace {

namespace fs = std::filesystem;

struct RecordingSink : DebugSink {
  void SupportMessage(const std::string& text) override { messages.push_back(text); }
  void PropertyChanged(std::string_view name) override { changed.emplace_back(name); }
  std::vector<std::string> messages;
  std::vector<std::string> changed;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The lines standard error got while `body` ran.
template <class Body>
std::vector<std::string> StderrLines(Body body) {
  ::testing::internal::CaptureStderr();
  body();
  const std::string text = ::testing::internal::GetCapturedStderr();
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string Warning(const fs::path& log, const std::string& reason) {
  return std::string(program_invocation_short_name) + ": cannot write the debug log " +
         log.string() + ": " + reason;
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// Each test gets a temporary folder of its own as $TMPDIR.
class CDebugTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder =
        fs::path(VEX_TEST_TMP) /
        ("cdebug-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    ::setenv("TMPDIR", folder.c_str(), 1);
    log = folder / "VexScope.DBG";
    debug.SetSink(&sink);
    debug.SetToolkit(&toolkit);
  }
  void TearDown() override { ::unsetenv("TMPDIR"); }

  fs::path folder;
  fs::path log;
  RecordingSink sink;
  ui::HeadlessToolkit toolkit;
  CDebug debug{"/nonexistent-fallback"};
};

TEST(CDebugFormat, ReportLinesEndInCrLfAndSkipEmptyParts) {
  const auto lines = LinesOf(
      CDebug::FormatReport(CDebug::kAssertionCode, "Assertion: x > 0", "Mod", "Proc", "L1"));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "Error Code: -2147221453 0x80040033");
  EXPECT_EQ(lines[1], "Assertion: x > 0");
  EXPECT_EQ(lines[2].rfind("At: ", 0), 0u);
  EXPECT_GT(lines[2].size(), 6u);
  EXPECT_EQ(lines[3], "File: Mod");
  EXPECT_EQ(lines[4], "Function: Proc");
  EXPECT_EQ(lines[5], "Location: L1");
  EXPECT_EQ(lines[6], "");
  const auto bare = LinesOf(CDebug::FormatReport(5, "", "", "", ""));
  ASSERT_EQ(bare.size(), 3u);
  EXPECT_EQ(bare[0], "Error Code: 5 0x5");
  EXPECT_EQ(bare[2], "");
}

TEST(CDebugFormat, TraceLines) {
  EXPECT_EQ(CDebug::FormatTrace("", "VexR7100Scope", "UserControl_Initialize", ""),
            "Trace:  -- At: File: VexR7100Scope; Function: UserControl_Initialize; \r\n");
  EXPECT_EQ(CDebug::FormatTrace("t", "", "", "w"), "Trace: t -- At: Location: w\r\n");
  EXPECT_EQ(CDebug::FormatTrace("only text", "", "", ""), "Trace: only text\r\n");
  EXPECT_EQ(CDebug::FormatTrace("", "", "", ""), "Trace:\r\n");
}

TEST_F(CDebugTest, WithAllOutputsOffAFalseAssertionProducesNothing) {
  debug.Assert(false, "x > 0", "Mod", "Proc", "");
  debug.Message(1, "text", "", "", "");
  debug.Trace("t", "", "", "");
  EXPECT_TRUE(sink.messages.empty());
  EXPECT_TRUE(toolkit.MessageBoxes().empty());
  EXPECT_FALSE(fs::exists(log));
}

TEST_F(CDebugTest, ModeSixRecreatesTheLogRaisesEventsAndNotifiesOnce) {
  WriteFile(log, "old entries");
  debug.SetDebugMode(6);
  EXPECT_EQ(debug.DebugMode(), 6);
  EXPECT_EQ(debug.LogFilePath(), log.string());
  EXPECT_EQ(ReadFile(log), "");
  EXPECT_EQ(sink.changed, std::vector<std::string>{"DebugMode"});

  debug.Assert(false, "x > 0", "Mod", "Proc", "");
  debug.Trace("t", "", "", "w");
  ASSERT_EQ(sink.messages.size(), 1u);  // traces never go to events
  EXPECT_EQ(ReadFile(log), sink.messages[0] + "\r\n" + "Trace: t -- At: Location: w\r\n\r\n");
  EXPECT_TRUE(toolkit.MessageBoxes().empty());

  debug.SetDebugMode(6);  // the same mode again: nothing
  EXPECT_EQ(sink.changed.size(), 1u);
  EXPECT_NE(ReadFile(log), "");
  // A true condition and an empty condition text.
  debug.Assert(true, "x > 0", "", "", "");
  debug.Assert(false, "", "", "", "");
  ASSERT_EQ(sink.messages.size(), 2u);
  EXPECT_EQ(LinesOf(sink.messages[1])[1].rfind("At: ", 0), 0u);
}

TEST_F(CDebugTest, ModeOneShowsTheRemoteSupportBox) {
  debug.SetDebugMode(1);
  debug.Assert(false, "m_lCount > 0", "Mod", "Proc", "");
  ASSERT_EQ(toolkit.MessageBoxes().size(), 1u);
  const auto& box = toolkit.MessageBoxes()[0];
  EXPECT_EQ(box.request.title, "Remote Support Assistant");
  EXPECT_EQ(box.request.flags, 65600u);
  const auto lines = LinesOf(box.request.text);
  EXPECT_EQ(lines[0], "Error Code: -2147221453 0x80040033");
  EXPECT_EQ(lines[1].rfind("Assertion: ", 0), 0u);
  EXPECT_FALSE(fs::exists(log));
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(CDebugTest, ModesOutsideTheFourBitsKeepOnlyTheirBits) {
  debug.SetDebugMode(16);  // differs from 0: flags from the bits (none), notified
  EXPECT_EQ(debug.DebugMode(), 0);
  EXPECT_EQ(sink.changed.size(), 1u);
  debug.SetDebugMode(-1);
  EXPECT_EQ(debug.DebugMode(), 15);
  EXPECT_TRUE(fs::exists(log));
  debug.SetDebugMode(8);  // the assert flag alone gates nothing
  debug.Assert(false, "x", "", "", "");
  EXPECT_TRUE(sink.messages.empty());
  EXPECT_EQ(debug.DebugMode(), 8);
}

TEST_F(CDebugTest, TheFlagsPersistThroughAPropertyBag) {
  debug.SetDebugMode(2 | 4 | 8);
  com::ComPtr<com::MemoryPropertyBag> bag(new com::MemoryPropertyBag);
  ASSERT_EQ(debug.WriteProperties(bag.Get()), com::S_OK);
  ASSERT_EQ(bag->Values().size(), 4u);
  EXPECT_EQ(bag->Values().at("DebugEnableEvent").BoolVal(), com::VARIANT_TRUE);
  EXPECT_EQ(bag->Values().at("DebugEnableMessageBox").BoolVal(), com::VARIANT_FALSE);

  CDebug restored("/nonexistent-fallback");
  WriteFile(log, "left over");
  ASSERT_EQ(restored.ReadProperties(bag.Get()), com::S_OK);
  EXPECT_EQ(restored.DebugMode(), 14);
  EXPECT_EQ(ReadFile(log), "");  // the log is on: recreated empty

  com::ComPtr<com::MemoryPropertyBag> empty(new com::MemoryPropertyBag);
  ASSERT_EQ(restored.ReadProperties(empty.Get()), com::S_OK);
  EXPECT_EQ(restored.DebugMode(), 0);
  EXPECT_EQ(restored.ReadProperties(nullptr), com::E_POINTER);
}

TEST_F(CDebugTest, ASymbolicLinkPlantedAsTheLogIsNotFollowed) {
  const fs::path victim = folder / "victim.txt";
  WriteFile(victim, "precious");
  fs::create_symlink(victim, log);
  ::testing::internal::CaptureStderr();
  debug.SetDebugMode(2);
  debug.Message(1, "entry", "", "", "");
  debug.Trace("t", "", "", "");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(ReadFile(victim), "precious");
  EXPECT_EQ(err, Warning(log, "it is a symbolic link, which is not followed") + "\n");
}

TEST_F(CDebugTest, AHardLinkedOrForeignLogIsRefused) {
  const fs::path victim = folder / "victim.txt";
  WriteFile(victim, "precious");
  fs::create_hard_link(victim, log);
  ::testing::internal::CaptureStderr();
  debug.SetDebugMode(2);
  debug.Trace("t", "", "", "");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            Warning(log, "it has more than one link") + "\n");
  EXPECT_EQ(ReadFile(victim), "precious");

  // Another file (each is said once per process).
  const fs::path other = folder / "other";
  fs::create_directory(other);
  ::setenv("TMPDIR", other.c_str(), 1);
  const fs::path foreign = other / "VexScope.DBG";
  WriteFile(foreign, "someone else's");
  if (::chown(foreign.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "giving a file away needs root";
  CDebug fresh("/nonexistent-fallback");
  ::testing::internal::CaptureStderr();
  fresh.SetDebugMode(2);
  fresh.Trace("t", "", "", "");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            Warning(foreign, "it belongs to another user") + "\n");
  EXPECT_EQ(ReadFile(foreign), "someone else's");
}

TEST_F(CDebugTest, WithoutAUsableTemporaryFolderThereIsNoLogFile) {
  EXPECT_EQ(CDebug::LogFolder(folder.c_str(), "/nonexistent"), folder.string() + "/");
  EXPECT_EQ(CDebug::LogFolder("/nonexistent", folder.string() + "/"), folder.string() + "/");
  EXPECT_EQ(CDebug::LogFolder(nullptr, "/nonexistent"), "");
  EXPECT_EQ(CDebug::LogFolder(log.c_str(), "/nonexistent"), "");  // a file is no folder

  ::setenv("TMPDIR", "/nonexistent-tmpdir", 1);
  const fs::path cwd = fs::current_path();
  fs::current_path(folder);
  const auto lines = StderrLines([&] {
    debug.SetDebugMode(2);
    debug.Message(1, "entry", "", "", "");
    debug.Trace("t", "", "", "");
    debug.SetDebugMode(0);
    debug.SetDebugMode(2);
  });
  fs::current_path(cwd);
  EXPECT_EQ(debug.LogFilePath(), "");
  EXPECT_FALSE(fs::exists(log));  // nothing in the current folder either
  // Said once, by the folder it would have gone into.
  EXPECT_EQ(lines, std::vector<std::string>{
                       Warning("/nonexistent-fallback/VexScope.DBG", "No such file or directory")});
}

// A log that cannot be opened is said once per process and file, naming
// the file and why; the other outputs go on.
TEST_F(CDebugTest, ALogThatCannotBeOpenedIsSaidOnceAndLeftOut) {
  debug.SetDebugMode(2 | 4);
  // The folder becomes a regular file: the log's parent is no directory
  // (for root too).
  fs::rename(folder, folder.string() + ".moved");
  WriteFile(folder, "not a folder");
  auto lines = StderrLines([&] {
    debug.Message(1, "entry", "", "", "");
    debug.Trace("t", "", "", "");
    CDebug again("/nonexistent-fallback");
    again.SetDebugMode(2);
    again.Trace("t", "", "", "");
  });
  EXPECT_EQ(sink.messages.size(), 1u);  // the other outputs still work
  EXPECT_EQ(lines, std::vector<std::string>{Warning(log, "Not a directory")});
  fs::remove(folder);
  fs::remove_all(folder.string() + ".moved");
  fs::create_directories(folder / "sub");
  // A directory where the log should be.
  ::setenv("TMPDIR", (folder / "sub").c_str(), 1);
  const fs::path in_sub = folder / "sub" / "VexScope.DBG";
  fs::create_directory(in_sub);
  lines = StderrLines([&] {
    CDebug other("/nonexistent-fallback");
    other.SetDebugMode(2);
    other.Trace("t", "", "", "");
    other.Message(1, "entry", "", "", "");
  });
  EXPECT_TRUE(fs::is_directory(in_sub));
  EXPECT_EQ(lines, std::vector<std::string>{Warning(in_sub, "Is a directory")});
}

// A write that fails (here the file size limit, which root meets too, in a
// child process) is said once as well.
TEST_F(CDebugTest, ALogThatCannotBeWrittenIsSaidOnce) {
  int err[2];
  ASSERT_EQ(::pipe(err), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::dup2(err[1], STDERR_FILENO);
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{0, 0};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    CDebug logger("/nonexistent-fallback");
    logger.SetDebugMode(2);
    for (int i = 0; i < 3; ++i) logger.Trace("t", "", "", "");
    ::_exit(0);
  }
  ::close(err[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  ::close(err[0]);
  EXPECT_EQ(text, Warning(log, "File too large") + "\n");
}

TEST(CDebugThreads, EachThreadHasItsOwnLogger) {
  CDebug* main_logger = &CDebug::ForThisThread();
  main_logger->SetDebugMode(8);
  CDebug* other_logger = nullptr;
  std::int32_t other_mode = -1;
  std::thread([&] {
    other_logger = &CDebug::ForThisThread();
    other_mode = other_logger->DebugMode();
    other_logger->SetDebugMode(1 | 8);
  }).join();
  EXPECT_NE(other_logger, main_logger);
  EXPECT_EQ(other_mode, 0);
  EXPECT_EQ(main_logger->DebugMode(), 8);
  main_logger->SetDebugMode(0);
}

}  // namespace
}  // namespace vex::control
