// The flow-field dump: record layout, exact round trip of every dumped
// member, several dumps in one file, the listing lines, and dumps that must
// not be used (cut short, of another layout, or too large for the flow state).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "free_stream/free_stream.h"
#include "run/run.h"
#include "run_files.h"
#include "run_stop.h"
#include "support.h"
#include "units.h"

namespace tarn {
namespace {

using test::lines_of;
using test::read_file;
using test::TempDir;

// Every member the dump carries, as the record tables list them.
template <typename F>
void dumped_members(FlowState& fs, F&& f) {
  auto each = [&](auto& a) {
    for (auto& v : a.v) f(v);
  };
  auto each_column = [&](auto& a) {
    for (auto& column : a.v)
      for (float& v : column) f(v);
  };
  Grid& g = fs.grid;
  Gas& gas = fs.gas;
  Potential& p = fs.pot;
  RunControl& run = fs.run;
  Mapping& map = fs.map;
  Coupling& c = fs.cpl;
  for (int32_t* n : {&g.NSG, &g.N1, &g.N2, &g.MR, &g.MR1, &g.NHALF, &g.NHALF2, &p.IRES, &p.KRES, &run.NP, &run.NB,
                     &run.ITYP, &run.NS, &run.NFIELD, &run.OPT1, &run.OPT2, &c.ISURF, &c.IWAKE, &c.ITHRESH,
                     &c.ICOUNT, &c.IWORK1, &c.IWORK2, &c.IVPRINT, &c.NVISC, &c.ISMOOTH, &run.ICL})
    f(*n);
  for (float* r : {&g.PI, &g.RAD, &g.TWOPI, &g.RTWOPI, &g.DTH, &g.DS, &g.R2DTH, &g.R2DS, &g.DTHDS, &g.DTHDS2,
                   &g.CROSS, &g.MGRAD, &g.DTH2, &g.DTH2DS, &gas.EM, &gas.QSTAR2, &gas.A0, &gas.G1, &gas.A1,
                   &gas.CPF, &gas.A2, &gas.A2CPF, &gas.BETA, &map.EPS, &p.CLEST, &map.RSIGMA, &fs.ALP,
                   &g.ALPPREV, &p.GAM, &p.F, &g.CA, &g.SA, &p.EP, &p.EP2, &p.EP1, &p.EP31, &p.EP32, &p.EP21,
                   &p.XM, &p.XS, &run.TOL, &g.TRANSFER, &p.RELA, &p.RELB, &p.DGHELD, &g.FFRUN, &p.RESMAX,
                   &gas.EMPREV, &map.ROT, &map.SIGMA, &gas.GAMMA, &p.QCP, &fs.res.CPTE, &c.GVISC, &c.XTU,
                   &c.XTL, &c.R, &c.VTOL, &run.CLC, &run.RFA, &c.CLV, &run.ALP0, &c.LB})
    f(*r);
  each_column(p.P);
  each_column(p.H);
  each(p.WORK);
  each_column(p.LINE);
  for (auto* a : {&g.RT, &g.RS, &g.R}) each(*a);
  for (auto* a : {&g.SIN, &g.COS, &g.FF, &map.ANGLE, &c.DQK, &c.DQKOLD, &c.TAW1, &c.TAW2, &c.QKA, &c.DSS,
                  &c.THS, &c.RHO})
    each(*a);
  each_column(map.XZ);
  each(map.B1);
  each(map.B2);
  for (auto* a : {&c.WDOLD, &c.BT, &c.WDS, &c.WKOLD}) each_column(*a);
  each_column(c.SIG);
  each(c.WAKEWORK);
}

// Sets the mesh counts of a mesh of nsg lines and mr radial intervals.
void set_mesh(FlowState& fs, int nsg, int mr) {
  Grid& g = fs.grid;
  g.NSG = nsg;
  g.N1 = nsg + 1;
  g.N2 = nsg + 2;
  g.MR = mr;
  g.MR1 = mr + 1;
  g.NHALF = (nsg + 2) / 2;
  g.NHALF2 = g.NHALF + 2;
}

// A flow state whose dumped members all differ from one another and from
// their initial values, on the coarse mesh 80 x 15.
std::unique_ptr<FlowState> distinctive_state(float em, float alp_degrees) {
  auto fs = std::make_unique<FlowState>();
  int32_t n = 0;
  dumped_members(*fs, [&](auto& v) {
    ++n;
    if constexpr (std::is_same_v<decltype(v), float&>)
      v = 0.37f * static_cast<float>(n);
    else
      v = 3 * n;
  });
  set_mesh(*fs, 80, 15);
  fs->gas.EM = em;
  fs->ALP = alp_degrees / kDegPerRad;
  fs->run.AEROTITLE = "NACA 0012 SECTION FROM THE DUMP TEST";
  fs->grid.ALPPREV = table_incidence(*fs);  // the incidence the angle tables carry
  return fs;
}

std::vector<uint32_t> member_bits(FlowState& fs) {
  std::vector<uint32_t> bits;
  dumped_members(fs, [&](auto& v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    bits.push_back(b);
  });
  return bits;
}

// Dump files in a temporary folder, written and read through the units.
class Dump : public ::testing::Test {
 protected:
  void SetUp() override {
    units().capture(kListing);
    units().capture(kBrief);
  }
  void TearDown() override {
    units().close(kDumpOut);
    units().close(kDumpIn);
  }
  std::string path() const { return dir_.file("CASE1.UNF"); }
  void write(std::initializer_list<FlowState*> states) {
    units().open(kDumpOut, path(), OpenStatus::kNewOrReplaced, Form::kUnformatted);
    for (FlowState* fs : states) write_dump(*fs);
    units().close(kDumpOut);
  }
  void open_for_reading() { units().open(kDumpIn, path(), OpenStatus::kExisting, Form::kUnformatted); }

  // The two records of the file's first dump, without their frames.
  std::vector<std::string> records() const {
    std::string file = read_file(path());
    std::vector<std::string> recs;
    size_t pos = 0;
    while (pos + 4 <= file.size()) {
      uint32_t n;
      std::memcpy(&n, &file[pos], 4);
      recs.push_back(file.substr(pos + 4, n));
      pos += n + 8;
    }
    return recs;
  }
  void rewrite(const std::vector<std::string>& recs) const {
    std::string file;
    for (const auto& r : recs) {
      uint32_t n = static_cast<uint32_t>(r.size());
      std::string frame(reinterpret_cast<const char*>(&n), 4);
      file += frame + r + frame;
    }
    test::write_file(path(), file);
  }

  // Reads a damaged dump into a flow state with marked values; the run must
  // stop with the reason and leave the flow state as it was.
  std::string refused() {
    auto fs = std::make_unique<FlowState>();
    fs->gas.EM = 0.123f;
    fs->pot.P(5, 5) = 7.0f;
    units().capture(kListing);
    open_for_reading();
    try {
      read_dump(*fs);
    } catch (const RunStop& stop) {
      EXPECT_EQ(stop.status, kExitBadInput);
      EXPECT_EQ(fs->gas.EM, 0.123f);
      EXPECT_EQ(fs->pot.P(5, 5), 7.0f);
      EXPECT_EQ(fs->grid.NSG, 160);
      EXPECT_EQ(units().captured(kListing), "");
      return stop.what();
    }
    ADD_FAILURE() << "the damaged dump was used";
    return "";
  }

  TempDir dir_;
};

float word_real(const std::string& rec, int word) {
  float v;
  std::memcpy(&v, &rec[4 * static_cast<size_t>(word - 1)], 4);
  return v;
}
int32_t word_int(const std::string& rec, int word) {
  int32_t v;
  std::memcpy(&v, &rec[4 * static_cast<size_t>(word - 1)], 4);
  return v;
}

TEST_F(Dump, RecordsHoldTheScalarBlockAndEveryArrayAtItsDeclaredSize) {
  auto fs = distinctive_state(0.8f, 1.25f);
  write({fs.get()});
  auto recs = records();
  ASSERT_EQ(recs.size(), 2u);
  const std::string& r1 = recs[0];
  ASSERT_EQ(r1.size(), (79u + 4u) * 4u + 80u);
  EXPECT_EQ(word_int(r1, 1), 80);
  EXPECT_EQ(word_int(r1, 7), 43);
  EXPECT_EQ(word_int(r1, 17), fs->run.ITYP);
  EXPECT_EQ(word_real(r1, 21), -1.0f);
  EXPECT_EQ(word_real(r1, 36), 0.8f);
  EXPECT_EQ(word_real(r1, 49), fs->ALP);  // radians
  EXPECT_EQ(word_real(r1, 63), 4.0f);
  EXPECT_EQ(word_int(r1, 76), 162);
  EXPECT_EQ(word_int(r1, 77), 16);
  EXPECT_EQ(word_int(r1, 78), 300);
  EXPECT_EQ(word_real(r1, 81), fs->map.SIGMA);
  EXPECT_EQ(word_real(r1, 82), fs->gas.GAMMA);
  EXPECT_EQ(r1.substr(83 * 4), fs->run.AEROTITLE + std::string(80 - fs->run.AEROTITLE.size(), ' '));

  const std::string& r2 = recs[1];
  // Words per item of the field record, items 1 ... 47.
  const int field_words = 5022 + 5022 + 162 + 6 * 40 + 3 * 41 + 2 * 162 + 162 * 2 + 162 + 162 + 100 + 100 + 1 + 1 +
                          2 + 2 * 162 + 2 * 32 + 4 + 2 * 162 + 4 * 32 + 3 * 162 + 1 + 1 + 1 + 162 + 64 + 64 + 1 +
                          1 + 1 + 2 * 32 + 2 + 1 + 1 + 5 + 1 + 64;
  ASSERT_EQ(r2.size(), 4u * field_words);
  EXPECT_EQ(word_real(r2, 1), fs->pot.P(1, 1));
  EXPECT_EQ(word_real(r2, 2), fs->pot.P(2, 1));  // round index fastest
  EXPECT_EQ(word_real(r2, 163), fs->pot.P(1, 2));
  EXPECT_EQ(word_real(r2, 5023), fs->pot.H(1, 1));
  int line = 2 * 5022 + 162;
  EXPECT_EQ(word_real(r2, line + 4 * 40 + 1), fs->pot.LINE(1, 6));  // columns 1, 2, 3, 4, 6, 5
  EXPECT_EQ(word_real(r2, line + 5 * 40 + 1), fs->pot.LINE(1, 5));
  int xz = line + 240 + 123 + 324;
  EXPECT_EQ(word_real(r2, xz + 3), fs->map.XZ(2, 1));  // (x, z) pairs
  EXPECT_EQ(word_real(r2, xz + 4), fs->map.XZ(2, 2));
  EXPECT_EQ(word_int(r2, xz + 324 + 162 * 2 + 200 + 2), 0);  // reserved word
  EXPECT_EQ(word_real(r2, field_words), fs->cpl.WAKEWORK(64));
}

TEST_F(Dump, ReadingBackReproducesEveryDumpedMemberExactly) {
  auto fs = distinctive_state(0.8f, 1.25f);
  write({fs.get()});
  auto back = std::make_unique<FlowState>();
  open_for_reading();
  read_dump(*back);
  EXPECT_EQ(member_bits(*back), member_bits(*fs));
  EXPECT_EQ(back->run.AEROTITLE, fs->run.AEROTITLE + std::string(80 - fs->run.AEROTITLE.size(), ' '));
}

// Angle tables a lift-targeting step away from the incidence recorded for
// them, as an earlier version dumped them, are taken at the incidence they
// carry, so that the next stage turns them from where they are.
TEST_F(Dump, ReadingTakesTheIncidenceTheAngleTablesCarry) {
  auto fs = distinctive_state(0.8f, 1.25f);
  const float carried = fs->grid.ALPPREV;
  fs->grid.ALPPREV = carried - 0.003f;
  write({fs.get()});
  auto back = std::make_unique<FlowState>();
  open_for_reading();
  read_dump(*back);
  EXPECT_EQ(back->grid.ALPPREV, carried);
}

TEST_F(Dump, WritingListsTheMachNumberAndIncidenceInDegrees) {
  auto fs = distinctive_state(0.8f, 1.25f);
  write({fs.get()});
  EXPECT_EQ(lines_of(units().captured(kListing)),
            (std::vector<std::string>{" FLOW FIELD DUMPED  EM = .8000  ALP =  1.2500", "", ""}));
}

TEST_F(Dump, ReadingListsTheTitleThenTheRetrievalLineOnBothListings) {
  auto fs = distinctive_state(0.8f, -2.5f);
  write({fs.get()});
  units().capture(kListing);
  auto back = std::make_unique<FlowState>();
  open_for_reading();
  read_dump(*back);
  std::string title = " " + std::string(" AEROFOIL DATA FILE TITLE:    ") + "NACA 0012 SECTION FROM THE DUMP TEST" +
                      std::string(44, ' ');
  std::vector<std::string> want = {title, " RETRIEVED FROM FLOW FIELD CALCULATION FOR  EM = .8000  AND  ALP = -2.5000",
                                   "", ""};
  EXPECT_EQ(lines_of(units().captured(kListing)), want);
  EXPECT_EQ(lines_of(units().captured(kBrief)), want);
}

TEST_F(Dump, TwoDumpsInOneFileAreReadBackInTurn) {
  auto coarse = distinctive_state(0.8f, 1.0f);
  auto fine = distinctive_state(0.7f, 2.0f);
  set_mesh(*fine, 160, 30);
  write({coarse.get(), fine.get()});
  auto back = std::make_unique<FlowState>();
  open_for_reading();
  read_dump(*back);
  EXPECT_EQ(back->gas.EM, 0.8f);
  EXPECT_EQ(back->grid.NSG, 80);
  read_dump(*back);
  EXPECT_EQ(back->gas.EM, 0.7f);
  EXPECT_EQ(back->grid.NSG, 160);
  EXPECT_EQ(back->grid.MR, 30);
  EXPECT_THROW(read_dump(*back), RunStop);  // there is no third dump
  EXPECT_EQ(back->gas.EM, 0.7f);
}

TEST_F(Dump, DumpCutShortIsRefused) {
  auto fs = distinctive_state(0.8f, 1.0f);
  write({fs.get()});
  std::string whole = read_file(path());
  for (size_t length : {size_t{0}, size_t{200}, size_t{420}, size_t{420 + 30000}, whole.size() - 1}) {
    test::write_file(path(), whole.substr(0, length));
    EXPECT_NE(refused().find("is missing or cut short"), std::string::npos) << length;
  }
}

TEST_F(Dump, DumpOfAnotherLayoutIsRefused) {
  auto fs = distinctive_state(0.8f, 1.0f);
  write({fs.get()});
  auto recs = records();
  auto shorter = recs;
  shorter[1].resize(shorter[1].size() - 4);
  rewrite(shorter);
  EXPECT_NE(refused().find("record 2 holds 54032 bytes where this program writes 54036"), std::string::npos);
  auto longer = recs;
  longer[0] += std::string(4, '\0');
  rewrite(longer);
  EXPECT_NE(refused().find("record 1 holds 416 bytes"), std::string::npos);
}

TEST_F(Dump, MeshTooLargeOrInconsistentIsRefused) {
  auto fs = distinctive_state(0.8f, 1.0f);
  write({fs.get()});
  auto recs = records();
  // Words 1-7: N, N + 1, N + 2, MR, MR + 1, (N + 2)/2, (N + 2)/2 + 2.
  auto with_counts = [&](int32_t nsg, int32_t mr, int32_t n2_offset) {
    int32_t words[7] = {nsg, nsg + 1, nsg + 2 + n2_offset, mr, mr + 1, (nsg + 2) / 2, (nsg + 2) / 2 + 2};
    auto patched = recs;
    std::memcpy(&patched[0][0], words, sizeof words);
    rewrite(patched);
  };
  with_counts(162, 30, 0);
  EXPECT_NE(refused().find("mesh of NSG = 162, MR = 30 exceeds the capacity"), std::string::npos);
  with_counts(160, 31, 0);
  EXPECT_NE(refused().find("exceeds the capacity"), std::string::npos);
  with_counts(81, 15, 0);  // odd, and no coarse mesh of an even one that fits
  EXPECT_NE(refused().find("exceeds the capacity"), std::string::npos);
  with_counts(160, 30, -1);
  EXPECT_NE(refused().find("mesh counts disagree with NSG = 160, MR = 30"), std::string::npos);
  with_counts(12, 2, 0);  // three coarsenings of 96 lines: too small for the wake stencils
  EXPECT_NE(refused().find("mesh of NSG = 12, MR = 2 is below the smallest"), std::string::npos);

  with_counts(49, 15, 0);  // the coarse mesh of 98 lines
  auto back = std::make_unique<FlowState>();
  open_for_reading();
  read_dump(*back);
  EXPECT_EQ(back->grid.NSG, 49);
}

// A word patched into an otherwise sound dump: the real 1/sigma (record 1,
// word 48), the potential P(1, 1) (record 2, word 1), NFIELD (record 1, word
// 20) and ITYP (word 17), each with a value no run can leave there.
TEST_F(Dump, NonFiniteRealsAndImplausibleCountsAreRefused) {
  auto fs = distinctive_state(0.8f, 1.0f);
  write({fs.get()});
  const auto recs = records();
  struct Patch {
    size_t record;
    int word;
    uint32_t bits;
    const char* message;
  };
  const Patch patches[] = {
      {0, 48, 0x7F800000u, "record 1, byte 189, holds a real that is not a finite number"},
      {1, 1, 0x7FC00000u, "record 2, byte 1, holds a real that is not a finite number"},
      {0, 20, 0x7FFFFFFFu, "holds the integer 2147483647, outside the plausible range 0 to 1000000000"},
      {0, 17, 0x80000000u, "holds the integer -2147483648, outside the plausible range -99999 to 99999"},
  };
  for (const Patch& p : patches) {
    auto patched = recs;
    std::memcpy(&patched[p.record][4 * static_cast<size_t>(p.word - 1)], &p.bits, 4);
    rewrite(patched);
    EXPECT_NE(refused().find(p.message), std::string::npos) << p.message;
  }
}

TEST_F(Dump, StepWithoutItsDumpFileStopsTheRun) {
  auto fs = distinctive_state(0.8f, 1.0f);
  EXPECT_THROW(write_dump(*fs), RunStop);
  EXPECT_THROW(read_dump(*fs), RunStop);
}

// Through the programs: a run writes its dump, a continuation run reads it,
// and a damaged copy stops the continuation without a status record.
TEST(DumpRun, ContinuationRunRetrievesTheDumpAndRefusesADamagedOne) {
  TempDir dir;
  test::RunSetup setup;
  setup.viscous = false;
  setup.nsc = 2;
  setup.nsf = 2;
  setup.em = 0.3f;
  setup.alp = 2.0f;
  test::write_new_run(dir.path(), setup);
  auto first = test::run_program("tarn", dir.path(), "CASE1\n");
  ASSERT_EQ(first.status, 0) << first.err;
  auto dumped = lines_of(read_file(dir.file("CASE1.FUL")));
  EXPECT_NE(std::find(dumped.begin(), dumped.end(), " FLOW FIELD DUMPED  EM = .3000  ALP =  2.0000"), dumped.end());

  std::string names;
  for (const char* ext : {".NAM", ".TIN", ".IEH", ".VEH", ".FUL", ".BRF", ".GRD", ".UNF"})
    names += std::string("CONT") + ext + "\n";
  test::write_file(dir.file("CONT.NAM"), names + "0\nCASE1.UNF\n0\n0\n");
  test::write_file(dir.file("CONT.TIN"), "    0CONTINUED\n\n    0    1\n    0    0\n");
  auto next = test::run_program("tarn", dir.path(), "CONT\n");
  ASSERT_EQ(next.status, 0) << next.err;
  for (const char* ext : {"CONT.FUL", "CONT.BRF"}) {
    auto lines = lines_of(read_file(dir.file(ext)));
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        " RETRIEVED FROM FLOW FIELD CALCULATION FOR  EM = .3000  AND  ALP =  2.0000"),
              lines.end())
        << ext;
  }

  std::string dump = read_file(dir.file("CASE1.UNF"));
  test::write_file(dir.file("CASE1.UNF"), dump.substr(0, dump.size() / 2));
  auto damaged = test::run_program("tarn", dir.path(), "CONT\n");
  EXPECT_EQ(damaged.status, kExitBadInput);
  EXPECT_NE(damaged.err.find("flow-field dump CASE1.UNF: record 2 is missing or cut short"), std::string::npos)
      << damaged.err;
  EXPECT_EQ(read_file(dir.file("CONT.SEP")).find("    4"), std::string::npos);
}

// A continuation that reads NAME.UNF and dumps under its own name: twice in
// a row, each reading the dump the one before wrote, which together give
// the results of one uninterrupted run. A third continuation that cannot
// write its whole dump (a file-size limit, as on a full disk) stops and
// leaves the earlier dump as it was.
TEST(DumpRun, ContinuationsRewriteTheirOwnDumpOnlyOnceTheNewOneIsComplete) {
  TempDir dir;
  test::RunSetup whole;
  whole.viscous = false;
  whole.dump = false;
  whole.em = 0.7f;
  whole.nsc = 0;
  whole.nsf = 30;
  whole.name = "WHOLE";
  test::write_new_run(dir.path(), whole);
  ASSERT_EQ(test::run_tarn(dir.path(), whole.name), 0);

  test::RunSetup part = whole;
  part.name = "CASE1";
  part.nsf = 10;
  part.dump = true;
  test::write_new_run(dir.path(), part);
  ASSERT_EQ(test::run_tarn(dir.path(), part.name), 0);
  for (int k = 1; k <= 2; ++k) {
    test::write_continuation_run(dir.path(), part, "CASE1.UNF");
    auto r = test::run_program("tarn", dir.path(), "CASE1\n");
    ASSERT_EQ(r.status, 0) << "continuation " << k << ": " << r.err;
    EXPECT_NE(read_file(dir.file("CASE1.FUL")).find("RETRIEVED FROM FLOW FIELD CALCULATION"), std::string::npos);
  }
  test::Summary a = test::last_summary(read_file(dir.file("WHOLE.BRF")));
  test::Summary b = test::last_summary(read_file(dir.file("CASE1.BRF")));
  EXPECT_EQ(a.cl, b.cl);
  EXPECT_EQ(a.cm, b.cm);

  const std::string dump = read_file(dir.file("CASE1.UNF"));
  auto full = test::run_program_with_file_limit("tarn", dir.path(), "CASE1\n", 40000);
  EXPECT_EQ(full.status, kExitFailure);
  EXPECT_NE(full.err.find("cannot write file 'CASE1.UNF' on unit 11: File too large"), std::string::npos) << full.err;
  EXPECT_EQ(read_file(dir.file("CASE1.UNF")), dump);
  EXPECT_TRUE(test::staged_files(dir.path()).empty());
  EXPECT_EQ(read_file(dir.file("CASE1.SEP")).find("    4"), std::string::npos);
}

// A sound dump whose 1/sigma (record 1, word 48) is a finite number but far
// too large gives coefficients that no field of the coefficient record can
// hold: the continuation stops as diverged, naming the first, and writes no
// record of asterisks and no status 4.
TEST(DumpRun, CoefficientsTooLargeForTheirRecordStopTheRunAsDiverged) {
  TempDir dir;
  test::RunSetup s;
  s.nsg = 96;
  s.nsc = 0;
  s.nsf = 4;
  ASSERT_EQ((test::write_new_run(dir.path(), s), test::run_tarn(dir.path(), s.name)), 0);
  std::string dump = read_file(dir.file("CASE1.UNF"));
  const float huge = 1.0e7f;
  std::memcpy(&dump[4 + 4 * 47], &huge, 4);
  test::write_file(dir.file("OLD.UNF"), dump);
  s.dump = false;
  s.nsf = 2;
  test::write_continuation_run(dir.path(), s, "OLD.UNF");
  auto r = test::run_program("tarn", dir.path(), "CASE1\n");
  EXPECT_EQ(r.status, kExitDiverged) << r.err;
  EXPECT_NE(r.err.find("ITERATIVE PROCEDURE HAS DIVERGED\n CL IS TOO LARGE FOR ITS RECORD FIELD"), std::string::npos)
      << r.err;
  const std::string sep = read_file(dir.file("CASE1.SEP"));
  EXPECT_EQ(sep.find('*'), std::string::npos) << sep;
  EXPECT_EQ(lines_of(sep).back(), "   -4");
}

}  // namespace
}  // namespace tarn
