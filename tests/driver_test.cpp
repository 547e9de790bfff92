// The solver's run driver: run name, names file, step loop, headings,
// console status lines and the end-of-run status record.
#include <gtest/gtest.h>

#include <filesystem>

#include "run/run.h"
#include "run_files.h"
#include "run_stop.h"
#include "support.h"

namespace tarn {
namespace {

using test::lines_of;
using test::read_file;
using test::RunSetup;
using test::TempDir;

bool contains(const std::vector<std::string>& lines, const std::string& want) {
  for (const auto& l : lines)
    if (l == want) return true;
  return false;
}

TEST(RunName, CharactersBeforeTheFirstBlankUpToEight) {
  EXPECT_EQ(run_name_from_reply("AB CD   "), "AB");
  EXPECT_EQ(run_name_from_reply("A       "), "A");
  EXPECT_EQ(run_name_from_reply("ABCDEFGH"), "ABCDEFGH");
  EXPECT_EQ(run_name_from_reply("ABCDEFGHIJ"), "ABCDEFGH");
}

TEST(Driver, ReplyWithBlankInsideUsesTheFirstWordForTheFiles) {
  TempDir dir;
  RunSetup setup;
  setup.name = "AB";
  setup.nsc = 2;
  setup.nsf = 2;
  test::write_new_run(dir.path(), setup);
  auto r = test::run_program("tarn", dir.path(), "AB CD\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(test::file_exists(dir.file("AB.SEP")));
  EXPECT_TRUE(test::file_exists(dir.file("AB.FUL")));
}

TEST(Driver, RunNameStartingWithABlankStopsTheRun) {
  TempDir dir;
  auto r = test::run_program("tarn", dir.path(), " AB\n");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("First character must not be a space"), std::string::npos);
}

TEST(Driver, MissingNamesFileStopsWithoutAStatusRecord) {
  TempDir dir;
  auto r = test::run_program("tarn", dir.path(), "NONE\n");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("NONE.NAM"), std::string::npos);
  EXPECT_FALSE(test::file_exists(dir.file("NONE.SEP")));
}

TEST(Driver, TruncatedRunDataFileStopsWithoutAStatusRecord) {
  TempDir dir;
  RunSetup setup;
  test::write_new_run(dir.path(), setup);
  std::string tin = test::run_data_file(setup);
  test::write_file(dir.file("CASE1.TIN"), tin.substr(0, tin.size() / 2));
  auto r = test::run_program("tarn", dir.path(), "CASE1\n");
  EXPECT_EQ(r.status, kExitBadInput);
  EXPECT_NE(r.err.find("unit 14"), std::string::npos);
  EXPECT_EQ(read_file(dir.file("CASE1.SEP")).find("    4"), std::string::npos);
}

// A viscous new run with all the set-up program's defaults walks every step.
class DefaultViscousRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    RunSetup setup;
    test::write_new_run(dir_->path(), setup);
    result_ = new test::ProgramResult(test::run_program("tarn", dir_->path(), "CASE1\n"));
  }
  static void TearDownTestSuite() {
    delete result_;
    delete dir_;
  }
  static TempDir* dir_;
  static test::ProgramResult* result_;
};
TempDir* DefaultViscousRun::dir_ = nullptr;
test::ProgramResult* DefaultViscousRun::result_ = nullptr;

TEST_F(DefaultViscousRun, EndsNormallyWithStatusRecordFour) {
  EXPECT_EQ(result_->status, 0) << result_->err;
  auto sep = lines_of(read_file(dir_->file("CASE1.SEP")));
  ASSERT_FALSE(sep.empty());
  EXPECT_EQ(sep.back(), "    4");
}

TEST_F(DefaultViscousRun, BothListingsOpenWithTheTitleAndIvp) {
  std::string title = "NACA 0012 TEST RUN" + std::string(50, ' ');
  for (const char* ext : {".FUL", ".BRF"}) {
    auto lines = lines_of(read_file(dir_->file(std::string("CASE1") + ext)));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "     " + title + "    IVP=    4");
    EXPECT_EQ(lines[1], " ");
  }
}

TEST_F(DefaultViscousRun, EachStageIsHeadedOnBothListings) {
  for (const char* ext : {".FUL", ".BRF"}) {
    auto lines = lines_of(read_file(dir_->file(std::string("CASE1") + ext)));
    EXPECT_TRUE(contains(lines, " NS = 100    ITYP =  1    EP=0.80    QCP=0.25")) << ext;
    EXPECT_TRUE(contains(lines, " EM = .3000    ALP =   2.000    NSG = 160  K = 30")) << ext;
    EXPECT_TRUE(contains(lines, " NS = 200    ITYP =  1    EP=0.80    QCP=0.25")) << ext;
    EXPECT_TRUE(contains(lines, " IVP = 4    NVISC =   5    GVISC = 0.075")) << ext;
  }
  auto full = lines_of(read_file(dir_->file("CASE1.FUL")));
  EXPECT_TRUE(contains(full, " R =  0.600E+07    TRANSITION PTS   XTU =    0.050   XTL =    0.050"));
}

TEST_F(DefaultViscousRun, ConsoleShowsEveryStepStatusLine) {
  const std::string& out = result_->out;
  for (const char* status : {"NS     160    ITYP   0", "NS      -1    ITYP   1",
                             "NS     100    ITYP   1   EM   0.3000     ALP   2.0000", "NS       1    ITYP  -1",
                             "NS     200    ITYP   1   EM   0.3000     ALP   2.0000", "NS       0    ITYP  -1",
                             "NS       0    ITYP   0"})
    EXPECT_NE(out.find(std::string("\r") + status), std::string::npos) << status;
  EXPECT_NE(out.find("    300 = running total of potential field iterations"), std::string::npos);
  EXPECT_NE(out.find("Enter name to be used for TARN input/output files - max 8 characters."), std::string::npos);
}

TEST_F(DefaultViscousRun, IterationHistoryHasAHeadingPerStageAndALinePerSweep) {
  auto lines = lines_of(read_file(dir_->file("CASE1.IEH")));
  int headings = 0;
  for (const auto& l : lines) headings += l == "  RES         CL";
  EXPECT_EQ(headings, 2);
  EXPECT_EQ(lines.size(), 2u + 300u);
}

TEST(Driver, GeometryStepOfHundredLinesUsesSixteenRadialIntervals) {
  TempDir dir;
  RunSetup setup;
  setup.nsg = 100;
  setup.nsc = 0;
  setup.nsf = 2;
  setup.viscous = false;
  test::write_new_run(dir.path(), setup);
  auto r = test::run_program("tarn", dir.path(), "CASE1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  auto lines = lines_of(read_file(dir.file("CASE1.FUL")));
  EXPECT_TRUE(contains(lines, " EM = .3000    ALP =   2.000    NSG = 100  K = 16"));
}

TEST(Driver, RecordWithZeroMachAndRelaxationKeepsThePreviousValues) {
  TempDir dir;
  RunSetup setup;
  setup.viscous = false;
  setup.nsc = 0;
  setup.nsf = 2;
  setup.xs = 1.8f;
  test::write_new_run(dir.path(), setup);
  // A further stage whose record restates nothing: EM = 0 and XS = 0.
  std::string tin = test::run_data_file(setup);
  tin.insert(tin.rfind("    0   -1"), "    2    1\n");
  test::write_file(dir.file("CASE1.TIN"), tin);
  auto r = test::run_program("tarn", dir.path(), "CASE1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  auto lines = lines_of(read_file(dir.file("CASE1.BRF")));
  int xs_lines = 0, em_lines = 0;
  for (const auto& l : lines) {
    xs_lines += l == " XS = 1.80      XM = 1.00";
    em_lines += l == " EM = .3000    ALP =   2.000    NSG = 160  K = 30";
  }
  EXPECT_EQ(em_lines, 2);  // both stages, the second with the kept EM and ALP
  EXPECT_EQ(xs_lines, 3);  // both stages and the dump step (NS = 0 still shows XS)
}

// A small inviscid run with a dump, and its names file as lines.
RunSetup small_run() {
  RunSetup setup;
  setup.viscous = false;
  setup.nsc = 0;
  setup.nsf = 2;
  return setup;
}

void replace_line(const std::string& path, size_t line, const std::string& text) {
  auto lines = lines_of(read_file(path));
  lines.at(line - 1) = text;
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  test::write_file(path, out);
}

// An output file that names a file the run reads (here the dump to write,
// the results listing and the iteration history) stops the run before any
// file is opened for writing; the input is left whole.
TEST(Driver, OutputFileNamingAnInputStopsTheRunBeforeAnythingIsWritten) {
  struct Clash {
    size_t entry;
    const char* input;
  };
  for (Clash c : {Clash{8, "CASE1.TIN"}, Clash{5, "NACA0012.DAT"}, Clash{3, "CASE1.NAM"}}) {
    TempDir dir;
    test::write_new_run(dir.path(), small_run());
    replace_line(dir.file("CASE1.NAM"), c.entry, c.input);
    const std::string before = read_file(dir.file(c.input));
    auto r = test::run_program("tarn", dir.path(), "CASE1\n");
    EXPECT_EQ(r.status, kExitBadInput) << c.input;
    EXPECT_NE(r.err.find("'" + std::string(c.input) + "' that this run reads"), std::string::npos) << r.err;
    EXPECT_EQ(read_file(dir.file(c.input)), before) << c.input;
    EXPECT_FALSE(test::file_exists(dir.file("CASE1.SEP")));
  }
}

// A tab in a fixed-column record would shift the fields after it: the
// record is refused by file, record and column. A tab or carriage return
// trailing a file name in the names file is trimmed like a blank.
TEST(Driver, TabInAFixedColumnRecordIsRefusedAndTrailingOnesAreTrimmed) {
  TempDir dir;
  test::write_new_run(dir.path(), small_run());
  const std::string tin = read_file(dir.file("CASE1.TIN"));
  replace_line(dir.file("CASE1.TIN"), 3, "  160    0  \t0.3000    2.0000    0.00001.9001.0000.8000.250    0");
  auto refused = test::run_program("tarn", dir.path(), "CASE1\n");
  EXPECT_EQ(refused.status, kExitBadInput);
  EXPECT_NE(refused.err.find("tab in column 13 of unit 14 (CASE1.TIN), record 3"), std::string::npos) << refused.err;
  EXPECT_EQ(read_file(dir.file("CASE1.SEP")), "");

  test::write_file(dir.file("CASE1.TIN"), tin);
  replace_line(dir.file("CASE1.NAM"), 2, "CASE1.TIN\t");
  replace_line(dir.file("CASE1.NAM"), 5, "CASE1.FUL \t\r");
  auto trimmed = test::run_program("tarn", dir.path(), "CASE1\n");
  EXPECT_EQ(trimmed.status, 0) << trimmed.err;
  EXPECT_NE(read_file(dir.file("CASE1.FUL")).find("FLOW FIELD DUMPED"), std::string::npos);
}

// A write that fails (a run file that is the full device) stops the run with
// the file system's message, and the status record never says 4.
TEST(Driver, FailedWriteStopsTheRunWithoutStatusFour) {
  for (const char* file : {"CASE1.FUL", "CASE1.UNF", "CASE1.SEP"}) {
    TempDir dir;
    test::write_new_run(dir.path(), small_run());
    std::filesystem::create_symlink("/dev/full", dir.file(file));
    auto r = test::run_program("tarn", dir.path(), "CASE1\n");
    EXPECT_EQ(r.status, kExitFailure) << file;
    EXPECT_NE(r.err.find(std::string("cannot write file '") + file + "'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    if (std::string(file) != "CASE1.SEP") {
      EXPECT_EQ(read_file(dir.file("CASE1.SEP")).find("    4"), std::string::npos);
    }
  }
}

// A dump left under the run's dump name by an earlier run is set aside as
// NAME.UNF.old when the run starts: a run that stops before its dump step
// leaves no dump of the earlier flow for a continuation to take for its own;
// a run that writes its dump replaces the earlier one as before.
TEST(Driver, EarlierDumpIsSetAsideWhenTheRunStarts) {
  TempDir dir;
  RunSetup s = small_run();
  test::write_new_run(dir.path(), s);
  const std::string tin = read_file(dir.file("CASE1.TIN"));
  const std::string earlier = "EARLIER FLOW";
  test::write_file(dir.file("CASE1.UNF"), earlier);
  // The run-data file ends before the dump step: the run stops on reading it.
  test::write_file(dir.file("CASE1.TIN"), tin.substr(0, tin.rfind("    0   -1")));
  EXPECT_EQ(test::run_program("tarn", dir.path(), "CASE1\n").status, kExitBadInput);
  EXPECT_FALSE(test::file_exists(dir.file("CASE1.UNF")));
  EXPECT_EQ(read_file(dir.file("CASE1.UNF.old")), earlier);

  test::write_file(dir.file("CASE1.UNF"), earlier);
  test::write_file(dir.file("CASE1.TIN"), tin);
  ASSERT_EQ(test::run_tarn(dir.path(), s.name), 0);
  EXPECT_NE(read_file(dir.file("CASE1.UNF")), earlier);
  EXPECT_FALSE(test::file_exists(dir.file("CASE1.UNF.old")));
}

}  // namespace
}  // namespace tarn
