// The run files tarnprep writes, compared whole with files written out by
// hand from the record formats, and accepted by the solver.
#include <gtest/gtest.h>

#include "prep_answers.h"
#include "support.h"

namespace tarn {
namespace {

using test::Answers;
using test::padded_title;
using test::read_file;
using test::TempDir;

// Writes the run files for the answers and returns the status.
void prepare(const TempDir& dir, const Answers& a) {
  auto r = test::run_tarnprep(dir, a);
  ASSERT_EQ(r.status, 0) << r.err << r.out;
}

// Records that recur in several runs: the title and camber records of a
// viscous run, the eight file names of run CASE1, the mapping control with the closing subdivision pair, and
// the default boundary-layer and coupling records of each mesh.
const std::string kViscousHead = "    4" + padded_title("NACA 0012 DEFAULT RUN") + "\n \n";
const std::string kCase1Files =
    "CASE1.NAM\nCASE1.TIN\nCASE1.IEH\nCASE1.VEH\nCASE1.FUL\nCASE1.BRF\nCASE1.GRD\nCASE1.UNF\n";
const std::string kMapping = "11000   30    1  0.000001    100.00\n 1000    1\n";
const std::string kCoarseLayer =
    "    0.1500    0.0010    0 0.600E+07    0.0500    0.0500    0.0500    1\n"
    "   10    5    0 0.0000000 0.0000000\n";
const std::string kFineLayer =
    "    0.0750    0.0010    1 0.600E+07    0.0500    0.0500    0.0500    1\n"
    "   10    5    0 0.0000000 0.0000000\n";

TEST(PrepRunFiles, DefaultViscousNewRunWritesEveryRecordOfBothStages) {
  TempDir dir;
  prepare(dir, Answers{});
  EXPECT_EQ(read_file(dir.file("CASE1.NAM")),
            kCase1Files +
                "1\n"
                "NACA0012.DAT\n"
                "1\n"
                "0\n");
  EXPECT_EQ(read_file(dir.file("CASE1.TIN")),
            kViscousHead +
                "  160    0    0.7500    2.0000    0.00001.9001.0000.8000.250    0\n" + kMapping +
                "   -1    1\n"
                "  100    1    0.7500    2.0000    0.00001.9001.0000.8000.250    1\n"
                "    1    1    0   81    1 1.00   0.00000    0    0.0000    0.5000\n" +
                kCoarseLayer +
                "    1   -1\n"
                "  200    1    0.7500    2.0000    0.00001.9001.0000.8000.250    1\n"
                "    1    1    0  161    1 1.00   0.00000    0    0.0000    0.5000\n" +
                kFineLayer +
                "    0   -1\n"
                "    0    0\n");
  EXPECT_EQ(read_file(dir.file("CASE1.SIR")), "CASE1\n");
}

TEST(PrepRunFiles, NoCoarseIterationsDropsTheWholeCoarseBlock) {
  TempDir dir;
  Answers a;
  a.input = "N12.D";
  a.slopes = "Y";
  a.grid = "y";
  a.dump = "n";
  a.em = "0.8";
  a.alp = "-1.5";
  a.r = "10";
  a.xtu = "0.1";
  a.xtl = "0.3";
  a.defaults = "y\nd\nx\n0";
  for (int k = 0; k < 11; ++k) a.defaults += "\nD";
  prepare(dir, a);
  EXPECT_EQ(read_file(dir.file("CASE1.NAM")),
            kCase1Files +
                "1\n"
                "N12.D       \n"
                "0\n"
                "1\n");
  EXPECT_EQ(read_file(dir.file("CASE1.TIN")),
            kViscousHead +
                "  160    0    0.8000   -1.5000    0.00001.9001.0000.8000.250    0\n"
                "01000   30    1  0.000001    100.00\n"
                " 1000    1\n"
                "  200    1    0.8000   -1.5000    0.00001.9001.0000.8000.250    1\n"
                "    1    1    0  161    1 1.00   0.00000    0    0.0000    0.5000\n"
                "    0.0750    0.0010    1 0.100E+08    0.1000    0.3000    0.0500    1\n"
                "   10    5    0 0.0000000 0.0000000\n"
                "    0    0\n");
}

TEST(PrepRunFiles, RequiredLiftLeavesMachAndIncidenceToTheFirstIterationRecord) {
  TempDir dir;
  Answers a;
  a.em = "0.7";
  a.alp = "1";
  a.icl = "1";
  a.clc = "0.5";
  prepare(dir, a);
  EXPECT_EQ(read_file(dir.file("CASE1.TIN")),
            kViscousHead +
                "  160    0    0.7000    1.0000    0.00001.9001.0000.8000.250    0\n" +
                kMapping +
                "   -1    1\n"
                "  100    1    0.0000    0.0000    0.00001.9001.0000.8000.250    1\n"
                "    1    1    0   81    1 1.00   0.00000    1    0.5000    0.5000\n" +
                kCoarseLayer +
                "    1   -1\n"
                "  200    1    0.0000    0.0000    0.00001.9001.0000.8000.250    1\n"
                "    1    1    0  161    1 1.00   0.00000    1    0.5000    0.5000\n" +
                kFineLayer +
                "    0   -1\n"
                "    0    0\n");
}

TEST(PrepRunFiles, ViscousContinuationWithRequiredLiftSetsTheFlowInTheCoarseStage) {
  TempDir dir;
  Answers a;
  a.newrun = "0";
  a.input = "OLDRUN";
  a.icl = "1";
  a.clc = "-0.4";
  prepare(dir, a);
  EXPECT_EQ(read_file(dir.file("CASE1.TIN")),
            kViscousHead +
                "    0    1\n"
                "   -1    1\n"
                "  100    1    0.7500    2.0000    0.00001.9001.0000.8000.250    1\n"
                "    1    1    0   81    1 1.00   0.00000    1   -0.4000    0.5000\n" +
                kCoarseLayer +
                "    1   -1\n"
                "  200    1    0.0000    0.0000    0.00001.9001.0000.8000.250    1\n"
                "    1    1    0  161    1 1.00   0.00000    1   -0.4000    0.5000\n" +
                kFineLayer +
                "    0   -1\n"
                "    0    0\n");
}

TEST(PrepRunFiles, InviscidContinuationHasNoViscousRecordsAndNamesTheDump) {
  TempDir dir;
  Answers a;
  a.name = "CONT";
  a.title = "RESTART";
  a.viscous = "0";
  a.newrun = "0";
  a.input = "OLDRUN";
  a.dump = "n";
  prepare(dir, a);
  EXPECT_EQ(read_file(dir.file("CONT.NAM")),
            "CONT.NAM\nCONT.TIN\nCONT.IEH\nCONT.VEH\nCONT.FUL\nCONT.BRF\nCONT.GRD\nCONT.UNF\n"
            "0\n"
            "OLDRUN.UNF\n"
            "0\n"
            "0\n");
  EXPECT_EQ(read_file(dir.file("CONT.TIN")),
            "    0" + padded_title("RESTART") + "\n" +
                " \n"
                "    0    1\n"
                "   -1    1\n"
                "  100    1    0.7500    2.0000    0.00001.9001.0000.8000.250    0\n"
                "    1   -1\n"
                "  200    1    0.7500    2.0000    0.00001.9001.0000.8000.250    0\n"
                "    0    0\n");
  EXPECT_EQ(read_file(dir.file("CONT.SIR")), "CONT\n");
}

TEST(PrepRunFiles, InviscidNewRunCarriesViscousOptionsWithoutLiftTarget) {
  TempDir dir;
  Answers a;
  a.viscous = "0";
  a.defaults = "Y\nc\n96\nd\nc\n1\nd\nd\nd\nd";
  prepare(dir, a);
  EXPECT_EQ(read_file(dir.file("CASE1.TIN")),
            "    0" + padded_title("NACA 0012 DEFAULT RUN") + "\n" +
                " \n"
                "   96    0    0.7500    2.0000    0.00001.9001.0000.8000.250    0\n" +
                kMapping +
                "   -1    1\n"
                "  100    1    0.7500    2.0000    0.00001.9001.0000.8000.250    1\n"
                "    1    1    0   49    1 1.00   0.00000    0    0.0000    0.5000\n"
                "    1   -1\n"
                "    1    1    0.7500    2.0000    0.00001.9001.0000.8000.250    1\n"
                "    1    1    0   97    1 1.00   0.00000    0    0.0000    0.5000\n"
                "    0   -1\n"
                "    0    0\n");
}

TEST(PrepRunFiles, ChangedParametersReachEveryRecordThatCarriesThem) {
  TempDir dir;
  Answers a;
  // NSG 97, 94 and 162 refused; XS 0 refused; NVISCC 21 refused; DD21 above 0.01 refused.
  a.defaults =
      "y\n"
      "c\n97\n94\n162\n98\n"  // NSG
      "c\n50\n"               // NSC
      "c\n150\n"              // NSF
      "c\n0\n2\n"             // XS
      "c\n0.5\n"              // XM
      "c\n0.5\n"              // GVISCC
      "c\n21\n20\n"           // NVISCC
      "c\n0.1\n"              // GVISCF
      "c\n1\n"                // NVISCF
      "c\n0.011\n0.01\n"      // DD21
      "c\n0.005\n"            // DD22
      "c\n0\n"                // EP
      "c\n0";                 // QCP
  prepare(dir, a);
  EXPECT_EQ(read_file(dir.file("CASE1.TIN")),
            kViscousHead +
                "   98    0    0.7500    2.0000    0.00002.0000.5000.0000.000    0\n" +
                kMapping +
                "   -1    1\n"
                "   50    1    0.7500    2.0000    0.00002.0000.5000.0000.000    1\n"
                "    1    1    0   50    1 1.00   0.00000    0    0.0000    0.5000\n"
                "    0.5000    0.0010    0 0.600E+07    0.0500    0.0500    0.0500    1\n"
                "   40   20    0 0.0100000 0.0050000\n"
                "    1   -1\n"
                "  150    1    0.7500    2.0000    0.00002.0000.5000.0000.000    1\n"
                "    1    1    0   99    1 1.00   0.00000    0    0.0000    0.5000\n"
                "    0.1000    0.0010    1 0.600E+07    0.0500    0.0500    0.0500    1\n"
                "    2    1    0 0.0100000 0.0050000\n"
                "    0   -1\n"
                "    0    0\n");
}

TEST(PrepRunFiles, DefaultsKeptOneByOneGiveTheSameFilesAsDefaultsDeclined) {
  TempDir declined, kept;
  prepare(declined, Answers{});
  Answers a;
  a.defaults = "y";
  for (int k = 0; k < 13; ++k) a.defaults += k % 2 ? "\nd" : "\nD";
  prepare(kept, a);
  for (const char* file : {"CASE1.NAM", "CASE1.TIN", "CASE1.SIR"})
    EXPECT_EQ(read_file(kept.file(file)), read_file(declined.file(file))) << file;
}

// The solver reads what the set-up program writes: a new run with a dump,
// then an inviscid continuation from that dump.
TEST(PrepRunFiles, SolverRunsANewRunAndAContinuationSetUpByTarnprep) {
  TempDir dir;
  test::write_file(dir.file("NACA0012.DAT"), test::run_program("tarnfoil", dir.path(), "", "naca 0012 --closed").out);
  Answers a;
  a.name = "FIRST";
  a.em = "0.3";  // subsonic, so a few sweeps on the coarsest mesh settle quietly
  a.defaults = "y\nc\n96\nc\n4\nc\n4\nd\nd\nd\nd\nd\nd\nd\nd\nd\nd";
  prepare(dir, a);
  auto first = test::run_program("tarn", dir.path(), "FIRST\n");
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(test::lines_of(read_file(dir.file("FIRST.SEP"))).back(), "    4");
  ASSERT_TRUE(test::file_exists(dir.file("FIRST.UNF")));

  Answers c;
  c.name = "SECOND";
  c.em = "0.3";
  c.viscous = "0";
  c.newrun = "0";
  c.input = "FIRST";
  c.dump = "n";
  c.title = "CONTINUED";
  c.defaults = "y\nd\nc\n0\nc\n4\nd\nd\nd\nd";
  prepare(dir, c);
  auto second = test::run_program("tarn", dir.path(), "SECOND\n");
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(test::lines_of(read_file(dir.file("SECOND.SEP"))).back(), "    4");
  EXPECT_NE(read_file(dir.file("SECOND.FUL")).find(padded_title("CONTINUED")), std::string::npos);
}

}  // namespace
}  // namespace tarn
