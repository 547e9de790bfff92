// Every file that six representative runs write must stay byte-identical:
// a change that only reorganises the arithmetic (a faster sweep, a faster
// boundary layer) is checked here against checksums taken before it. The
// table is tests/output_checksums.txt, one line per file: case, file name,
// size in bytes, FNV-1a 64-bit hash.
//
// A change that is meant to alter results regenerates the table, with the
// build of that change, by one command from the top of the checkout:
//
//     tools/output_checksums.sh build > tests/output_checksums.txt
//
// (the script runs these tests with TARN_PRINT_CHECKSUMS=1, which makes each
// case print its lines of the table instead of comparing them). The figures
// belong to the x86-64 build with SSE arithmetic and no fused multiply-add.
// The C library picks its logf and powf at run time, with fused multiply-adds
// where the processor has them, and the two versions may differ in the last
// bit; the table records which kind of processor made it ("# fma yes" or
// "# fma no"), and on the other kind the comparison is skipped.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "run_files.h"
#include "support.h"

namespace tarn {
namespace {

using test::RunSetup;

// Files a run writes: listings, histories, coefficient records, dump, grid data.
bool run_output(const std::filesystem::path& file) {
  static const char* const kExtensions[] = {".FUL", ".BRF", ".IEH", ".VEH", ".SEP", ".UNF", ".GRD"};
  for (const char* ext : kExtensions)
    if (file.extension() == ext) return true;
  return false;
}

std::string fnv1a64(const std::string& bytes) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

// File name -> "size hash" of every output file in the folder.
std::map<std::string, std::string> checksums(const std::string& dir) {
  std::map<std::string, std::string> sums;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (!run_output(entry.path())) continue;
    std::string bytes = test::read_file(entry.path().string());
    sums[entry.path().filename().string()] = std::to_string(bytes.size()) + " " + fnv1a64(bytes);
  }
  return sums;
}

std::map<std::string, std::string> table_rows(const std::string& name) {
  std::map<std::string, std::string> rows;
  std::ifstream in(std::string(TARN_TESTS_DIR) + "/output_checksums.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream row(line);
    std::string c, file, size, hash;
    if (line.empty() || line[0] == '#' || !(row >> c >> file >> size >> hash) || c != name) continue;
    rows[file] = size + " " + hash;
  }
  return rows;
}

// Whether the table was made on a processor with fused multiply-add.
bool table_made_with_fma() {
  std::ifstream in(std::string(TARN_TESTS_DIR) + "/output_checksums.txt");
  std::string line;
  while (std::getline(in, line))
    if (line == "# fma yes") return true;
  return false;
}

// The runs. Each writes its run files into the folder and runs tarn.
bool run(const std::string& dir, const RunSetup& s) {
  test::write_new_run(dir, s);
  return test::run_tarn(dir, s.name) == 0;
}

std::string shared_aerofoil(const char* name) { return test::shared_file(std::string("aerofoils/") + name); }

// The bundled example: the set-up program's default viscous run.
bool bundled_example(const std::string& dir) {
  for (const char* f : {"NACA12.NAM", "NACA12.TIN"})
    test::write_file(dir + "/" + f, test::read_file(std::string(TARN_SOURCE_DIR) + "/examples/" + f));
  test::write_file(dir + "/NACA0012.DAT", test::naca0012_section(dir));
  return test::run_tarn(dir, "NACA12") == 0;
}

// Transonic inviscid NACA 0012 with its shock; also writes the grid data.
bool inviscid_shock(const std::string& dir) {
  RunSetup s;
  s.viscous = false;
  s.grid = true;
  s.em = 0.8f;
  s.alp = 1.25f;
  return run(dir, s);
}

// RAE 2822 at a required lift, viscous.
bool rae2822_lift(const std::string& dir) { return run(dir, test::rae2822_case6(shared_aerofoil("RAE2822.DAT"))); }

// A cambered Karman-Trefftz section in nearly incompressible flow.
bool karman_trefftz(const std::string& dir) {
  RunSetup s;
  s.aerofoil = "KTB.DAT";
  s.aerofoil_source = shared_aerofoil("KTB.DAT");
  s.viscous = false;
  s.em = 0.05f;
  s.alp = 2.0f;
  return run(dir, s);
}

// The coarser mesh of 96 grid lines (16 radial intervals), viscous.
bool grid96(const std::string& dir) {
  RunSetup s;
  s.nsg = 96;
  s.em = 0.5f;
  return run(dir, s);
}

// A viscous run continued from the dump of a shorter one.
bool continuation(const std::string& dir) {
  RunSetup first;
  first.name = "FIRST";
  first.nsg = 96;
  first.em = 0.7f;
  first.nsc = 40;
  first.nsf = 40;
  if (!run(dir, first)) return false;
  RunSetup second = first;
  second.name = "SECOND";
  second.nsc = 0;
  second.nsf = 60;
  test::write_continuation_run(dir, second, "FIRST.UNF");
  return test::run_tarn(dir, second.name) == 0;
}

struct Case {
  const char* name;
  bool (*run)(const std::string& dir);
  bool shared = false;  // reads an aerofoil of the shared reference data
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class OutputChecksums : public ::testing::TestWithParam<Case> {};

TEST_P(OutputChecksums, EveryOutputFileIsByteIdenticalToTheTable) {
  const Case& c = GetParam();
  const bool print = std::getenv("TARN_PRINT_CHECKSUMS") != nullptr;
  if (c.shared && test::shared_dir().empty()) {
    if (print) FAIL() << c.name << ": the shared reference data is absent";
    GTEST_SKIP() << test::needs_shared("aerofoils/");
  }
  test::TempDir dir;
  ASSERT_TRUE(c.run(dir.path())) << c.name << ": the run failed";
  auto sums = checksums(dir.path());
  if (print) {
    for (const auto& [file, sum] : sums) std::printf("checksum %s %s %s\n", c.name, file.c_str(), sum.c_str());
    return;
  }
  if (table_made_with_fma() != static_cast<bool>(__builtin_cpu_supports("fma")))
    GTEST_SKIP() << "the table was made on a processor whose C library takes other logf and powf versions";
  auto rows = table_rows(c.name);
  ASSERT_FALSE(rows.empty()) << "no checksums of case " << c.name << " in the table";
  for (const auto& [file, sum] : rows) {
    auto it = sums.find(file);
    if (it == sums.end()) ADD_FAILURE() << file << " was not written";
    else EXPECT_EQ(it->second, sum) << file << " differs (size and hash)";
  }
  for (const auto& [file, sum] : sums) EXPECT_TRUE(rows.count(file)) << file << " is written but not in the table";
}

INSTANTIATE_TEST_SUITE_P(Runs, OutputChecksums,
                         ::testing::Values(Case{"example", bundled_example}, Case{"inviscid", inviscid_shock},
                                           Case{"rae2822", rae2822_lift, true}, Case{"karman", karman_trefftz, true},
                                           Case{"grid96", grid96}, Case{"continued", continuation}),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarn
