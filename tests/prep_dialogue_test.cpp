// The set-up dialogue driven through standard input: its texts, the limits
// of every answer, the aerofoil file-name checks and the end of input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "prep.h"
#include "prep_answers.h"
#include "run_stop.h"
#include "support.h"

namespace tarn {
namespace {

using test::Answers;
using test::count_lines;
using test::lines_of;
using test::read_file;
using test::TempDir;

// Line k (from 1) of a file.
std::string line_of(const std::string& path, size_t k) {
  auto lines = lines_of(read_file(path));
  return k <= lines.size() ? lines[k - 1] : std::string("<no line>");
}

constexpr size_t kGeometryLine = 3;      // of the run-data file of a new run
constexpr size_t kCoarseLayerLine = 9;   // boundary-layer record of the coarse stage
constexpr size_t kAerofoilLine = 10;     // of the names file: aerofoil data file or dump

test::ProgramResult prepare(const TempDir& dir, const Answers& a) {
  auto r = test::run_tarnprep(dir, a);
  EXPECT_EQ(r.status, 0) << r.err;
  return r;
}

TEST(PrepDialogue, ShowsEveryTextVerbatimForAViscousRunKeepingEachDefault) {
  TempDir dir;
  Answers a;
  a.defaults = "y";
  for (int k = 0; k < 13; ++k) a.defaults += "\nd";
  auto r = prepare(dir, a);
  const std::vector<std::string> expected = {
      "   ",
      "Enter name to be used for TARN input/output files - max 8 characters.",
      "(File name extensions are attached by this program.)",
      "",
      "Enter title of TARN run, up to 68 characters.",
      "",
      "Enter 0 for an inviscid run, 1 for a viscous run.",
      "",
      "Enter 0 for continuation run, 1 for a new run (with mapping).",
      "",
      "Enter name of aerofoil coordinates file, WITH any extension.",
      "(Only alphanumeric characters are allowed.)",
      "",
      "Is table of aerofoil slopes etc. to be output? Enter y(es) or n(o).",
      "",
      "Is file of grid data to be produced? Enter y(es) or no).",
      "",
      "Is a binary dump to be output? Enter y(es) or n(o).",
      "",
      "Enter Mach number.",
      "",
      "Enter incidence in deg, required or starting value.",
      "",
      "Enter ICL, ICL = 1 if a given CL is required ",
      "           ICL = 0 if a given incidence is required",
      "",
      "Enter R based on chord, DIVIDED BY 1 MILLION.",
      "",
      "Enter XTU.",
      "",
      "Enter XTL.",
      "    ",
      "Are any default parameters to be changed? ",
      "(Enter y or Y for yes, otherwise any other character.)",
      "If parameter to be set to default value, enter d orD,",
      "otherwise enter any other character.",
      "   ",
      "Number of fine-mesh grid lines around aerofoil, NSG.",
      "(NSG=160, by default. Enter other than d or D to change.)",
      "(Any change is ineffective for a continuation run.)",
      "   ",
      "Number of coarse-mesh iterations, NSC.",
      "(NSC=100, by default. Enter other than d or D to change.)",
      "   ",
      "Number of fine-mesh iterations, NSF.",
      "(NSF=200, by default. Enter other than d or D to change.)",
      "   ",
      "Over-relaxation parameter, XS.",
      "(XS=1.9, by default. Enter other than d or D to change.)",
      "   ",
      "Under-relaxation parameter, XM.",
      "(XM=1.0, by default. Enter other than d or D to change.)",
      "   ",
      "Relaxation factor for boundary-layer (coarse mesh),GVISCC.",
      "(GVISCC=0.15, by default. Enter other than d or D to change.)",
      "   ",
      "Number of inviscid flow iterations between successive ",
      "boundary layer calculations (coarse mesh), NVISCC.",
      "(NVISCC=5, by default. Enter other than d or D to change.)",
      "   ",
      "Relaxation factor for boundary-layer (fine mesh), GVISCF.",
      "(GVISCF=0.075, by default. Enter other than d or Dto change.)",
      "   ",
      "Number of inviscid flow iterations between successive ",
      "boundary layer calculations (fine mesh), NVISCF.",
      "(NVISCF=5, by default. Enter other than d or D to change.)",
      "   ",
      "Increment in non-dimensional momentum thickness at XTU, DD21",
      "(DD21=0, by default. Enter other than d or D to change.)",
      "   ",
      "Increment in non-dimensional momentum thickness at XTL, DD22",
      "(DD22=0, by default. Enter other than d or D to change.)",
      "   ",
      "Artificial viscosity parameter, EP.",
      "(EP=0.8, by default. Enter other than d or D to change.)",
      "   ",
      "Partially-conservative parameter, QCP.",
      "(QCP=0.25, by default. Enter other than d or D to change.)",
  };
  EXPECT_EQ(lines_of(r.out), expected);
}

TEST(PrepDialogue, RunNameOfEightLettersOrDigitsIsTakenWhole) {
  TempDir dir;
  Answers a;
  a.name = "ABCDEFGH";
  prepare(dir, a);
  EXPECT_EQ(line_of(dir.file("ABCDEFGH.NAM"), 1), "ABCDEFGH.NAM");
  EXPECT_EQ(read_file(dir.file("ABCDEFGH.SIR")), "ABCDEFGH\n");
}

TEST(PrepDialogue, RunNameTooLongOrBlankIsAskedAgainAndAHyphenIsRefused) {
  TempDir dir;
  Answers a;
  a.name = "ABCDEFGHI\n ABC\n\nAB-CD\nabc12";
  auto r = prepare(dir, a);
  EXPECT_EQ(count_lines(r.out, "Enter name to be used for TARN input/output files - max 8 characters."), 5);
  EXPECT_EQ(count_lines(r.out, " ***INPUT ERROR*** "), 1);
  EXPECT_EQ(count_lines(r.out, " File name entered included non-alphanumeric character."), 1);
  EXPECT_TRUE(test::file_exists(dir.file("abc12.TIN")));
  EXPECT_FALSE(test::file_exists(dir.file("ABCDEFGH.NAM")));
}

TEST(PrepDialogue, DumpNameIsCutToEightAndMustBeLettersOrDigits) {
  TempDir dir;
  Answers a;
  a.newrun = "0";
  a.input = "\nOLD-1\nABCDEFGHIJ";
  auto r = prepare(dir, a);
  EXPECT_EQ(count_lines(r.out, "Enter name of binary dump file from which to continue."), 3);
  EXPECT_EQ(count_lines(r.out, "File name entered included non-alphanumeric character."), 1);
  EXPECT_EQ(line_of(dir.file("CASE1.NAM"), kAerofoilLine), "ABCDEFGH.UNF");
  EXPECT_EQ(line_of(dir.file("CASE1.NAM"), 12), "0");  // no grid-data file for a continuation
}

TEST(PrepDialogue, TitleOfSixtyEightCharactersIsKeptAndOneMoreIsTooLong) {
  TempDir dir;
  std::string title68;
  for (int k = 0; k < 68; ++k) title68 += static_cast<char>('A' + k % 26);
  Answers a;
  a.title = title68 + "X\n" + title68;
  auto r = prepare(dir, a);
  EXPECT_EQ(count_lines(r.out, "Title input is too long."), 1);
  EXPECT_EQ(count_lines(r.out, "Enter title of TARN run, up to 68 characters."), 2);
  EXPECT_EQ(line_of(dir.file("CASE1.TIN"), 1), "    4" + title68);
}

TEST(PrepDialogue, KindOfRunMustBeZeroOrOne) {
  TempDir dir;
  Answers a;
  a.viscous = "2\nx\n1";
  a.newrun = "7\n1";
  auto r = prepare(dir, a);
  EXPECT_EQ(count_lines(r.out, "Character input is neither 0 nor 1."), 3);
  EXPECT_EQ(line_of(dir.file("CASE1.NAM"), 9), "1");
}

TEST(PrepDialogue, MachAndIncidenceLimitsAreInclusive) {
  TempDir low, high;
  Answers a;
  a.em = "0.04\n0.96\nM=0.7\n1E39\n0.05";
  a.alp = "-20.01\n-20";
  auto r = prepare(low, a);
  EXPECT_EQ(count_lines(r.out, "Input error, Mach number entered is less than 0.05."), 1);
  EXPECT_EQ(count_lines(r.out, "Input error, Mach number entered is greater than 0.95."), 1);
  EXPECT_EQ(count_lines(r.out, "***Input error***"), 3);  // two unreadable Mach numbers, the incidence
  EXPECT_EQ(line_of(low.file("CASE1.TIN"), kGeometryLine),
            "  160    0    0.0500  -20.0000    0.00001.9001.0000.8000.250    0");
  a.em = "0.95";
  a.alp = "20";
  prepare(high, a);
  EXPECT_EQ(line_of(high.file("CASE1.TIN"), kGeometryLine),
            "  160    0    0.9500   20.0000    0.00001.9001.0000.8000.250    0");
}

TEST(PrepDialogue, ReynoldsNumberIsEnteredInMillionsAndCheckedOnEveryReEntry) {
  TempDir dir;
  Answers a;
  a.r = "0.05\n6000000\n0.099\n1000.1\n3.5";
  a.xtu = "0.009\n1";
  a.xtl = "1.01\n0.01";
  auto r = prepare(dir, a);
  EXPECT_EQ(count_lines(r.out, "R must equal or exceed 100000, re-enter R."), 2);
  // Typed in full, not in millions.
  EXPECT_EQ(count_lines(r.out, "R is entered DIVIDED BY 1 MILLION (6 for 6000000); values above 1000 are refused, "
                               "re-enter R."),
            2);
  EXPECT_EQ(count_lines(r.out, "Enter R based on chord, DIVIDED BY 1 MILLION."), 1);
  EXPECT_EQ(count_lines(r.out, "XTU outside range 0.01,1. Re-enter XTU."), 1);
  EXPECT_EQ(count_lines(r.out, "XTL outside range 0.01,1. Re-enter XTL."), 1);
  EXPECT_EQ(line_of(dir.file("CASE1.TIN"), kCoarseLayerLine),
            "    0.1500    0.0010    0 0.350E+07    1.0000    0.0100    0.0500    1");
}

// The required lift coefficient must fit the ten columns of its field.
TEST(PrepDialogue, RequiredLiftThatWouldNotFitItsFieldIsAskedAgain) {
  TempDir dir;
  Answers a;
  a.icl = "1";
  a.clc = "100000\n-10000\n99999";
  auto r = prepare(dir, a);
  EXPECT_EQ(count_lines(r.out, "CLC outside range -9999,99999. Re-enter CLC."), 2);
  EXPECT_EQ(line_of(dir.file("CASE1.TIN"), 8), "    1    1    0   81    1 1.00   0.00000    199999.0000    0.5000");
}

TEST(PrepDialogue, RefusedParametersRepeatTheirPromptWithTheirOwnMessage) {
  TempDir dir;
  Answers a;
  a.defaults = "y\nc\n97\n162\n160\nd\nc\n0\n200\nc\n2.01\n1.9\nd\nd\nd\nd\nc\n0\n21\n5\nd\nd\nd\nd";
  auto r = prepare(dir, a);
  EXPECT_EQ(count_lines(r.out, "Enter NSG, must be even and between 96 and 160."), 3);
  EXPECT_EQ(count_lines(r.out, "Enter NSF. NSF must be greater than 0."), 2);
  EXPECT_EQ(count_lines(r.out, "Entered value of XS outside range 0 to 2."), 1);
  EXPECT_EQ(count_lines(r.out, "Enter XS."), 2);
  EXPECT_EQ(count_lines(r.out, "Entered value of NVISC5 outside range 1 to 20."), 2);
  EXPECT_EQ(count_lines(r.out, "Enter NVISCF."), 3);
}

TEST(PrepDialogue, AnswerFileWithWindowsLineEndsGivesTheSameFiles) {
  TempDir unix_ends, windows_ends;
  Answers a;
  a.defaults = "y\nc\n98\nd\nd\nc\n1.5\nd\nd\nd\nd\nd\nd\nd\nd\nd";
  prepare(unix_ends, a);
  std::string crlf;
  for (char c : a.text()) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  auto r = test::run_program("tarnprep", windows_ends.path(), crlf);
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* file : {"CASE1.NAM", "CASE1.TIN", "CASE1.SIR"})
    EXPECT_EQ(read_file(windows_ends.file(file)), read_file(unix_ends.file(file))) << file;
}

// Input that ends anywhere in the dialogue stops it with a message and a
// failure status, and leaves the files of an earlier set-up as they were.
TEST(PrepDialogue, EndOfInputStopsWithoutTouchingEarlierRunFiles) {
  Answers a;
  a.icl = "1";
  a.clc = "0.3";
  a.defaults = "y\nd\nd\nd\nd\nd\nd\nd\nd\nd\nd\nd\nd\nc";  // the last parameter's value is missing
  const auto lines = lines_of(a.text());
  for (size_t given = 0; given < lines.size(); ++given) {
    TempDir dir;
    test::write_file(dir.file("CASE1.NAM"), "earlier names file\n");
    std::string input;
    for (size_t k = 0; k < given; ++k) input += lines[k] + "\n";
    auto r = test::run_program("tarnprep", dir.path(), input);
    EXPECT_EQ(r.status, kExitBadInput) << given << " answers";
    EXPECT_NE(r.err.find("end of input"), std::string::npos) << given << " answers";
    EXPECT_EQ(read_file(dir.file("CASE1.NAM")), "earlier names file\n");
    EXPECT_FALSE(test::file_exists(dir.file("CASE1.TIN")));
    EXPECT_FALSE(test::file_exists(dir.file("CASE1.SIR")));
  }
}

// Run files that cannot be written: a folder in the place of one (found
// right after the run name, before any other question), a full device (found
// when written), a folder without write permission (not for root, who may
// write anyway). The files of an earlier set-up are left as they were and
// nothing else is left behind.
TEST(PrepDialogue, RunFilesThatCannotBeWrittenStopWithoutLeavingAnyBehind) {
  enum Blocked { kFolder, kFullDevice, kReadOnlyFolder };
  for (Blocked b : {kFolder, kFullDevice, kReadOnlyFolder}) {
    if (b == kReadOnlyFolder && geteuid() == 0) continue;
    TempDir dir;
    test::write_file(dir.file("CASE1.NAM"), "earlier names file\n");
    if (b == kFolder) std::filesystem::create_directory(dir.file("CASE1.TIN"));
    if (b == kFullDevice) std::filesystem::create_symlink("/dev/full", dir.file("CASE1.SIR"));
    std::set<std::string> before;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) before.insert(e.path().filename());
    for (const char* console : {".stdin", ".stdout", ".stderr"}) test::write_file(dir.file(console), "");
    if (b == kReadOnlyFolder) std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_write,
                                                           std::filesystem::perm_options::remove);
    auto r = test::run_tarnprep(dir, Answers{});
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
    EXPECT_NE(r.status, 0) << b;
    EXPECT_NE(r.err.find(b == kFullDevice ? "No space left on device" : "CASE1."), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Enter title of TARN run") == std::string::npos, b != kFullDevice) << b;
    EXPECT_EQ(read_file(dir.file("CASE1.NAM")), "earlier names file\n") << b;
    std::set<std::string> after;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
      if (e.path().filename().string()[0] != '.') after.insert(e.path().filename());
    EXPECT_EQ(after, before) << b;
  }
}

TEST(AerofoilName, TestsApplyInOrderAndTheFirstFailureNamesTheFault) {
  struct Case {
    const char* answer;
    const char* message;
  };
  const Case cases[] = {
      {" NACA.DAT", " ***INPUT ERROR, first character is a space***"},
      {"", " ***INPUT ERROR, first character is a space***"},
      {"A.B.C", " ***INPUT ERROR, too many dots in file name***"},
      {"..", " ***INPUT ERROR, too many dots in file name***"},
      {"ABCDEFGHI.J.K", " ***INPUT ERROR, too many dots in file name***"},
      {"ABCDEFGHI", " ***INPUT ERROR, file name too long***"},
      {"ABCDEFGHI.DAT", " ***INPUT ERROR, file name before dot too long***"},
      {"ABCDEFGHI.DATA", " ***INPUT ERROR, file name before dot too long***"},
      {"NACA.DATA", " ***INPUT ERROR, file name extension too long***"},
      {".DAT", " ***INPUT ERROR,file name before extension absent***"},
      {"NACA_12", " ***INPUT ERROR, non-alphanumeric char(s) detected***"},
      {"N-12.DAT", " ***INPUT ERROR, non-alphanumeric char(s) detected***"},
      {"N12.D-T", " ***INPUT ERROR, non-alphanumeric char(s) detected***"},
      {"ABCDEFGH.DAT", ""},
      {"ABCDEFGH", ""},
      {"naca0012.dat", ""},
      {"A.", ""},
      {"A.DAT extra words", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(aerofoil_name_message(c.answer), c.message) << '"' << c.answer << '"';
}

// Characters typed past the twelve of a name are not dropped silently: the
// longer name is refused rather than a different, shorter file used.
TEST(AerofoilName, NameLongerThanItsFieldIsRefusedNotCut) {
  EXPECT_EQ(aerofoil_name_message("ABCDEFGH.DATX"), " ***INPUT ERROR, file name extension too long***");
  EXPECT_EQ(aerofoil_name_message("ABCDEFGHIJKLMN"), " ***INPUT ERROR, file name too long***");
}

TEST(AerofoilName, RefusedNamesAreAskedAgainAndTheAcceptedOneIsWrittenInTwelveColumns) {
  TempDir dir;
  Answers a;
  a.input = "A.B.C\nNACA_12\nA.B xyz";
  auto r = prepare(dir, a);
  EXPECT_EQ(count_lines(r.out, " ***INPUT ERROR, too many dots in file name***"), 1);
  EXPECT_EQ(count_lines(r.out, " ***INPUT ERROR, non-alphanumeric char(s) detected***"), 1);
  EXPECT_EQ(count_lines(r.out, "Enter name of aerofoil coordinates file, WITH any extension."), 3);
  EXPECT_EQ(line_of(dir.file("CASE1.NAM"), kAerofoilLine), "A.B         ");
}

}  // namespace
}  // namespace tarn
