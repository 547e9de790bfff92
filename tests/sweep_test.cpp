// Studies: tarnsweep run end to end on small grids, and its verdict on
// histories made up to show a limit cycle, a switching transition or a
// drifting incidence.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "point.h"
#include "prep_answers.h"
#include "run/run.h"
#include "run_files.h"
#include "run_stop.h"
#include "support.h"

extern char** environ;

namespace tarn::test {
namespace {

using Json = nlohmann::json;
using Row = CsvRow;

void write_naca0012(const TempDir& d) {
  if (!file_exists(d.file("NACA0012.DAT"))) write_file(d.file("NACA0012.DAT"), naca0012_section(d.path()));
}

// tarnsweep in the folder, with NACA 0012 there; a study is viscous at
// R = 6E6 with transition at 0.05 unless the arguments say otherwise.
ProgramResult sweep(const TempDir& d, const std::string& args) {
  write_naca0012(d);
  return run_program("tarnsweep", d.path(), "", args);
}

int shell(const TempDir& d, const std::string& command) {
  int raw = std::system(("cd '" + d.path() + "' && " + command + " > /dev/null 2>&1").c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::string without_first_line(const std::string& text) { return text.substr(text.find('\n') + 1); }

Json result(const TempDir& d, const std::string& point) {
  return Json::parse(read_file(d.file("study/points/" + point + "/result.json")));
}

// A cold study runs the sweeps of the run files, as tarn by hand does.
TEST(Sweep, PolarMatchesSeparateSetUpAndSolverRunsToTheLastPrintedDigit) {
  TempDir d;
  ProgramResult r = sweep(d, "NACA0012.DAT --mach 0.5 --alpha 0:2:1 --grid 96 --cold --out study");
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<Row> rows = csv_rows(d.file("study/polar.csv"));
  ASSERT_EQ(rows.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    Answers a;
    a.name = "RUN" + std::to_string(k + 1);
    a.em = "0.5";
    a.alp = std::to_string(k);
    a.defaults = "y\nc\n96\nd\nd\nd\nd\nd\nd\nd\nd\nd\nd\nd\nd";  // NSG changed, then the other 12 kept
    ASSERT_EQ(run_tarnprep(d, a).status, 0);
    ASSERT_EQ(run_tarn(d.path(), a.name), 0);
    std::string listing = read_file(d.file(a.name + ".BRF"));
    Summary s = last_summary(listing);
    const Row& row = rows[k];
    EXPECT_EQ(row.at("verdict"), "converged");
    EXPECT_EQ(printed(row.at("alpha_deg"), 4), printed(s.alp, 4));
    EXPECT_EQ(printed(row.at("cl"), 5), printed(s.cl, 5));
    EXPECT_EQ(printed(row.at("cm"), 5), printed(s.cm, 5));
    EXPECT_EQ(printed(row.at("cdp"), 5), printed(s.cdp, 5));
    EXPECT_EQ(printed(row.at("cdf"), 5), printed(s.cdf, 5));
    EXPECT_EQ(printed(row.at("cdv"), 5), printed(s.cdv, 5));
    EXPECT_EQ(printed(row.at("cd"), 5), printed(s.cdv_cd2, 5));
    // The point is the same run: its second listing, pressures included,
    // is the separate run's but for the title.
    std::string point = d.file("study/points/00" + std::to_string(k + 1) + "/P00" + std::to_string(k + 1) + ".BRF");
    EXPECT_EQ(without_first_line(read_file(point)), without_first_line(listing));
  }
}

// A point's result.json without the times, which differ from run to run.
Json without_times(Json j) {
  j.erase("seconds");
  for (Json& t : j["tries"]) t.erase("seconds");
  return j;
}

// The polar and every point's result of a study folder, times aside.
std::string results(const TempDir& d, const std::string& folder, int points) {
  std::string all = read_file(d.file(folder + "/polar.csv"));
  for (int k = 1; k <= points; ++k) {
    char point[16];
    std::snprintf(point, sizeof point, "%03d", k);
    all += without_times(Json::parse(read_file(d.file(folder + "/points/" + point + "/result.json")))).dump();
  }
  return all;
}

// At M 0.7 on 96 lines, 5 degrees converges only from the flow at 4 degrees
// (see below): run backwards, the rescued point runs before its neighbour.
TEST(Sweep, PlannedStudyRunBackwardsByParallelOrBySlurmTasksGivesTheDirectResults) {
  if (std::system("command -v parallel > /dev/null 2>&1") != 0) GTEST_SKIP() << "needs GNU parallel (apt-get install parallel)";
  TempDir d;
  const std::string study = "NACA0012.DAT --mach 0.7 --alpha 4,5 --grid 96 --out ";
  ASSERT_EQ(sweep(d, study + "direct --jobs 1").status, 0);
  for (const char* folder : {"parallel", "'slurm tasks'"}) {
    ProgramResult plan = sweep(d, study + folder + " --plan-only");
    ASSERT_EQ(plan.status, 0) << plan.err;
  }
  EXPECT_FALSE(file_exists(d.file("parallel/points/001/result.json")));
  // Points first, then the rescues: each list run twice, backwards.
  for (int pass = 1; pass <= 2; ++pass) {
    EXPECT_EQ(shell(d, "tac parallel/jobs.txt | parallel -j2"), 0);
    for (int task = 2; task >= 1; --task)
      EXPECT_EQ(shell(d, "SLURM_ARRAY_TASK_ID=" + std::to_string(task) + " bash 'slurm tasks/slurm.sh'"), 0);
  }
  for (const char* folder : {"parallel", "slurm tasks"}) {
    EXPECT_EQ(run_program("tarnsweep", d.path(), "", std::string("--collect '") + folder + "'").status, 0);
    EXPECT_EQ(results(d, folder, 2), results(d, "direct", 2)) << folder;
  }
}

TEST(Sweep, DivergingPointIsRetriedAndAnUnrescuablePointFailsWhileTheStudyGoesOn) {
  TempDir d;
  ProgramResult r = sweep(d, "NACA0012.DAT --mach 0.6,0.95 --alpha 2 --grid 96 --set XS=2 --keep-tries --out study");
  EXPECT_EQ(r.status, 1) << r.err;
  Json rescued = result(d, "001"), lost = result(d, "002");
  ASSERT_GE(rescued["tries"].size(), 2u);
  EXPECT_EQ(rescued["tries"][0]["status"], "diverged");
  EXPECT_EQ(rescued["tries"][0]["folder"], "try1");
  EXPECT_NE(read_file(d.file("study/points/001/try1/P001.TIN")), read_file(d.file("study/points/001/P001.TIN")));
  EXPECT_TRUE(file_exists(d.file("study/points/001/try1/P001.FUL")));
  EXPECT_EQ(rescued["verdict"]["status"], "converged");
  EXPECT_EQ(lost["verdict"]["status"], "failed");
  EXPECT_NE(lost["verdict"]["reason"].get<std::string>().find("DIVERGED"), std::string::npos);
  // tarn's advice after a divergence is kept with the verdict.
  EXPECT_EQ(lost["verdict"]["advice"], tarn::divergence_advice(true));
  EXPECT_TRUE(lost["coefficients"].is_null());
  EXPECT_EQ(lost["tries"].back()["folder"], ".");  // the reported try's files are in the point folder
  EXPECT_TRUE(file_exists(d.file("study/points/002/P002.TIN")));
  std::vector<Row> rows = csv_rows(d.file("study/polar.csv"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["tries"], std::to_string(rescued["tries"].size()));
  EXPECT_EQ(rows[1]["verdict"], "failed");
  EXPECT_EQ(rows[1]["cl"], "");
}

// A study stops each stage of a viscous run once the verdict's tests hold
// and the lift and drags have settled: the coefficients are those of the full
// sweeps (the cold study) to within the verdict's lift tolerance and a fifth
// of a drag count. Subsonic points stop well short of the fine sweeps; at
// M 0.8 a point continued from its own first try stops only once the shock's
// drag has settled (stopped on the lift alone, its drag was 7E-5 off), and
// is continued while its wave drag creeps, five times (CD2 1.2E-4 short of
// a run of ten times the fine sweeps after the first continuation). At
// M 0.5, 6 degrees the lift creeps to its limit by a few per cent an update
// under the fixed coupling relaxation, and the cold study continues the
// point; the study's adaptive relaxation brings it there in its first try.
struct StopCase {
  const char* name;
  const char* points;
  int most_sweeps;  // of the reported stage, at every point
  int most_tries;
};

class StagesStop : public ::testing::TestWithParam<StopCase> {};

TEST_P(StagesStop, OnceTheVerdictHoldsWithTheCoefficientsOfTheFullSweeps) {
  TempDir d;
  const std::string study = std::string("NACA0012.DAT ") + GetParam().points + " --out ";
  ASSERT_EQ(sweep(d, study + "cold --cold").status, 0);
  ASSERT_EQ(sweep(d, study + "study").status, 0);
  std::vector<Row> cold = csv_rows(d.file("cold/polar.csv")), stopped = csv_rows(d.file("study/polar.csv"));
  ASSERT_EQ(stopped.size(), cold.size());
  for (size_t k = 0; k < stopped.size(); ++k) {
    EXPECT_EQ(stopped[k].at("verdict"), "converged");
    EXPECT_EQ(cold[k].at("verdict"), "converged");
    EXPECT_NEAR(std::stof(stopped[k].at("cl")), std::stof(cold[k].at("cl")), 1.0e-3f);
    EXPECT_NEAR(std::stof(stopped[k].at("cd")), std::stof(cold[k].at("cd")), 2.0e-5f);
    Json point = result(d, "00" + std::to_string(k + 1));
    EXPECT_LE(point["verdict"]["figures"]["sweeps"].get<int>(), GetParam().most_sweeps);
    EXPECT_LE(std::stoi(stopped[k].at("tries")), GetParam().most_tries);
  }
}

INSTANTIATE_TEST_SUITE_P(Sweep, StagesStop,
                         ::testing::Values(StopCase{"Subsonic", "--mach 0.5 --alpha 0,2", 150, 1},  // NSF is 200
                                           StopCase{"ShockContinued", "--mach 0.8 --alpha 1", 400, 7},
                                           StopCase{"LiftCreeping", "--mach 0.5 --alpha 6", 200, 1}),
                         [](const ::testing::TestParamInfo<StopCase>& i) { return std::string(i.param.name); });

// At M 0.7 on 96 lines, 5 degrees diverges or stalls from the free stream
// whatever the numerics, but starts from the flow at 4 degrees (and is
// continued from there while its wave drag creeps).
TEST(Sweep, PointWhoseOwnTriesFailStartsFromItsConvergedNeighbourByAnOrdinaryRun) {
  TempDir d;
  ProgramResult r = sweep(d, "NACA0012.DAT --mach 0.7 --alpha 4,5 --grid 96 --cold --out study");
  EXPECT_EQ(r.status, 0) << r.err;
  Json rescued = result(d, "002");
  ASSERT_EQ(rescued["verdict"]["status"], "converged");
  size_t start = rescued["tries"].size() - 1;
  while (start > 0 && rescued["tries"][start]["changes"].contains("continue_from_try")) --start;
  EXPECT_EQ(rescued["tries"][start]["changes"]["continue_from_point"], 1);
  // Only the reported try's files are kept of a point that converged.
  EXPECT_TRUE(rescued["tries"][0]["folder"].is_null());
  EXPECT_FALSE(file_exists(d.file("study/points/002/try1")));
  std::string folder = d.file("study/points/002");
  if (start + 1 == rescued["tries"].size()) {
    EXPECT_EQ(read_file(folder + "/P002NA.UNF"), read_file(d.file("study/points/001/P001.UNF")));
  }
  std::string listing = read_file(folder + "/P002.BRF");
  ASSERT_EQ(run_tarn(folder, "P002"), 0);
  EXPECT_EQ(read_file(folder + "/P002.BRF"), listing);
}

// NACA 0012 in the Selig form: from the trailing edge over the upper surface
// and back along the lower.
std::string selig_naca0012(const TempDir& d) {
  std::vector<std::string> native = lines_of(naca0012_section(d.path()));  // symmetric: the upper surface only
  std::vector<std::pair<double, double>> upper;
  for (size_t k = 2; k < native.size(); ++k) {
    double x = 0, z = 0;
    if (std::sscanf(native[k].c_str(), "%lf %lf", &x, &z) == 2) upper.emplace_back(x, z);
  }
  std::string text = "NACA 0012 SELIG\n";
  char line[64];
  for (auto p = upper.rbegin(); p != upper.rend(); ++p) {
    std::snprintf(line, sizeof line, "%.7f %.7f\n", p->first, p->second);
    text += line;
  }
  for (size_t k = 1; k < upper.size(); ++k) {
    std::snprintf(line, sizeof line, "%.7f %.7f\n", upper[k].first, -upper[k].second);
    text += line;
  }
  return text;
}

TEST(Sweep, SeligFileIsImportedAsTarnfoilImportsIt) {
  TempDir d;
  write_file(d.file("n0012.dat"), selig_naca0012(d));
  ProgramResult r =
      run_program("tarnsweep", d.path(), "", "n0012.dat --mach 0.5 --alpha 2 --inviscid --grid 96 --out study");
  EXPECT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(run_program("tarnfoil", d.path(), "", "import n0012.dat -o N0012.DAT").status, 0);
  EXPECT_EQ(read_file(d.file("study/N0012.DAT")), read_file(d.file("N0012.DAT")));
  EXPECT_EQ(read_file(d.file("study/points/001/N0012.DAT")), read_file(d.file("N0012.DAT")));
  EXPECT_EQ(result(d, "001")["verdict"]["status"], "converged");
}

// A title of Latin-1 bytes with a terminal escape, and one whose 36th byte
// falls inside a UTF-8 character: the study keeps them as valid UTF-8 with
// no control characters, and the run titles end on a character boundary.
TEST(Sweep, TitlesAreKeptAsUtf8AndCutBetweenCharacters) {
  TempDir d;
  const std::string aerofoil = naca0012_section(d.path());
  const std::string body = aerofoil.substr(aerofoil.find('\n'));
  struct Title {
    std::string given, kept, run;  // the aerofoil's title, study.json's, the start of the run title
  };
  const Title titles[] = {
      {"caf\xe9 \x1b[31mred\x1b[0m", "caf\xc3\xa9 [31mred[0m", "caf\xc3\xa9 [31mred[0m, M = 0.5"},
      {std::string(35, 'A') + "\xc3\xa9t\xc3\xa9", std::string(35, 'A') + "\xc3\xa9t\xc3\xa9",
       std::string(35, 'A') + ", M = 0.5"}};
  for (const Title& t : titles) {
    write_file(d.file("TITLED.DAT"), t.given + body);
    std::filesystem::remove_all(d.file("study"));
    ProgramResult r = run_program("tarnsweep", d.path(), "",
                                  "TITLED.DAT --mach 0.5 --alpha 1 --inviscid --grid 96 --out study");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Json::parse(read_file(d.file("study/study.json")))["title"], t.kept);
    std::string run_title = read_file(d.file("study/points/001/P001.TIN")).substr(5, t.run.size());
    EXPECT_EQ(run_title, t.run);
  }
}

// The last stage of a viscous run with small corrections, whose boundary-
// layer updates alternate between two states: lift, viscous drag and upper
// transition as given for each, and the coupling change measure.
struct Cycle {
  float lift[2], drag[2], transition[2], change;
  const char* verdict;
  const char* because;  // part of the reason
  float ncrit = 0.0f;   // free transition when above 0
  float drift = NAN;    // lift targeting: the incidence moves by this (degrees) at each update
  // A lift still creeping down to lift[k], by a share kCreepRelaxation of
  // the way at each update, this far above it after the last of `updates`.
  float creep = 0.0f;
  int updates = 38;
  // A shock on the surface whose wave drag creeps to its limit by a share
  // kShockDecay of the way at each update, this far from it after the last.
  float wave = NAN;
  // A wave drag turning at the top of an overshoot this high above the
  // value it ends at, halfway through the last 30 updates.
  float turn = NAN;
};

// The slow mode the wave drag creeps with at the end of many stages.
constexpr float kShockDecay = 0.01f;

// Updates from the top of a wave drag's overshoot to either end of the last 30.
constexpr float kOvershootHalf = 15.0f;

// The coupling relaxation of the fine stage as tarnprep writes it.
constexpr float kCreepRelaxation = 0.075f;

void PrintTo(const Cycle& c, std::ostream* os) { *os << c.because; }

std::unique_ptr<FlowState> cycling_run(const Cycle& c) {
  auto fs = std::make_unique<FlowState>();
  fs->run.IVP = 4;
  fs->cpl.VTOL = 1.0e-3f;
  fs->cpl.NCRIT = c.ncrit;
  fs->cpl.GVISC = kCreepRelaxation;
  Monitor& m = fs->mon;
  m.NSG = 160;
  for (int n = 1; n <= 200; ++n) {
    m.SWEEPS = n;
    m.RES(Monitor::slot(n)) = 1.0e-5f;
  }
  for (int n = 1; n <= c.updates; ++n) {
    int s = Monitor::slot(n), k = n % 2;
    m.UPDATES = n;
    m.CHANGE(s) = c.change;
    m.CLV(s) = c.lift[k] + c.creep * std::pow(1.0f - kCreepRelaxation, static_cast<float>(n - c.updates));
    m.CDVU(s) = c.drag[k];
    m.XTRU(s) = c.transition[k];
    m.XTRL(s) = 0.05f;
    m.ALPU(s) = 2.0f + static_cast<float>(n) * c.drift;
    m.CD2U(s) = 0.006f + c.wave * std::pow(1.0f - kShockDecay, static_cast<float>(n - c.updates));
    if (!std::isnan(c.turn)) {
      float from_top = static_cast<float>(n - c.updates + kOvershootHalf) / kOvershootHalf;
      m.CD2U(s) = 0.006f + c.turn * (1.0f - from_top * from_top);
    }
  }
  if (!std::isnan(c.wave) || !std::isnan(c.turn)) fs->res.EMLS(1) = 1.2f;
  if (!std::isnan(c.drift)) fs->run.ICL = 1;
  m.SUMMARIES = 1;
  m.CL = c.lift[0];
  return fs;
}

class Verdict : public ::testing::TestWithParam<Cycle> {};

// A limit cycle is never converged; a transition switching between two
// stations while lift and drag stay put is. A lift-targeted run whose lift
// holds while its incidence drifts is not converged, nor is a lift steady
// over the last updates while still creeping to a limit beyond the lift
// tolerance (as RAE 2822 at M 0.65, alpha 4, after its 200 fine sweeps:
// 1.3E-3 above its limit, 1E-4 an update); the same creep 1E-4 from its
// limit is converged. A wave drag creeping by 1 % of the way an update is
// not converged 1.2E-4 from its limit (NACA 0012 at M 0.8, alpha 1, after
// 600 fine sweeps), and is 5E-6 from it. A wave drag turning at the top of
// an overshoot, as after the large coupling steps of a study run, is not
// settled (RAE 2822 at M 0.55, alpha 6, ended 2.3E-5 from its limit).
TEST_P(Verdict, OfAnAlternatingCouplingFollowsTheCoefficients) {
  const Cycle& c = GetParam();
  sweep::Judgement j = sweep::judge(*cycling_run(c), sweep::Stop());
  EXPECT_EQ(j.status, c.verdict) << j.reason;
  EXPECT_NE(j.reason.find(c.because), std::string::npos) << j.reason;
}

INSTANTIATE_TEST_SUITE_P(
    Cycles, Verdict,
    ::testing::Values(Cycle{{0.40f, 0.47f}, {0.009f, 0.009f}, {0.05f, 0.05f}, 1.0e-4f, "not converged", "lift swings"},
                      Cycle{{0.4400f, 0.4450f}, {0.009f, 0.009f}, {0.05f, 0.05f}, 1.0e-4f, "not converged", "lift swings"},
                      Cycle{{0.44000f, 0.44003f}, {0.009f, 0.009f}, {0.05f, 0.05f}, 1.0e-4f, "converged", "below"},
                      Cycle{{0.44000f, 0.44003f}, {0.00910f, 0.00911f}, {0.0338f, 0.0408f}, 5.0e-3f, "converged",
                            "only through the transition switching"},
                      Cycle{{0.4400f, 0.4401f}, {0.00910f, 0.00925f}, {0.0338f, 0.0408f}, 5.0e-3f, "not converged",
                            "viscous drag by 1.50E-04"},
                      Cycle{{0.40f, 0.47f}, {0.00910f, 0.00915f}, {0.0338f, 0.0408f}, 5.0e-3f, "not converged",
                            "lift swings"},
                      Cycle{{0.4400f, 0.4401f}, {0.009f, 0.009f}, {0.300f, 0.302f}, 1.0e-4f, "not converged",
                            "free transition moves by 2.0E-03", 9.0f},
                      Cycle{{0.44000f, 0.44003f}, {0.009f, 0.009f}, {0.3000f, 0.3002f}, 1.0e-4f, "converged",
                            "free transition settled", 9.0f},
                      Cycle{{0.4400f, 0.4401f}, {0.009f, 0.009f}, {0.05f, 0.05f}, 1.0e-4f, "not converged",
                            "incidence drifts by 1.6E-03 degrees", 0.0f, 4.0e-4f},
                      Cycle{{0.44000f, 0.44003f}, {0.009f, 0.009f}, {0.05f, 0.05f}, 1.0e-4f, "converged",
                            "incidence steady to 0.0E+00", 0.0f, 0.0f},
                      Cycle{{0.8673f, 0.8673f}, {0.0099f, 0.0099f}, {0.03f, 0.03f}, 7.0e-4f, "not converged",
                            "lift still creeping", 0.0f, NAN, 1.3e-3f},
                      Cycle{{0.8673f, 0.8673f}, {0.0099f, 0.0099f}, {0.03f, 0.03f}, 7.0e-4f, "converged",
                            "lift within", 0.0f, NAN, 1.0e-4f},
                      Cycle{{0.22105f, 0.22105f}, {0.01045f, 0.01045f}, {0.05f, 0.05f}, 2.0e-4f, "not converged",
                            "wave drag still creeping", 0.0f, NAN, 0.0f, 79, 1.2e-4f},
                      Cycle{{0.22105f, 0.22105f}, {0.01045f, 0.01045f}, {0.05f, 0.05f}, 2.0e-4f, "converged",
                            "wave drag within", 0.0f, NAN, 0.0f, 79, 5.0e-6f},
                      Cycle{{0.22105f, 0.22105f}, {0.01045f, 0.01045f}, {0.05f, 0.05f}, 2.0e-4f, "not converged",
                            "wave drag still creeping", 0.0f, NAN, 0.0f, 79, NAN, 2.3e-5f}));

// A study ends a try whose coupling change stays large over the last 30
// updates (as a divergence ends it); one still falling, or with an update in
// the window nearer settled, runs on.
struct Changes {
  const char* name;
  float first, factor;  // the change at the first update, and its factor at each
  int low;              // an update, counted back from the last, with a small change (0 none)
  bool ends;
};

class CouplingCycles : public ::testing::TestWithParam<Changes> {};

TEST_P(CouplingCycles, EndTheTryWhenTheChangeStaysLarge) {
  const Changes& c = GetParam();
  std::unique_ptr<FlowState> fs = cycling_run(Cycle{{0.8f, 0.9f}, {0.02f, 0.02f}, {0.05f, 0.05f}, 0.0f, "", ""});
  Monitor& m = fs->mon;
  for (int n = 1; n <= m.UPDATES; ++n) m.CHANGE(Monitor::slot(n)) = c.first * std::pow(c.factor, n - 1.0f);
  if (c.low > 0) m.CHANGE(Monitor::slot(m.UPDATES - c.low + 1)) = 0.1f;
  if (c.ends)
    EXPECT_THROW(sweep::study_stop(*fs), RunStop);
  else
    EXPECT_NO_THROW(sweep::study_stop(*fs));
}

INSTANTIATE_TEST_SUITE_P(Sweep, CouplingCycles,
                         ::testing::Values(Changes{"Steady", 0.8f, 1.0f, 0, true}, Changes{"Falling", 1.5f, 0.97f, 0, false},
                                           Changes{"Small", 0.5f, 1.0f, 0, false}, Changes{"OnceSmall", 0.8f, 1.0f, 30, false},
                                           Changes{"SmallBefore", 0.8f, 1.0f, 31, true}),
                         [](const ::testing::TestParamInfo<Changes>& i) { return std::string(i.param.name); });

// After a stalled continuation the next safer numerics follow only when the
// last new run (with its continuations) came at least twice as near
// convergence as every try before it; otherwise the neighbours are asked,
// the next of them on the same terms. Tries are written as their kind and
// distance: C the point's own run, S a safer run, N a start from a
// neighbour, c a continuation (W one whose wave drag still creeps, which is
// continued while it creeps), a distance of 0 a try without results.
struct Ladder {
  const char* name;
  const char* tries;  // e.g. "C1.7 c5.4 S5.5 c5.5"
  size_t rung;        // safer numerics used so far
  sweep::NextTry next;
};

class RetryLadder : public ::testing::TestWithParam<Ladder> {};

TEST_P(RetryLadder, GoesOnToSaferNumericsOnlyWhileTheyComeNearer) {
  const Ladder& l = GetParam();
  std::vector<sweep::TryRecord> tries;
  std::istringstream in(l.tries);
  std::string word;
  while (in >> word) {
    sweep::TryRecord t;
    t.number = static_cast<int>(tries.size()) + 1;
    t.changes = word[0] == 'c' || word[0] == 'W' ? sweep::Json{{"continue_from_try", t.number - 1}}
                : word[0] == 'S' ? sweep::Json{{"XS", 1.7}}
                : word[0] == 'N' ? sweep::Json{{"continue_from_point", 1}}
                                 : sweep::Json::object();
    float d = std::stof(word.substr(1));
    t.judgement.status = d > 0.0f ? "not converged" : "diverged";
    t.judgement.has_results = d > 0.0f;
    t.judgement.distance = d > 0.0f ? d : INFINITY;
    if (word[0] == 'W') {  // the distance is the wave drag's share of its tolerance, as the verdict forms it
      t.judgement.figures = {{"wave_drag_to_go", d * 1.0e-5f}, {"wave_drag_to_go_tolerance", 1.0e-5f}};
      t.judgement.distance = d * 1.0e-5f / 1.0e-5f;
    }
    tries.push_back(t);
  }
  sweep::Retries r;
  r.rung = l.rung;
  EXPECT_EQ(sweep::next_try(r, tries, true), l.next);
}

INSTANTIATE_TEST_SUITE_P(
    Sweep, RetryLadder,
    ::testing::Values(Ladder{"SaferRunNoNearer", "C1.68 c5.44 S5.48 c5.50", 1, sweep::NextTry::kNeighbour},
                      Ladder{"SaferRunNearer", "C4.0 c3.5 S1.9 c1.5", 1, sweep::NextTry::kSafer},
                      Ladder{"NoResultsBefore", "C0 S10.6 c3.6 c5.9", 1, sweep::NextTry::kSafer},
                      Ladder{"NearestOfAllBefore", "C0 S10.6 c3.6 c5.9 S25.5 c9.6 c4.1 c5.0", 2,
                             sweep::NextTry::kNeighbour},
                      Ladder{"NoResultsYet", "C0 S0", 1, sweep::NextTry::kSafer},
                      Ladder{"NeighbourNoNearer", "C1.68 c5.44 S5.48 c5.50 N5.46 c5.52", 3, sweep::NextTry::kNone},
                      Ladder{"NeighbourNearer", "C4.0 c3.5 S3.9 c3.6 N1.5 c1.2", 3, sweep::NextTry::kNeighbour},
                      Ladder{"WaveDragCreeps", "C3.4 W3.7", 0, sweep::NextTry::kContinue}),
    [](const ::testing::TestParamInfo<Ladder>& i) { return std::string(i.param.name); });

struct Refusal {
  const char* args;
  const char* because;  // part of the message
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.args; }

class SweepOptions : public ::testing::TestWithParam<Refusal> {};

TEST_P(SweepOptions, AreRefusedBeforeAnyRun) {
  TempDir d;
  write_file(d.file("NACA0012.DAT"), "NOT AN AEROFOIL\n");
  ProgramResult r = run_program("tarnsweep", d.path(), "", GetParam().args);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find(GetParam().because), std::string::npos) << r.err;
  EXPECT_FALSE(file_exists(d.file("study/points")));
}

INSTANTIATE_TEST_SUITE_P(
    Sweep, SweepOptions,
    ::testing::Values(Refusal{"--mach 0.5 --alpha 0 --out study", "give the aerofoil file"},
                      Refusal{"NACA0012.DAT --mach 1.2 --alpha 0 --out study", "Mach number 1.2"},
                      Refusal{"NACA0012.DAT --mach 0.5 --alpha 0 --cl 0.3 --out study", "either --alpha or --cl"},
                      Refusal{"NACA0012.DAT --mach 0.5 --alpha 0:6:-1 --out study", "does not lead"},
                      Refusal{"NACA0012.DAT --mach 0.5 --alpha 0 --set XS=3 --out study", "XS outside range"},
                      Refusal{"NACA0012.DAT --mach 0.5 --cl 0.3 --inviscid --out study", "needs a viscous run"},
                      Refusal{"NACA0012.DAT --mach 0.5 --alpha 0 --bogus --out study", "--bogus"},
                      Refusal{"NACA0012.DAT --mach 0.5 --alpha 0 --ncrit 30 --out study", "amplification factor 30 outside"},
                      Refusal{"NACA0012.DAT --mach 0.5 --alpha 0 --out study", "NACA0012.DAT: "},
                      Refusal{"MISSING.DAT --mach 0.5 --alpha 0 --out study", "MISSING.DAT"},
                      Refusal{"NACA0012.DAT --mach 0.5 --alpha 0 --xtr nan --out study", "--xtr nan"},
                      Refusal{"NACA0012.DAT --mach 0.5 --alpha 0 --xtr -0.5 --out study", "transition -0.5 outside"},
                      Refusal{"NACA0012.DAT --mach 0.5 --alpha 0 --re nan --out study", "--re nan"},
                      Refusal{"NACA0012.DAT --mach 0.5 --alpha 0 --re 6e12 --out study", "Reynolds number 6e+12 outside"},
                      Refusal{"NACA0012.DAT --mach 0.5 --alpha 0 --set NSF=100000 --out study", "NSF=100000: outside"},
                      Refusal{"NACA0012.DAT --mach 0.5 --alpha 0 --jobs 10000 --out study", "--jobs 10000 outside"},
                      Refusal{"NACA0012.DAT --mach 0.1:0.9:0.01 --alpha -20:20:0.01 --out study", "--max-points"},
                      Refusal{"NACA0012.DAT --mach 0.5 --alpha 0 --out \"$(printf 'study\\nrm -r x')\"",
                              "holds a control character"}));

// tarnsweep started in the folder in a process group of its own, as a shell
// starts a command at the terminal; its output goes to d/name.out.
pid_t start_sweep(const TempDir& d, const std::string& args, const std::string& name = "sweep") {
  std::vector<std::string> all = {"/bin/sh", "-c", "exec '" + std::string(TARN_BIN_DIR) + "/tarnsweep' " + args};
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, d.file(name + ".out").c_str(), O_WRONLY | O_CREAT, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, d.file(name + ".err").c_str(), O_WRONLY | O_CREAT, 0644);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  pid_t pid = -1;
  std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(d.path());
  posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  std::filesystem::current_path(here);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return pid;
}

int exit_status(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void wait_for_file(const std::string& path) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!file_exists(path) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

const std::string kStudy = "NACA0012.DAT --mach 0.5 --alpha 0:3:1 --grid 96 --jobs 1 --out ";

class Stop : public ::testing::TestWithParam<int> {};

// Ctrl-C at a terminal (SIGINT to the foreground process group) or a batch
// system's stop (SIGTERM to the group) while points run: no point gets a
// verdict from it, and the same command run again gives the polar of an
// uninterrupted study.
TEST_P(Stop, OfTheProcessGroupThenTheSameCommandGiveTheUninterruptedPolar) {
  TempDir d;
  write_naca0012(d);
  pid_t pid = start_sweep(d, kStudy + "study");
  ASSERT_GT(pid, 0);
  wait_for_file(d.file("study/points/004/result.json"));  // the highest incidence runs first
  kill(-pid, GetParam());
  EXPECT_EQ(exit_status(pid), 130);
  int finished = 0;
  for (const char* p : {"001", "002", "003", "004"})
    finished += file_exists(d.file("study/points/" + std::string(p) + "/result.json"));
  EXPECT_GE(finished, 1);
  EXPECT_LT(finished, 4);
  ProgramResult collect = run_program("tarnsweep", d.path(), "", "--collect study");
  EXPECT_EQ(collect.status, 3);
  EXPECT_NE(collect.out.find(std::to_string(4 - finished) + " pending"), std::string::npos) << collect.out;
  EXPECT_EQ(sweep(d, kStudy + "study").status, 0);
  ASSERT_EQ(sweep(d, kStudy + "direct").status, 0);
  EXPECT_EQ(read_file(d.file("study/polar.csv")), read_file(d.file("direct/polar.csv")));
}

INSTANTIATE_TEST_SUITE_P(Sweep, Stop, ::testing::Values(SIGINT, SIGTERM));

// The same study twice, or two studies, started together into one folder:
// one runs, the other is refused at once, and the folder holds the results
// of the one that ran.
TEST(Sweep, SecondStudyIntoAFolderInUseIsRefused) {
  TempDir d;
  write_naca0012(d);
  const std::string other = "NACA0012.DAT --mach 0.6 --alpha 0,1 --grid 96 --out ";
  for (const std::string& second : {kStudy, other}) {
    pid_t a = start_sweep(d, kStudy + "study", "a"), b = start_sweep(d, second + "study", "b");
    int first = exit_status(a), then = exit_status(b);
    EXPECT_EQ(first + then, 2) << read_file(d.file("a.err")) << read_file(d.file("b.err"));
    std::string refusal = read_file(d.file(first == 2 ? "a.err" : "b.err"));
    EXPECT_TRUE(refusal.find("in use by") != std::string::npos ||
                refusal.find("different study") != std::string::npos)
        << refusal;
    bool ran_other = first == 2 && second == other;
    ASSERT_EQ(sweep(d, (ran_other ? other : kStudy) + "direct").status, 0);
    EXPECT_EQ(read_file(d.file("study/polar.csv")), read_file(d.file("direct/polar.csv")));
    std::filesystem::remove_all(d.file("study"));
    std::filesystem::remove_all(d.file("direct"));
  }
}

// A point whose process is killed (SIGKILL, as by the out-of-memory killer)
// gets no verdict: it stays pending with the reason logged, and the same
// command run again takes it up.
TEST(Sweep, PointWhoseProcessIsKilledStaysPending) {
  TempDir d;
  write_naca0012(d);
  pid_t study = start_sweep(d, kStudy + "study");
  std::string log = d.file("study/points/002/point.log");
  wait_for_file(log);
  int point = 0;
  while (std::sscanf(read_file(log).c_str(), "started by process %d", &point) != 1)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  kill(point, SIGKILL);
  EXPECT_EQ(exit_status(study), 3) << read_file(d.file("sweep.out"));
  EXPECT_FALSE(file_exists(d.file("study/points/002/result.json")));
  EXPECT_NE(read_file(log).find("signal 9"), std::string::npos) << read_file(log);
  ProgramResult collect = run_program("tarnsweep", d.path(), "", "--collect study");
  EXPECT_EQ(collect.status, 3);
  EXPECT_NE(collect.out.find("point 2: the point's process ended by signal 9"), std::string::npos) << collect.out;
  EXPECT_EQ(sweep(d, kStudy + "study").status, 0);
  EXPECT_EQ(result(d, "002")["verdict"]["status"], "converged");
}

}  // namespace
}  // namespace tarn::test
