// The programs' command lines: help and version, the run name given as an
// argument, refusals of bad arguments, and an installation into a prefix.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "run_files.h"
#include "run_stop.h"
#include "support.h"
#include "version.h"

namespace tarn {
namespace {

using test::read_file;
using test::RunSetup;
using test::TempDir;

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The files of a folder, less the programs' captured console streams.
std::vector<std::string> files_in(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().filename().string()[0] != '.') names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class ProgramHelp : public testing::TestWithParam<const char*> {};

TEST_P(ProgramHelp, NamesEveryOptionTheExitStatusesAndTheGuide) {
  TempDir dir;
  std::string program = GetParam();
  for (const char* flag : {"--help", "-h"}) {
    auto r = test::run_program(program, dir.path(), "", flag);
    EXPECT_EQ(r.status, 0) << flag;
    EXPECT_TRUE(r.err.empty()) << r.err;
    for (const char* part : {"Usage: ", "--help", "-h,", "--version", "Exit status", "guide.md"})
      EXPECT_TRUE(has(r.out, part)) << flag << " lacks " << part;
    EXPECT_FALSE(has(r.out, "Enter name")) << "the dialogue started";
  }
  auto v = test::run_program(program, dir.path(), "", "--version");
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out, program + " " + kVersion + "\n");
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramHelp, testing::Values("tarn", "tarnprep"));

TEST(RunNameArgument, GivesTheSameFilesAsTheReplyAtThePrompt) {
  RunSetup s;
  s.grid = true;
  TempDir typed, given;
  test::write_new_run(typed.path(), s);
  test::write_new_run(given.path(), s);
  auto at_prompt = test::run_program("tarn", typed.path(), s.name + "\n");
  auto as_argument = test::run_program("tarn", given.path(), "", s.name);
  ASSERT_EQ(at_prompt.status, 0) << at_prompt.err;
  ASSERT_EQ(as_argument.status, 0) << as_argument.err;
  for (const char* ext : {".FUL", ".BRF", ".IEH", ".VEH", ".SEP", ".UNF", ".GRD"}) {
    std::string expected = read_file(typed.file(s.name + ext));
    EXPECT_FALSE(expected.empty()) << ext;
    EXPECT_TRUE(read_file(given.file(s.name + ext)) == expected) << ext << " differs";
  }
  EXPECT_TRUE(has(as_argument.out, "TARN: steady transonic flow")) << "the banner opens the console";
  EXPECT_FALSE(has(as_argument.out, "Enter name")) << "a given name is not asked for";
}

struct BadCommandLine {
  const char* case_name;
  const char* program;
  const char* args;
  const char* reply;   // console input
  const char* reason;  // part of the message on standard error
};

class RefusedCommandLine : public testing::TestWithParam<BadCommandLine> {};

TEST_P(RefusedCommandLine, ExitsWithTheReasonAndWritesNothing) {
  const BadCommandLine& c = GetParam();
  TempDir dir;
  test::write_new_run(dir.path(), RunSetup());
  auto before = files_in(dir.path());
  auto r = test::run_program(c.program, dir.path(), c.reply, c.args);
  EXPECT_EQ(r.status, kExitBadInput);
  EXPECT_TRUE(has(r.err, c.reason)) << r.err;
  EXPECT_EQ(files_in(dir.path()), before) << "a refused command line made a file";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedCommandLine,
    testing::Values(BadCommandLine{"Extension", "tarn", "CASE1.TIN", "", "give the run name alone, CASE1"},
                    BadCommandLine{"ExtensionTyped", "tarn", "", "CASE1.TIN\n", "give the run name alone, CASE1"},
                    BadCommandLine{"NineCharacters", "tarn", "CASE12345", "", "at most 8"},
                    BadCommandLine{"Folder", "tarn", "../CASE1", "", "folder of the run files"},
                    BadCommandLine{"InnerBlank", "tarn", "'CA SE1'", "", "holds a blank"},
                    BadCommandLine{"LeadingBlank", "tarn", "' CASE1'", "", "First character must not be a space"},
                    BadCommandLine{"TwoNames", "tarn", "CASE1 CASE2", "", "one run name at most"},
                    BadCommandLine{"UnknownOption", "tarn", "--frobnicate", "", "unknown option '--frobnicate'"},
                    BadCommandLine{"PrepUnknownOption", "tarnprep", "--frobnicate", "", "unknown option"},
                    BadCommandLine{"PrepOperand", "tarnprep", "CASE1", "", "takes no run name"}),
    [](const testing::TestParamInfo<BadCommandLine>& info) { return std::string(info.param.case_name); });

TEST(Install, PutsRunnableProgramsAndTheGuideUnderThePrefix) {
  TempDir prefix, run;
  std::string cmd = std::string("'") + TARN_CMAKE_COMMAND + "' --install '" + TARN_BUILD_DIR + "' --prefix '" +
                    prefix.path() + "' > '" + prefix.file("install.log") + "' 2>&1";
  int raw = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << read_file(prefix.file("install.log"));

  std::string guide = prefix.file("share/doc/tarn/guide.md");
  EXPECT_EQ(read_file(guide), read_file(std::string(TARN_SOURCE_DIR) + "/docs/guide.md"));
  for (const char* program : {"tarn", "tarnprep"}) {
    auto help = test::run_command(prefix.file(std::string("bin/") + program), run.path(), "", "--help");
    EXPECT_EQ(help.status, 0) << program;
    EXPECT_TRUE(has(help.out, "User's guide: " + guide)) << program << " does not find the installed guide";
  }

  RunSetup s;
  s.viscous = false;
  s.nsg = 96;
  test::write_new_run(run.path(), s);
  auto r = test::run_command(prefix.file("bin/tarn"), run.path(), "", s.name);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(read_file(run.file(s.name + ".SEP")), "    4\n"));
}

}  // namespace
}  // namespace tarn
