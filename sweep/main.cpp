// tarnsweep: studies of many runs of the solver (polars, drag-rise curves).
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <stdexcept>

#include "command_line.h"
#include "sweep.h"
#include "text_files.h"

namespace {

using tarn::sweep::Study;

constexpr size_t kMostValues = 10000;  // values in one list: a guard against a mistyped step
// Points in a study unless --max-points says otherwise: a study folder
// holds about 14 files a point, and every point is one process.
constexpr long kDefaultMostPoints = 100000;
constexpr long kMostPoints = 10000000;  // --max-points itself: point folders are numbered in 7 digits at most
constexpr int kMostJobs = 1024;         // points run at once: far beyond the cores of one machine
constexpr double kStepSlack = 1.0e-6;  // a range ends at its last value within this share of a step

const char* const kUsage =
    "usage: tarnsweep AEROFOIL --mach LIST (--alpha LIST | --cl LIST) [--re 6e6] [--xtr X | --xtu X --xtl X]\n"
    "                 [--ncrit 9] [--inviscid] [--derotate] [--grid 160] [--set NAME=VALUE]... [--jobs N]\n"
    "                 [--max-points N] [--plan-only] [--keep-tries] [--cold] [--wait] --out DIR\n"
    "       tarnsweep --run-point DIR/points/NNN [--keep-tries] [--wait]\n"
    "       tarnsweep --collect DIR [--wait]\n"
    "       tarnsweep --report DIR [--compare OTHER_DIR...] [--overlay [N:]FILE.csv]...\n"
    "       tarnsweep --plot [FOLDER/]NAME\n";

const char* const kFooter = R"(
Reads AEROFOIL, a coordinate file of any form tarnfoil reads (Selig, Lednicer
or the aerofoil data file that tarn reads), into DIR as an aerofoil data file,
prepared as tarnfoil import prepares it and in the file's axes unless
--derotate levels the chord line (a native file is taken as it stands).
Each condition (every Mach number with every incidence or lift coefficient) is
an ordinary tarn run in DIR/points/NNN/, set up by tarnprep's run-file writer;
tarn run there by hand gives the same files. Each point writes result.json
(coefficients, verdict, tries), surface.csv and wake.csv; a point that does
not converge is retried with safer numerics (the tries kept in try1/, ...
when it did not converge, or with --keep-tries), then started from a
converged neighbour in a second pass. The study writes DIR/study.json,
DIR/polar.csv (its header the first line, the incidence in degrees as
alpha_deg, transition xtr_upper and xtr_lower in x/c, the verdict's reason
quoted) and DIR/polar.txt, and for running the points elsewhere
DIR/jobs.txt (one command per point, run twice: points, then rescues),
DIR/slurm.sh (a Slurm job array over jobs.txt) and DIR/submit.sh (submits
both passes in arrays of at most 1000 tasks). A point stopped or killed
has no result and is pending, the reason in DIR/points/NNN/point.log; run
again with the same --out, a study takes up the points that have no result.
A folder in use by another study, collect or point is refused at once
unless --wait.

Pictures: each point draws cp.svg (pressures with transition and shocks
marked, the section below to scale) and, viscous, bl.svg (boundary layer);
the study draws DIR/plots/*.svg (lift curve, drag polar, drag breakdown,
pitching moment, drag rise, the Cp of every point of each Mach number) and
DIR/report.html, which opens from disk. --report DIR draws them all again from the files on disk;
with --compare OTHER_DIR... the polars of the other studies and the Cp of
their matching points are drawn with them, and --overlay FILE.csv adds
measured data: columns x,cp for the Cp of a point (N:FILE.csv for point N of
a study of several points), or alpha,cl,cd,cm for a polar. --plot NAME draws
NAME-cp.svg and NAME-bl.svg of an ordinary tarn run from its listings
NAME.FUL and NAME.BRF.

Lists: 0.5,0.6 or FROM:TO:STEP (0:6:0.5), or both mixed (0,2:8:2).

Exit status: 0 every point converged; 1 some point not converged or failed;
2 bad options, aerofoil file or study folder (or the folder in use); 3 some
point pending (not run yet, or its run was stopped: the same command run
again takes it up); 130 interrupted (Ctrl-C). --run-point: 0 when the point
finished, whatever its verdict, 3 when it could not run.)";

[[noreturn]] void refuse(const std::string& message) { throw std::invalid_argument(message); }

double real_of(const std::string& text, const std::string& what) {
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(v)) refuse(what + ": '" + text + "' is not a number");
  return v;
}

// "0.5,0.6" or "0:6:0.5" or both mixed, in the order given.
std::vector<float> list_of(const std::string& text, const std::string& what) {
  std::vector<float> values;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    size_t c1 = item.find(':'), c2 = c1 == std::string::npos ? c1 : item.find(':', c1 + 1);
    if (c1 == std::string::npos) {
      values.push_back(static_cast<float>(real_of(item, what)));
    } else {
      if (c2 == std::string::npos) refuse(what + ": a range is FROM:TO:STEP, not '" + item + "'");
      double from = real_of(item.substr(0, c1), what), to = real_of(item.substr(c1 + 1, c2 - c1 - 1), what);
      double step = real_of(item.substr(c2 + 1), what);
      double steps = (to - from) / step;
      if (step == 0.0 || steps < -kStepSlack)
        refuse(what + ": the step of '" + item + "' does not lead from " + "FROM to TO");
      if (steps > static_cast<double>(kMostValues)) refuse(what + ": '" + item + "' gives too many values");
      for (long k = 0; k <= static_cast<long>(std::floor(steps + kStepSlack)); ++k)
        values.push_back(static_cast<float>(from + static_cast<double>(k) * step));
    }
    if (values.size() > kMostValues) refuse(what + ": too many values");
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return values;
}

std::pair<std::string, float> setting_of(const std::string& text) {
  size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) refuse("--set " + text + ": give NAME=VALUE, for example XS=1.7");
  std::string name = text.substr(0, eq);
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (name == "NSG") refuse("--set NSG: give the grid lines with --grid");
  return {name, static_cast<float>(real_of(text.substr(eq + 1), "--set " + name))};
}

struct Options {
  std::string aerofoil, mach, alpha, cl, out, run_point, collect, report, plot;
  std::vector<std::string> set, compare, overlay;
  double re = 6.0e6, xtr = 0.0, xtu = 0.0, xtl = 0.0, ncrit = 0.0;
  bool xtr_given = false, xtu_given = false, xtl_given = false;
  bool inviscid = false, plan_only = false, derotate = false, cold = false;
  long max_points = kDefaultMostPoints;
  tarn::sweep::PointOptions point;
  int grid = 160;
  int jobs = static_cast<int>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
};

constexpr double kDefaultTransition = 0.05;

// A real option as a float, refused with its value when it is not finite
// as a float.
float finite_float(double v, const std::string& option) {
  float f = static_cast<float>(v);
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  if (!std::isfinite(f)) refuse(option + " " + text + ": not a finite number");
  return f;
}

Study study_of(const Options& o) {
  if (o.aerofoil.empty()) refuse("give the aerofoil file");
  if (o.mach.empty()) refuse("give the Mach numbers with --mach");
  if (o.alpha.empty() == o.cl.empty()) refuse("give either --alpha or --cl");
  if (o.out.empty()) refuse("give the study folder with --out");
  if (o.xtr_given && (o.xtu_given || o.xtl_given)) refuse("give --xtr, or --xtu and --xtl, not both");
  if (o.jobs < 1 || o.jobs > kMostJobs)
    refuse("--jobs " + std::to_string(o.jobs) + " outside 1 to " + std::to_string(kMostJobs));
  if (o.max_points < 1 || o.max_points > kMostPoints)
    refuse("--max-points " + std::to_string(o.max_points) + " outside 1 to " + std::to_string(kMostPoints));
  std::string path = tarn::sweep::path_problem(o.out);
  if (!path.empty()) refuse("--out: " + path);
  Study s;
  s.source = o.aerofoil;
  s.mach = list_of(o.mach, "--mach");
  if (!o.alpha.empty()) s.alpha = list_of(o.alpha, "--alpha");
  if (!o.cl.empty()) s.cl = list_of(o.cl, "--cl");
  size_t points = s.mach.size() * (s.cl.empty() ? s.alpha.size() : s.cl.size());
  if (points > static_cast<size_t>(o.max_points))
    refuse(std::to_string(points) + " points asked for, more than " + std::to_string(o.max_points) +
           "; give --max-points to allow more");
  s.re = finite_float(o.re, "--re");
  // With free transition the positions given are trips, and no trip by default.
  const double fallback = o.ncrit > 0.0 ? tarn::kNoTrip : kDefaultTransition;
  s.xtu = finite_float(o.xtr_given ? o.xtr : o.xtu_given ? o.xtu : fallback, o.xtr_given ? "--xtr" : "--xtu");
  s.xtl = finite_float(o.xtr_given ? o.xtr : o.xtl_given ? o.xtl : fallback, o.xtr_given ? "--xtr" : "--xtl");
  s.ncrit = finite_float(o.ncrit, "--ncrit");
  s.viscous = !o.inviscid;
  s.grid = o.grid;
  s.cold = o.cold;
  for (const std::string& text : o.set) s.set.push_back(setting_of(text));
  for (const tarn::sweep::Point& p : tarn::sweep::points_of(s)) {
    tarn::RunAnswers a;
    std::string problem = tarn::sweep::answers_of(s, p, a);
    if (!problem.empty()) refuse(problem);
  }
  return s;
}

int study(const Options& o) {
  Study s = study_of(o);
  tarn::sweep::Aerofoil aerofoil = tarn::sweep::import_aerofoil(s.source, o.derotate);
  s.aerofoil = aerofoil.name;
  s.title = aerofoil.title;
  return tarn::sweep::study(s, aerofoil, o.out, o.jobs, o.plan_only, o.point);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(std::string("tarnsweep: polars and drag-rise curves, many tarn runs at once.\n") + kUsage);
  app.name("tarnsweep");
  app.footer(std::string(kFooter) + "\nUser's guide: " + tarn::guide_location());
  app.set_version_flag("--version", tarn::version_line("tarnsweep"));
  Options o;
  app.add_option("AEROFOIL", o.aerofoil, "Aerofoil data file");
  app.add_option("--mach", o.mach, "Free-stream Mach numbers, 0.05 to 0.95");
  app.add_option("--alpha", o.alpha, "Incidences in degrees, -20 to 20");
  app.add_option("--cl", o.cl, "Required lift coefficients (viscous runs); the incidence is found");
  app.add_option("--re", o.re, "Reynolds number based on chord, 1e5 to 1e9 (default 6e6)");
  app.add_option("--xtr", o.xtr, "Transition x/c on both surfaces (default 0.05)");
  app.add_option("--xtu", o.xtu, "Transition x/c on the upper surface");
  app.add_option("--xtl", o.xtl, "Transition x/c on the lower surface");
  app.add_option("--ncrit", o.ncrit,
                 "Free transition (e^N envelope method) at this critical amplification factor, e.g. 9; "
                 "--xtr, --xtu, --xtl are then trips (default none)");
  app.add_flag("--inviscid", o.inviscid, "Inviscid runs");
  app.add_flag("--derotate", o.derotate, "Level the aerofoil's chord line (else the file's axes are kept)");
  app.add_flag("--cold", o.cold,
               "Every stage runs the sweeps of its run files, each point as tarnprep and tarn give it "
               "(by default a stage ends once the verdict's tests hold)");
  app.add_option("--grid", o.grid, "Grid lines round the aerofoil, even, 96 to 160 (default 160)");
  app.add_option("--set", o.set,
                 "A numerical parameter of tarnprep by name: NSC, NSF, XS, XM, GVISCC, NVISCC, "
                 "GVISCF, NVISCF, DD21, DD22, EP, QCP");
  app.add_option("--jobs", o.jobs, "Points run at once, 1 to 1024 (default: the number of cores)");
  app.add_option("--max-points", o.max_points, "Most points a study may have (default 100000)");
  app.add_option("--out", o.out, "Study folder");
  app.add_flag("--plan-only", o.plan_only, "Write the study folder, jobs.txt, slurm.sh and submit.sh, run nothing");
  app.add_flag("--keep-tries", o.point.keep_tries, "Keep the files of every try (by default only of points not converged)");
  app.add_flag("--wait", o.point.wait, "Wait for a study or point folder in use by another process instead of refusing");
  auto* point = app.add_option("--run-point", o.run_point, "Run one point folder of a study");
  app.add_option("--collect", o.collect, "Write the polar of a study from its finished points");
  app.add_option("--report", o.report, "Draw the plots and the report of a study again from its files");
  app.add_option("--compare", o.compare, "With --report: other study folders drawn with the study");
  app.add_option("--overlay", o.overlay, "With --report: measured data, [N:]FILE.csv (x,cp or alpha,cl,cd,cm)");
  app.add_option("--plot", o.plot, "Plot an ordinary tarn run from its listings: [FOLDER/]NAME");
  try {
    app.parse(argc, argv);
    o.xtr_given = app.count("--xtr") > 0;
    o.xtu_given = app.count("--xtu") > 0;
    o.xtl_given = app.count("--xtl") > 0;
    if (!o.run_point.empty() || !o.collect.empty()) {
      int flags = (o.point.wait ? 1 : 0) + (o.point.keep_tries && *point ? 1 : 0);
      if (argc != 3 + flags) refuse("--run-point takes a folder, --keep-tries and --wait; --collect a folder and --wait");
      return *point ? tarn::sweep::run_point(o.run_point, o.point) : tarn::sweep::collect(o.collect, o.point.wait);
    }
    bool drawn_with = !o.compare.empty() || !o.overlay.empty();
    if (drawn_with && o.report.empty()) refuse("--compare and --overlay go with --report");
    if (!o.report.empty()) {
      for (const char* name : {"AEROFOIL", "--mach", "--alpha", "--cl", "--re", "--xtr", "--xtu", "--xtl", "--inviscid",
                               "--ncrit", "--grid", "--set", "--jobs", "--out", "--plan-only", "--plot", "--keep-tries", "--wait",
                               "--max-points"})
        if (app.count(name) > 0) refuse("--report takes a folder and no other option but --compare and --overlay");
      return tarn::sweep::redraw_report(o.report, o.compare, o.overlay);
    }
    if (!o.plot.empty()) {
      if (argc != 3) refuse("--plot takes a run name and no other option");
      return tarn::sweep::plot_run(o.plot);
    }
    return study(o);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "tarnsweep: " << e.what() << '\n' << kUsage << "Try 'tarnsweep --help' for more.\n";
    return tarn::sweep::kSweepBadInput;
  } catch (const std::invalid_argument& e) {
    std::cerr << "tarnsweep: " << e.what() << '\n' << kUsage << "Try 'tarnsweep --help' for more.\n";
    return tarn::sweep::kSweepBadInput;
  } catch (const tarn::WriteError& e) {
    std::cerr << "tarnsweep: " << e.what() << ": " << e.reason << '\n';
    return tarn::sweep::kSweepBadInput;
  } catch (const std::exception& e) {
    std::cerr << "tarnsweep: " << e.what() << '\n';
    return tarn::sweep::kSweepBadInput;
  }
}
