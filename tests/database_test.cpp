// Files of a public aerofoil database, each with a fault that once made the
// programs answer for another section or refuse a usable file. Imported,
// each is mapped as tarn maps it, within the mapping and outline tolerances,
// and the report names what was done; a native file the mapping does not
// resolve is told as such by tarn, tarnfoil check and a study's verdict.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "support.h"

namespace tarn {
namespace {

using test::TempDir;

constexpr float kMappingTolerance = 1.0e-4f;  // last MAX S ERROR, chord units
constexpr float kOutlineTolerance = 1.0e-3f;  // mapped surface from the outline, chord units

std::string sample(const std::string& name) {
  const std::string path = test::shared_file("aerofoils/database-sample/" + name + ".dat");
  return path.empty() || !test::file_exists(path) ? std::string() : path;
}

struct SampleFile {
  const char* name;
  const char* fault;
  const char* reported;  // what the report must say was done
};

void PrintTo(const SampleFile& f, std::ostream* os) { *os << f.name; }

class DatabaseSample : public ::testing::TestWithParam<SampleFile> {};

TEST_P(DatabaseSample, IsImportedSoThatTheMappingFollowsItsOutline) {
  const SampleFile& f = GetParam();
  const std::string path = sample(f.name);
  if (path.empty()) GTEST_SKIP() << "database sample not present";
  TempDir dir;
  test::ProgramResult r = test::run_program("tarnfoil", dir.path(), "", "check " + path);
  ASSERT_EQ(r.status, 0) << f.fault << ": " << r.err;
  EXPECT_NE(r.out.find(f.reported), std::string::npos) << f.fault << ":\n" << r.out;
  const size_t at = r.out.find("last MAX S ERROR");
  ASSERT_NE(at, std::string::npos) << r.out;
  float s_error = NAN, distance = NAN;
  ASSERT_EQ(std::sscanf(r.out.c_str() + at, "last MAX S ERROR %f; the mapped surface lies within %f", &s_error,
                        &distance),
            2)
      << r.out;
  EXPECT_LT(std::fabs(s_error), kMappingTolerance) << f.fault;
  EXPECT_LT(distance, kOutlineTolerance) << f.fault;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DatabaseSample,
    ::testing::Values(
        SampleFile{"e558", "mapping unresolved: no point at the leading edge", "leading edge found on the spline"},
        SampleFile{"e604", "mapping unresolved", "re-splined to 101"},
        SampleFile{"naca6412", "mapping unresolved", "leading edge found on the spline"},
        SampleFile{"s8037", "mapping unresolved", "leading edge found on the spline"},
        SampleFile{"goe05k", "surface far from the outline", "re-splined to 101"},
        SampleFile{"e328", "two nose points at nearly the same x", "leading edge found on the spline"},
        SampleFile{"sg6050", "two nose points at nearly the same x", "leading edge found on the spline"},
        SampleFile{"tp204", "two nose points at the same x", "merged into it"},
        SampleFile{"naca16018", "17 points a surface", "surface of 17 points re-splined to 101"},
        SampleFile{"ag25", "free text after the coordinates", "after the coordinates are no x z pairs"},
        SampleFile{"Edge_Root", "a web address after the coordinates", "after the coordinates are no x z pairs"},
        SampleFile{"mid321b", "paragraphs after the coordinates", "after the coordinates are no x z pairs"},
        SampleFile{"tasopt-c090", "four numbers after the title", "four numbers after the title"}),
    [](const ::testing::TestParamInfo<SampleFile>& info) {
      std::string name = info.param.name;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

// A file's points as they stand, the given point of smallest x taken for
// the leading edge, in the native form that tarn reads without preparation.
std::string native_as_given(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  std::vector<std::pair<double, double>> p;
  double x, z;
  while (in >> x >> z) p.emplace_back(x, z);
  size_t le = 0;
  for (size_t i = 1; i < p.size(); ++i)
    if (p[i].first < p[le].first) le = i;
  std::ostringstream out;
  out << "AS GIVEN\n0 " << le + 1 << ' ' << p.size() - le << " 0.0 1.0\n";
  for (size_t i = le + 1; i-- > 0;) out << p[i].first << ' ' << p[i].second << '\n';
  for (size_t i = le; i < p.size(); ++i) out << p[i].first << ' ' << p[i].second << '\n';
  return out.str();
}

struct Unresolved {
  const char* name;
  const char* fault;  // how the warning begins
};

void PrintTo(const Unresolved& u, std::ostream* os) { *os << u.name; }

class UnresolvedSection : public ::testing::TestWithParam<Unresolved> {};

TEST_P(UnresolvedSection, IsToldByTarnTarnfoilCheckAndTheStudyVerdict) {
  const Unresolved& u = GetParam();
  const std::string path = sample(u.name);
  if (path.empty()) GTEST_SKIP() << "database sample not present";
  TempDir dir;
  test::write_file(dir.file("ASGIVEN.DAT"), native_as_given(path));

  test::ProgramResult check = test::run_program("tarnfoil", dir.path(), "", "check ASGIVEN.DAT");
  EXPECT_EQ(check.status, 1);
  EXPECT_NE(check.err.find(std::string("unusable: ") + u.fault), std::string::npos) << check.err;

  test::run_program("tarnsweep", dir.path(), "", "ASGIVEN.DAT --mach 0.3 --alpha 2 --inviscid --out study");
  const std::string result = test::read_file(dir.file("study/points/001/result.json"));
  EXPECT_EQ(result.find("\"status\": \"converged\""), std::string::npos) << result;
  EXPECT_NE(result.find(u.fault), std::string::npos) << result;
  EXPECT_NE(result.find("Check the aerofoil geometry"), std::string::npos) << result;
  EXPECT_EQ(result.find("\"try\": 2"), std::string::npos) << "no numerics mend the geometry";

  // tarn on the point's own run files: the same warning on the console's
  // error stream, and advice on the geometry, not on XS, if it diverges.
  test::ProgramResult tarn = test::run_program("tarn", dir.file("study/points/001"), "", "P001");
  EXPECT_NE(tarn.err.find(std::string("tarn: warning: ") + u.fault), std::string::npos) << tarn.err;
  EXPECT_EQ(tarn.err.find("smaller XS"), std::string::npos) << tarn.err;
}

INSTANTIATE_TEST_SUITE_P(Faults, UnresolvedSection,
                         ::testing::Values(Unresolved{"e558", "the conformal mapping stopped after 30 iterations"},
                                           Unresolved{"goe05k", "the mapped surface lies up to 0.02"}),
                         [](const ::testing::TestParamInfo<Unresolved>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarn
