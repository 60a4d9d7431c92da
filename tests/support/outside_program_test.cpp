#include "outside_program.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace vex::test {
namespace {

namespace fs = std::filesystem;

// Every program the tests of this tree run, with all it needs: on a machine
// set up by scripts/install-deps.sh this passes; elsewhere it names the
// packages to install before any converter's own error shows up.
TEST(OutsidePrograms, EveryProgramTheTestsRunHasWhatItNeeds) {
  for (const char* program : {"identify", "convert", "wmf2svg", "emf2svg-conv", "rpcbind"})
    EXPECT_EQ(MissingPrerequisite(program), "");
}

// The check itself, on a tree laid out here: the program alone is not
// enough, a missing font names its package, and a missing program names its
// own.
TEST(OutsidePrograms, AMissingPrerequisiteNamesItsPackage) {
  const fs::path root = fs::path(VEX_TEST_TMP) / "outside-program-root";
  fs::remove_all(root);
  fs::create_directories(root / "usr/bin");
  EXPECT_EQ(MissingPrerequisite("wmf2svg", root.string()),
            "wmf2svg is missing: install the Debian package libwmf-bin");

  std::ofstream(root / "usr/bin/wmf2svg") << "#!/bin/sh\n";
  fs::permissions(root / "usr/bin/wmf2svg", fs::perms::owner_all);
  EXPECT_EQ(MissingPrerequisite("wmf2svg", root.string()),
            "wmf2svg needs /usr/share/fonts/type1/urw-base35/NimbusRoman-Regular.t1: install the "
            "Debian package fonts-urw-base35");

  for (const auto& need : PrerequisitesOf("wmf2svg")) {
    fs::create_directories((root / need.path.substr(1)).parent_path());
    std::ofstream(root / need.path.substr(1)) << "x";
  }
  EXPECT_EQ(MissingPrerequisite("wmf2svg", root.string()), "");
  fs::remove(root / "usr/share/fonts/type1/urw-base35/StandardSymbolsPS.t1");
  EXPECT_NE(MissingPrerequisite("wmf2svg", root.string()).find("StandardSymbolsPS.t1"),
            std::string::npos);
  fs::remove_all(root);
}

TEST(OutsidePrograms, AProgramOutsideTheTableIsNotRunAndFailsTheTest) {
  EXPECT_NE(MissingPrerequisite("true").find("not in the table"), std::string::npos);
  ProgramResult result;
  EXPECT_NONFATAL_FAILURE(result = RunProgram("true", ""), "not in the table of outside programs");
  EXPECT_EQ(result.exit_code, -1);
}

}  // namespace
}  // namespace vex::test
