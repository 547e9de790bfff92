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

#include "run_files.h"
#include "support.h"

namespace tarn {
namespace {

using test::read_file;
using test::write_file;

constexpr double kPixelTolerance = 0.02;  // coordinates are written to 0.01 px

// A study of NACA 0012 in the agreed file formats: M 0.7 and 0.75 at 0, 1
// and 2 degrees. Points 1-3 converged, 4 did not converge, 5 failed and 6
// has not run. The distributions are smooth made-up shapes; the plots must
// show them whatever they are.
void write_study(const std::string& dir) {
  namespace fs = std::filesystem;
  const double machs[] = {0.7, 0.75}, alphas[] = {0.0, 1.0, 2.0};
  std::string points, polar = "# alpha in degrees, coefficients on the chord\n"
                              "point,mach,alpha,cl,cm,cdp,cdf,cdv,cd1,cd2,cd,verdict,tries\n";
  for (int n = 1; n <= 6; ++n) {
    double m = machs[(n - 1) / 3], a = alphas[(n - 1) % 3], cl = 0.11 * a + 0.01 * n;
    char folder[16], row[256];
    std::snprintf(folder, sizeof folder, "points/%03d", n);
    points += std::string(n > 1 ? "," : "") + "{\"point\":" + std::to_string(n) + ",\"folder\":\"" + folder +
              "\",\"mach\":" + std::to_string(m) + ",\"alpha\":" + std::to_string(a) + ",\"cl\":null}";
    if (n == 6) continue;
    std::string d = dir + "/" + folder;
    fs::create_directories(d);
    const char* verdict = n <= 3 ? "converged" : n == 4 ? "not converged" : "failed";
    std::string coefficients = "null";
    if (n <= 4) {
      std::snprintf(row, sizeof row, "%d,%g,%g,%g,-0.01,0.002,0.006,0.008,0.001,0.0005,%g,%s,%d\n", n, m, a, cl,
                    0.0085 + 0.002 * n, verdict, n == 4 ? 3 : 1);
      coefficients = "{\"alpha\":" + std::to_string(a) + ",\"cl\":" + std::to_string(cl) + "}";
      std::string surface = "surface,x,z,cp,mach,dstar,theta,h,cf\n";
      for (const char* side : {"upper", "lower"}) {
        double sign = side[0] == 'u' ? 1.0 : -1.0;
        for (int k = 0; k <= 40; ++k) {
          double x = 0.5 * (1.0 - std::cos(M_PI * k / 40.0)), r = std::sqrt(x);
          double z = sign * 0.6 * (0.2969 * r - 0.126 * x - 0.3516 * x * x + 0.2843 * x * x * x - 0.1015 * x * x * x * x);
          double cp = 1.0 - (1.0 + 0.8 * sign) * 4.0 * r * (1.0 - x) - 0.1 * x;
          double dstar = 0.004 * x + 0.0002, theta = 0.45 * dstar;
          if (k == 0) std::snprintf(row, sizeof row, "%s,%.6f,%.6f,%.6f,0.1,,,,\n", side, x, z, cp);
          else std::snprintf(row, sizeof row, "%s,%.6f,%.6f,%.6f,0.8,%.7f,%.7f,%.4f,%.6f\n", side, x, z, cp, dstar, theta,
                             dstar / theta, 0.003 * (1.2 - x));
          surface += row;
        }
      }
      write_file(d + "/surface.csv", surface);
      std::string wake = "x,cp,mach,dstar,theta,h\n";
      for (double x = 1.0; x < 3.2; x += 0.25) {
        std::snprintf(row, sizeof row, "%.3f,0.1,0.7,%.6f,%.6f,%.4f\n", x, 0.01 - 0.001 * x, 0.007, (0.01 - 0.001 * x) / 0.007);
        wake += row;
      }
      write_file(d + "/wake.csv", wake);
    } else {
      std::snprintf(row, sizeof row, "%d,%g,,,,,,,,,,failed,2\n", n, m);
    }
    polar += row;
    write_file(d + "/result.json", "{\"point\":" + std::to_string(n) + ",\"conditions\":{\"mach\":" + std::to_string(m) +
                                       ",\"alpha\":" + std::to_string(a) + ",\"viscous\":true},\"coefficients\":" +
                                       coefficients + ",\"verdict\":{\"status\":\"" + verdict +
                                       "\",\"reason\":\"test <" + verdict + "> & co\"},\"tries\":[{\"try\":1,\"status\":\"" +
                                       "diverged\",\"reason\":\"growing correction\",\"changes\":{\"XS\":1.7}}]}");
  }
  write_file(dir + "/study.json", "{\"aerofoil\":\"NACA0012.DAT\",\"title\":\"NACA 0012 & test\",\"mach\":[0.7,0.75],"
                                  "\"alpha\":[0,1,2],\"cl\":null,\"re\":6e6,\"xtu\":0.05,\"xtl\":0.05,\"viscous\":true,"
                                  "\"grid\":160,\"set\":{},\"points\":[" + points + "]}");
  write_file(dir + "/polar.csv", polar);
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

// Every plot and the report, checked by one run of xmllint over them all.
TEST(Pictures, EveryPlotAndTheReportAreWellFormedXml) {
  const char* files[] = {"study/report.html",       "study/plots/cl_alpha.svg", "study/plots/polar.svg",
                         "study/plots/cm_alpha.svg", "study/plots/drag_rise.svg", "study/points/001/cp.svg",
                         "study/points/001/bl.svg",  "study/points/004/cp.svg",  "run/ONEOFF-cp.svg",
                         "run/ONEOFF-bl.svg"};
  pictures().study_dir();
  pictures().run_dir();
  std::string dir = pictures().tmp.path(), list;
  for (const char* f : files) {
    EXPECT_TRUE(test::file_exists(dir + "/" + f)) << f;
    list += std::string(" '") + f + "'";
  }
  int status = std::system(("cd '" + dir + "' && xmllint --noout" + list + " > lint.txt 2>&1").c_str());
  EXPECT_EQ(status, 0) << read_file(dir + "/lint.txt");
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
  }
}

TEST(StudyReport, FailedAndUnfinishedPointsStillGetTheirReport) {
  const std::string& dir = pictures().study_dir();
  std::string report = read_file(dir + "/report.html");
  // Every point has its section with its verdict; text from the files is escaped.
  for (const char* text : {"id=\"point-5\"", "id=\"point-6\"", "failed", "not run", "test &lt;not converged&gt; &amp; co",
                           "growing correction", "XS = 1.7"})
    EXPECT_NE(report.find(text), std::string::npos) << text;
  for (const char* outside : {"href=\"http", "src=", "<link", "url("})
    EXPECT_EQ(report.find(outside), std::string::npos) << "the page needs nothing outside it: " << outside;
  EXPECT_FALSE(test::file_exists(dir + "/points/005/cp.svg"));
  // The point that did not converge is drawn hollow, and the legend names
  // it and the failed point.
  std::string lift = read_file(dir + "/plots/cl_alpha.svg");
  size_t hollow = 0;
  for (const Element& e : elements(lift, "rect"))
    hollow += e["class"] == "marker hollow";
  for (const Element& e : elements(lift, "circle"))
    hollow += e["class"] == "marker hollow";
  EXPECT_EQ(hollow, 1u);
  for (const char* text : {"not converged: point 4", "no result: point 5", "not run yet: point 6"})
    EXPECT_NE(lift.find(text), std::string::npos) << text;
}

}  // namespace
}  // namespace tarn
