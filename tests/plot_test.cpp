// Pictures: every plot and the report are well-formed XML; the drawn Cp
// curves are the surface values mapped through the plot's own axes; a study
// with failed and unfinished points still gets its plots and report.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

#include "files.h"
#include "run_files.h"
#include "support.h"

namespace tarn {
namespace {

using test::read_file;
using test::write_file;

constexpr double kPixelTolerance = 0.02;
constexpr double kNone = NAN;  // coordinates are written to 0.01 px

// A study of NACA 0012 written through the study's schema: M 0.7 and 0.75
// at 0, 1 and 2 degrees. Points 1-3 converged, 4 did not converge, 5
// failed (its last try left surface values, and tarn's advice) and 6 has
// not run. The distributions are smooth made-up shapes; the plots must show
// them whatever they are. Further Mach numbers and incidences make a larger
// study of the same kind, every point converged but the fourth, fifth and
// sixth.
void write_study(const std::string& dir, int machs = 2, int alphas = 3) {
  namespace fs = std::filesystem;
  using namespace sweep;
  Study s;
  s.aerofoil = "NACA0012.DAT";
  s.title = "NACA 0012 & test";
  s.source = "naca0012.dat";
  for (int m = 0; m < machs; ++m) s.mach.push_back(0.7f + (machs > 2 ? 0.01f : 0.05f) * m);
  for (int a = 0; a < alphas; ++a) s.alpha.push_back(static_cast<float>(a));
  fs::create_directories(dir);
  write_file(dir + "/" + kStudyFile, study_json(s).dump(1));
  char row[256];
  for (const Point& p : points_of(s)) {
    std::string d = dir + "/" + p.folder;
    fs::create_directories(d);
    write_file(d + "/" + kPointFile, point_json(s, p).dump(1));
    int n = p.number;
    if (n == 6) continue;
    PointResult r;
    r.point = n;
    r.status = n == 4 ? kNotConverged : n == 5 ? kFailed : kConverged;
    r.reason = "test <" + r.status + "> & co, with \"quotes\"";
    r.figures = {{"sweeps", 300}};
    TryResult t;
    t.number = 1;
    t.status = n == 5 ? "diverged" : r.status;
    t.reason = "growing correction";
    t.changes = {{"XS", 1.7}};
    r.tries = {t};
    if (n == 5) r.advice = "tarn: advice: test advice line";
    if (n != 5) {
      Coefficients& c = r.coefficients;
      r.has_coefficients = true;
      c.alpha = p.alpha;
      c.cl = 0.11f * p.alpha + 0.01f * n;
      c.cm = -0.01f;
      c.cdp = 0.002f + 0.0001f * n;
      c.cdf = 0.006f;
      c.cdv = 0.0079f + 0.0001f * n;
      c.cd1 = 0.001f;
      c.cd2 = 0.0005f * p.alpha * (p.mach - 0.65f) * 10.0f;
      c.cd = c.cdv + c.cd2;
      c.cdp_cdf = c.cdp + c.cdf;
      c.cdv_cd1 = c.cdv + c.cd1;
      c.xtr_upper = 0.05f;
      c.xtr_lower = 0.1f;
      r.shocks_upper = {0.45f};
    }
    write_file(d + "/" + kResultFile, result_json(r).dump(1));
    std::string surface = csv_header(kSurfaceColumns);
    for (const char* side : {"upper", "lower"}) {
      double sign = side[0] == 'u' ? 1.0 : -1.0;
      for (int k = 0; k <= 40; ++k) {
        double x = 0.5 * (1.0 - std::cos(M_PI * k / 40.0)), rx = std::sqrt(x);
        double z = sign * 0.6 * (0.2969 * rx - 0.126 * x - 0.3516 * x * x + 0.2843 * x * x * x - 0.1015 * x * x * x * x);
        double cp = 1.0 - (1.0 + 0.8 * sign) * 4.0 * rx * (1.0 - x) - 0.1 * x - 0.02 * p.alpha * sign;
        double dstar = 0.004 * x + 0.0002, theta = 0.45 * dstar;
        if (k == 0) std::snprintf(row, sizeof row, "%s,%.6f,%.6f,%.6f,0.1,,,,\n", side, x, z, cp);
        else std::snprintf(row, sizeof row, "%s,%.6f,%.6f,%.6f,0.8,%.7f,%.7f,%.4f,%.6f\n", side, x, z, cp, dstar, theta,
                           dstar / theta, 0.003 * (1.2 - x));
        surface += row;
      }
    }
    write_file(d + "/" + kSurfaceCsv, surface);
    if (machs > 2) continue;  // the wake of the small study is enough
    std::string wake = csv_header(kWakeColumns);
    for (double x = 1.0; x < 3.2; x += 0.25) {
      std::snprintf(row, sizeof row, "%.3f,0.1,0.7,%.6f,%.6f,%.4f\n", x, 0.01 - 0.001 * x, 0.007, (0.01 - 0.001 * x) / 0.007);
      wake += row;
    }
    write_file(d + "/" + kWakeCsv, wake);
  }
}

// The study above with its plots and report drawn by tarnsweep --report, and
// the plots of a small viscous tarn run drawn by tarnsweep --plot; each made
// once, when a test first needs it.
struct Pictures {
  test::TempDir tmp;
  std::string study, run;
  const std::string& study_dir() {
    if (study.empty()) {
      study = tmp.path() + "/study";
      std::filesystem::create_directories(study);
      write_study(study);
      // Pictures left by an earlier run of the pending point.
      std::filesystem::create_directories(study + "/points/006");
      for (const char* stale : {"/points/006/cp.svg", "/points/006/bl.svg"}) write_file(study + stale, "<svg/>");
      EXPECT_EQ(test::run_program("tarnsweep", study, "", "--collect .").status, 3) << "point 6 pending";
      EXPECT_EQ(test::run_program("tarnsweep", study, "", "--report .").status, 0);
    }
    return study;
  }
  const std::string& run_dir() {
    if (run.empty()) {
      run = tmp.path() + "/run";
      std::filesystem::create_directories(run);
      test::RunSetup setup;
      setup.name = "ONEOFF";
      setup.em = 0.6f;
      setup.nsg = 96;
      setup.nsc = 60;
      setup.nsf = 60;
      setup.dump = false;
      test::write_new_run(run, setup);
      test::run_tarn(run, setup.name);
      EXPECT_EQ(test::run_program("tarnsweep", run, "", "--plot ONEOFF").status, 0);
    }
    return run;
  }
};

Pictures& pictures() {
  static auto p = std::make_unique<Pictures>();
  return *p;
}

// The elements of one kind in an SVG document: attributes and text.
struct Element {
  std::map<std::string, std::string> attr;
  std::string text;
  std::string operator[](const std::string& name) const {
    auto it = attr.find(name);
    return it == attr.end() ? std::string() : it->second;
  }
};

std::vector<Element> elements(const std::string& svg, const std::string& tag) {
  std::vector<Element> out;
  for (size_t p = svg.find("<" + tag + " "); p != std::string::npos; p = svg.find("<" + tag + " ", p + 1)) {
    size_t end = svg.find('>', p);
    Element e;
    std::string head = svg.substr(p, end - p);
    for (size_t q = head.find("=\""); q != std::string::npos; q = head.find("=\"", q + 1)) {
      size_t name = head.rfind(' ', q) + 1, close = head.find('"', q + 2);
      e.attr[head.substr(name, q - name)] = head.substr(q + 2, close - q - 2);
    }
    size_t stop = svg.find('<', end);
    e.text = svg.substr(end + 1, stop - end - 1);
    out.push_back(e);
  }
  return out;
}

// Pixel = offset + slope * value, from the tick labels of one axis.
struct AxisMap {
  double offset = 0, slope = 0;
  double operator()(double v) const { return offset + slope * v; }
};

double label_value(std::string s) {
  const std::string minus = "\xE2\x88\x92";
  if (s.compare(0, minus.size(), minus) == 0) s = "-" + s.substr(minus.size());
  return std::stod(s);
}

AxisMap axis_map(const std::string& svg, const std::string& axis) {
  std::vector<std::pair<double, double>> ticks;  // value, pixel
  for (const Element& e : elements(svg, "text"))
    if (e["class"] == "tick-" + axis)
      ticks.emplace_back(label_value(e.text), std::stod(e.attr.at(axis)));
  EXPECT_GE(ticks.size(), 3u) << axis << " axis";
  if (ticks.size() < 2) return {};
  AxisMap m;
  m.slope = (ticks.back().second - ticks.front().second) / (ticks.back().first - ticks.front().first);
  m.offset = ticks.front().second - m.slope * ticks.front().first;
  for (const auto& [v, p] : ticks) EXPECT_NEAR(m(v), p, kPixelTolerance) << "tick " << v << " off the axis line";
  return m;
}

std::vector<std::pair<double, double>> polyline(const std::string& svg, const std::string& series) {
  std::vector<std::pair<double, double>> pts;
  for (const Element& e : elements(svg, "polyline")) {
    if (e["data-series"] != series) continue;
    std::istringstream in(e["points"]);
    double x, y;
    char comma;
    while (in >> x >> comma >> y) pts.emplace_back(x, y);
  }
  return pts;
}

double critical_cp(double m) {  // isentropic relations for gamma = 1.4
  return 2.0 / (1.4 * m * m) * (std::pow((2.0 + 0.4 * m * m) / 2.4, 3.5) - 1.0);
}

// Every SVG and HTML file under a folder, checked by one run of xmllint.
void expect_well_formed(const std::string& dir, size_t at_least) {
  std::string list;
  size_t count = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
    std::string ext = e.path().extension().string();
    if (ext != ".svg" && ext != ".html") continue;
    list += " '" + e.path().string() + "'";
    ++count;
  }
  EXPECT_GE(count, at_least);
  int status = std::system(("xmllint --noout" + list + " > '" + dir + "/lint.txt' 2>&1").c_str());
  EXPECT_EQ(status, 0) << read_file(dir + "/lint.txt");
}

TEST(Pictures, EveryPlotAndTheReportAreWellFormedXml) {
  const char* files[] = {"study/report.html",         "study/plots/cl_alpha.svg",       "study/plots/polar.svg",
                         "study/plots/drag_breakdown.svg", "study/plots/cm_alpha.svg",  "study/plots/drag_rise.svg",
                         "study/plots/cp_M0.7.svg",   "study/plots/cp_M0.75.svg",       "study/points/001/cp.svg",
                         "study/points/001/bl.svg",   "study/points/004/cp.svg",        "study/points/005/cp.svg",
                         "run/ONEOFF-cp.svg",         "run/ONEOFF-bl.svg"};
  pictures().study_dir();
  pictures().run_dir();
  std::string dir = pictures().tmp.path();
  for (const char* f : files) EXPECT_TRUE(test::file_exists(dir + "/" + f)) << f;
  expect_well_formed(dir, std::size(files));
}

// Surface values to compare a Cp plot with: the study point's surface.csv,
// or the pressure lists of the run's second listing (the plot is drawn
// from the results listing).
struct CpCase {
  const char* plot = "";
  std::vector<std::pair<double, double>> upper, lower;  // (x, Cp) from the leading edge
  double mach = 0;
};

CpCase study_case() {
  CpCase c;
  c.plot = "study/points/001/cp.svg";
  c.mach = 0.7;
  auto lines = test::lines_of(read_file(pictures().study_dir() + "/points/001/surface.csv"));
  for (size_t k = 1; k < lines.size(); ++k) {
    std::istringstream in(lines[k]);
    std::string side, x, z, cp;
    std::getline(in, side, ',');
    std::getline(in, x, ',');
    std::getline(in, z, ',');
    std::getline(in, cp, ',');
    (side == "upper" ? c.upper : c.lower).emplace_back(std::stod(x), std::stod(cp));
  }
  return c;
}

CpCase run_case() {
  CpCase c;
  c.plot = "run/ONEOFF-cp.svg";
  auto& list = c.upper;
  auto* current = &list;
  for (const auto& line : test::lines_of(read_file(pictures().run_dir() + "/ONEOFF.BRF"))) {
    if (line.find("Upper surface CP values") != std::string::npos) c.upper.clear(), current = &c.upper;
    if (line.find("Lower surface CP values") != std::string::npos) c.lower.clear(), current = &c.lower;
    double x, cp;
    char tail;
    if (std::sscanf(line.c_str(), "%lf %lf %c", &x, &cp, &tail) == 2) current->emplace_back(x, cp);
  }
  c.mach = test::last_summary(read_file(pictures().run_dir() + "/ONEOFF.BRF")).em;
  return c;
}

TEST(CpPlot, DrawnPointsAreTheSurfaceValuesThroughTheAxes) {
  for (const CpCase& c : {study_case(), run_case()}) {
    SCOPED_TRACE(c.plot);
    std::string svg = read_file(pictures().tmp.path() + "/" + c.plot);
    AxisMap px = axis_map(svg, "x"), py = axis_map(svg, "y");
    EXPECT_GT(py.slope, 0.0) << "suction (negative Cp) is drawn upward";
    for (const auto& [series, values] : {std::pair{"upper surface", c.upper}, std::pair{"lower surface", c.lower}}) {
      auto drawn = polyline(svg, series);
      ASSERT_EQ(drawn.size(), values.size()) << series;
      ASSERT_GT(values.size(), 20u);
      for (size_t k = 0; k < values.size(); ++k) {
        EXPECT_NEAR(drawn[k].first, px(values[k].first), kPixelTolerance) << series << " point " << k;
        EXPECT_NEAR(drawn[k].second, py(values[k].second), kPixelTolerance) << series << " point " << k;
      }
    }
    auto levels = elements(svg, "line");
    auto critical = std::find_if(levels.begin(), levels.end(), [](const Element& e) { return e["class"] == "level"; });
    ASSERT_NE(critical, levels.end()) << "critical Cp line";
    EXPECT_NEAR(std::stod((*critical)["y1"]), py(critical_cp(c.mach)), 0.05);
    // Transition (result.json: upper 0.05, lower 0.1) and the upper shock at 0.45.
    std::map<std::string, double> marks;
    for (const Element& e : levels)
      if (e["class"] == "mark") marks[e["data-series"]] = std::stod(e["x1"]);
    if (c.plot == std::string("study/points/001/cp.svg")) {
      EXPECT_NEAR(marks["transition, upper surface, x/c 0.05"], px(0.05), kPixelTolerance);
      EXPECT_NEAR(marks["transition, lower surface, x/c 0.1"], px(0.1), kPixelTolerance);
      EXPECT_NEAR(marks["shock, upper surface, x/c 0.45"], px(0.45), kPixelTolerance);
    }
  }
}

// polar.csv opens as a table anywhere: the header is its first line, units
// in the names, and the reason of each verdict a quoted field that may hold
// commas and quotes.
TEST(StudyFiles, PolarCsvStartsWithItsHeaderAndQuotesTheReasons) {
  auto lines = test::lines_of(read_file(pictures().study_dir() + "/polar.csv"));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "point,mach,alpha_deg,cl,cm,cdp,cdf,cdv,cd1,cd2,cd,xtr_upper,xtr_lower,verdict,tries,reason");
  EXPECT_EQ(lines[1].substr(0, 8), "1,0.7,0,");
  EXPECT_NE(lines[1].find(",0.05,0.1,converged,1,\"test <converged> & co, with \"\"quotes\"\"\""), std::string::npos)
      << lines[1];
  EXPECT_NE(lines[5].find(",,,,failed,1,\"test <failed>"), std::string::npos) << lines[5];
  EXPECT_EQ(lines[6], "6,0.75,2,,,,,,,,,,,,,") << "a point not run has its conditions only";
}

// Pixel positions of the markers of one series, in order.
std::vector<std::pair<double, double>> markers(const std::string& svg, const std::string& series) {
  std::vector<std::pair<double, double>> out;
  for (const char* tag : {"circle", "rect", "polygon"})
    for (const Element& e : elements(svg, tag)) {
      if (e["data-series"] != series) continue;
      if (!e["cx"].empty()) {
        out.emplace_back(std::stod(e["cx"]), std::stod(e["cy"]));
      } else if (!e["width"].empty()) {
        out.emplace_back(std::stod(e["x"]) + std::stod(e["width"]) / 2, std::stod(e["y"]) + std::stod(e["height"]) / 2);
      } else {  // a triangle or a diamond: its first corner lies above the centre
        std::istringstream in(e["points"]);
        double x, y, x2, y2;
        char comma;
        in >> x >> comma >> y >> x2 >> comma >> y2;
        out.emplace_back(x, tag == std::string("polygon") && x2 > x ? y2 : kNone);
      }
    }
  return out;
}

// The drag polar is CL against CD with every Mach number in one panel; the
// breakdown's parts CDV and CD2 add up to CD at every point drawn, and CDP +
// CDF is drawn beside them as the check of CD.
TEST(DragPlots, PolarHasEveryMachInOnePanelAndTheBreakdownAddsUp) {
  const std::string& dir = pictures().study_dir();
  std::string polar = read_file(dir + "/plots/polar.svg");
  EXPECT_EQ(elements(polar, "g").size(), 2u) << "one panel and its legend";
  EXPECT_EQ(markers(polar, "M 0.7").size(), 3u);
  EXPECT_EQ(markers(polar, "M 0.75").size(), 1u) << "point 4; 5 failed and 6 has not run";

  std::string svg = read_file(dir + "/plots/drag_breakdown.svg");
  // The panels share the x axis, whose labels are under the last one.
  AxisMap px = axis_map(svg, "x");
  auto total = markers(svg, "CD = CDV + CD2"), viscous = markers(svg, "CDV viscous (wake momentum)"),
       wave = markers(svg, "CD2 wave");
  ASSERT_EQ(total.size(), 4u) << "points 1-4 have results";
  ASSERT_EQ(viscous.size(), total.size());
  ASSERT_EQ(wave.size(), total.size());
  auto value = [&](double pixel) { return (pixel - px.offset) / px.slope; };
  for (size_t k = 0; k < total.size(); ++k) {
    EXPECT_NEAR(value(viscous[k].first) + value(wave[k].first), value(total[k].first), 3 * kPixelTolerance / px.slope);
    EXPECT_NEAR(total[k].second, viscous[k].second, kPixelTolerance) << "the parts of one point at one CL";
  }
  auto check = markers(svg, "CDP + CDF, surface-integration check of CD");
  ASSERT_EQ(check.size(), total.size());
  for (size_t k = 0; k < check.size(); ++k) EXPECT_NEAR(value(check[k].first), 0.008 + 0.0001 * (k + 1), 1e-5);
}

TEST(StudyReport, FailedAndUnfinishedPointsStillGetTheirReport) {
  const std::string& dir = pictures().study_dir();
  std::string report = read_file(dir + "/report.html");
  // Every point has its section with its verdict; text from the files is escaped.
  for (const char* text : {"id=\"point-5\"", "id=\"point-6\"", "failed", "pending", "not run yet", "test &lt;not converged&gt; &amp; co",
                           "growing correction", "XS = 1.7", "tarn: advice: test advice line"})
    EXPECT_NE(report.find(text), std::string::npos) << text;
  for (const char* outside : {"href=\"http", "src=", "<link", "url("})
    EXPECT_EQ(report.find(outside), std::string::npos) << "the page needs nothing outside it: " << outside;
  // The failed point shows the pressures of its last try, marked as such.
  std::string failed = read_file(dir + "/points/005/cp.svg");
  EXPECT_NE(failed.find("class=\"warning\""), std::string::npos);
  EXPECT_NE(failed.find("NOT CONVERGED"), std::string::npos);
  EXPECT_EQ(read_file(dir + "/points/001/cp.svg").find("NOT CONVERGED"), std::string::npos);
  // A point without results shows no pictures of an earlier run.
  for (const char* stale : {"/points/006/cp.svg", "/points/006/bl.svg"})
    EXPECT_FALSE(std::filesystem::exists(dir + stale)) << stale;
  // The point that did not converge is drawn hollow, and the legend names
  // it and the failed point.
  std::string lift = read_file(dir + "/plots/cl_alpha.svg");
  size_t hollow = 0;
  for (const Element& e : elements(lift, "rect"))
    hollow += e["class"] == "marker hollow";
  for (const Element& e : elements(lift, "circle"))
    hollow += e["class"] == "marker hollow";
  EXPECT_EQ(hollow, 1u);
  for (const char* text : {"not converged: point 4", "no result: point 5", "pending, no result yet: point 6"})
    EXPECT_NE(lift.find(text), std::string::npos) << text;
}

}  // namespace
}  // namespace tarn

namespace tarn {
namespace {

// A study of 500 points (20 Mach numbers, 25 incidences), made up in the
// study's files, gets a report that links the point plots instead of
// holding them and stays under 2 MB; every page and plot is well formed.
TEST(StudyReport, OfFiveHundredPointsLinksThePointPlotsAndStaysSmall) {
  test::TempDir tmp;
  std::string dir = tmp.path() + "/big";
  write_study(dir, 20, 25);
  ASSERT_EQ(test::run_program("tarnsweep", dir, "", "--report .").status, 0);
  auto size = std::filesystem::file_size(dir + "/report.html");
  EXPECT_LT(size, 2u << 20) << "bytes";
  std::string report = read_file(dir + "/report.html");
  EXPECT_NE(report.find("<a href=\"points/500/cp.svg\">"), std::string::npos);
  EXPECT_NE(report.find("<a href=\"plots/cp_M0.75.svg\">"), std::string::npos);
  EXPECT_NE(report.find("<a href=\"plots/drag_breakdown.svg\">"), std::string::npos) << "20 panels are linked";
  EXPECT_EQ(report.find("<svg", report.find("id=\"point-1\"")), std::string::npos) << "no point plot inline";
  // The drag rise is one panel, whatever the number of Mach numbers.
  EXPECT_EQ(elements(read_file(dir + "/plots/drag_rise.svg"), "g").size(), 2u) << "one panel and its legend";
  std::filesystem::rename(dir + "/report.html", dir + "/plots/report.html");
  expect_well_formed(dir + "/plots", 6 + 20);
}

// Measured data and another study drawn with a study: the RAE 2822 case 6
// pressures on point 1, its measured CL, CD, CM on the polars, and the Cp of
// a second study at the same conditions. Each measured value is drawn where
// the plot's own axes put it.
TEST(Overlay, MeasuredRae2822Case6AndAComparedStudyAreDrawnThroughTheAxes) {
  std::string measured = test::shared_file("reference/rae2822_case6_cp.dat");
  if (measured.empty())
    GTEST_SKIP() << test::needs_shared("reference/rae2822_case6_cp.dat");
  test::TempDir tmp;
  std::string csv = "x,cp\n";
  std::vector<std::pair<double, double>> taps;
  for (const std::string& line : test::lines_of(read_file(measured))) {
    double x, cp, ratio;
    int side;
    if (line.empty() || line[0] == '#' || std::sscanf(line.c_str(), "%lf %lf %lf %d", &x, &cp, &ratio, &side) != 4)
      continue;
    taps.emplace_back(x, cp);
    csv += std::to_string(x) + "," + std::to_string(cp) + "\n";
  }
  ASSERT_EQ(taps.size(), 103u);
  write_file(tmp.file("case6.csv"), csv);
  // CL, CD and CM measured at the corrected incidence.
  write_file(tmp.file("case6_polar.csv"), "alpha,cl,cd,cm\n2.31,0.743,0.0127,-0.095\n");
  write_study(tmp.file("a"));
  write_study(tmp.file("b"));
  test::ProgramResult r = test::run_program("tarnsweep", tmp.path(), "",
                                            "--report a --compare b --overlay 1:case6.csv --overlay case6_polar.csv");
  ASSERT_EQ(r.status, 0) << r.err;

  std::string cp = read_file(tmp.file("a/points/001/cp.svg"));
  AxisMap px = axis_map(cp, "x"), py = axis_map(cp, "y");
  auto drawn = markers(cp, "measured: case6");
  ASSERT_EQ(drawn.size(), taps.size());
  for (size_t k = 0; k < taps.size(); ++k) {
    EXPECT_NEAR(drawn[k].first, px(taps[k].first), kPixelTolerance) << "tap " << k;
    EXPECT_NEAR(drawn[k].second, py(taps[k].second), kPixelTolerance) << "tap " << k;
  }
  std::string polar = read_file(tmp.file("a/plots/polar.svg"));
  auto point = markers(polar, "measured: case6_polar");
  ASSERT_EQ(point.size(), 1u);
  EXPECT_NEAR(point[0].first, axis_map(polar, "x")(0.0127), kPixelTolerance);
  EXPECT_NEAR(point[0].second, axis_map(polar, "y")(0.743), kPixelTolerance);
  EXPECT_FALSE(markers(polar, "b: M 0.7").empty()) << "the compared study's polar";

  std::string compared = read_file(tmp.file("a/plots/compare_001.svg"));
  EXPECT_EQ(polyline(compared, "a").size(), 41u);
  EXPECT_EQ(polyline(compared, "b").size(), 41u);
  EXPECT_NE(read_file(tmp.file("a/report.html")).find("Pressure distributions compared"), std::string::npos);
  expect_well_formed(tmp.path(), 10);

  // Pressures for one point of several need the point's number.
  r = test::run_program("tarnsweep", tmp.path(), "", "--report a --overlay case6.csv");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("give the point as N:case6.csv"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace tarn
