// Studies: a polar or a drag-rise curve as many ordinary runs of the solver,
// one folder per condition, run concurrently in separate processes (the
// solver's unit table is process-wide), each judged from its histories and
// retried with safer numerics, then gathered into one table.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "prep.h"

namespace tarn::sweep {

// Exit statuses of tarnsweep (a study, --run-point and --collect alike).
// --run-point: 0 when the point has finished (whatever its verdict) or its
// own tries have ended and it awaits its rescue, kSweepPending when it could
// not run.
enum SweepStatus : int {
  kSweepConverged = 0,  // every point converged
  kSweepMissed = 1,     // some point not converged or failed
  kSweepBadInput = 2,   // options, aerofoil file or study folder refused (or in use)
  kSweepPending = 3,    // some point has no result yet: not run, or its run was stopped
  kSweepInterrupted = 130,
};

// The study as asked on the command line.
struct Study {
  std::string aerofoil;            // the imported aerofoil data file in the study folder (8.3 name)
  std::string title;               // title line of the aerofoil data file
  std::string source;              // the aerofoil file as given
  std::vector<float> mach;         // free-stream Mach numbers
  std::vector<float> alpha;        // incidences, degrees (empty when lift coefficients are required)
  std::vector<float> cl;           // required lift coefficients (empty when incidences are given)
  float re = 6.0e6f;               // Reynolds number based on chord
  float xtu = 0.05f, xtl = 0.05f;  // transition, x/c (trips with free transition)
  float ncrit = 0.0f;              // free transition at this critical amplification factor; 0: at xtu, xtl
  bool viscous = true;
  int32_t grid = 160;                              // grid lines round the aerofoil on the fine mesh
  std::vector<std::pair<std::string, float>> set;  // numerical parameters changed by name
  // Every stage of every try runs the sweeps its run files give, as tarnprep
  // and tarn by hand run it; otherwise a stage ends once the verdict's tests
  // hold.
  bool cold = false;
};

// One condition of a study: an ordinary run in its own folder.
struct Point {
  int number = 0;      // 1, 2, ... in the order Mach number, then incidence or lift
  std::string folder;  // relative to the study folder, "points/001"
  float mach = 0.0f;
  float alpha = 0.0f;  // incidence, or the starting incidence when a lift is required
  bool lift_given = false;
  float cl = 0.0f;  // required lift coefficient
};

// The conditions of a study: every Mach number with every incidence or lift.
std::vector<Point> points_of(const Study& s);
// The answers tarnprep would be given for a point, numerical parameters
// included; an empty string, or why an answer is refused.
std::string answers_of(const Study& s, const Point& p, RunAnswers& a);

// How points are run: `wait` waits for a folder that another process holds
// instead of refusing it; `keep_tries` keeps the files of every try, not only
// those of points that did not converge.
struct PointOptions {
  bool wait = false;
  bool keep_tries = false;
};

// An aerofoil as a study holds it: an aerofoil data file under an 8.3 name.
struct Aerofoil {
  std::string name;   // "NACA0012.DAT"
  std::string title;  // its title line
  std::string text;   // the file
};
// The one way an aerofoil enters a study: reads the file as given, in any
// form tarnfoil reads, and returns it as an aerofoil data file. Throws
// std::runtime_error on a file it refuses.
Aerofoil import_aerofoil(const std::string& source, bool derotate = false);

// Study folder: study.json, the point folders with their run files and
// point.json, jobs.txt and slurm.sh. A folder already holding the same study
// is kept as it is, finished points included; another study's folder, or a
// folder of other files, is refused (std::runtime_error).
// Why the study folder cannot be given to the plans as one shell word on
// one line (a control character in its path or the program's); empty when
// it can.
std::string path_problem(const std::string& dir);
void write_plan(const Study& s, const Aerofoil& aerofoil, const std::string& dir, const PointOptions& o);
Study read_study(const std::string& dir);

// A study: its folder locked for the whole of it (refused at once when
// another process holds it, unless o.wait), its plan written, and unless
// `plan_only` its points without a result run `jobs` at a time, with a
// progress line, then its polar written. Returns the exit status.
int study(const Study& s, const Aerofoil& aerofoil, const std::string& dir, int jobs, bool plan_only,
          const PointOptions& o);
// Runs one point in this process under its folder's lock: its own tries, or
// when those have ended without convergence, the starts from its
// neighbours; writes its results, or logs why it is left pending.
int run_point(const std::string& folder, const PointOptions& o);
// polar.csv and polar.txt from the finished points, under the study folder's
// lock; prints the counts. Returns the exit status; throws
// std::runtime_error when the folder holds no study.
int collect(const std::string& dir, bool wait);

// Where the plots are drawn: after a point has written its results, and
// after the polar of a study has been written.
void point_finished(const std::string& folder);
void study_finished(const std::string& dir);
// --report DIR: every plot and the report of a study drawn again from its
// files, with the studies of --compare drawn with it and the measured data
// of --overlay ([N:]FILE.csv); prints the report's path. --plot NAME: the
// plots of an ordinary run from its listings; prints the files written.
// Both throw std::runtime_error when there is nothing to draw from.
int redraw_report(const std::string& dir, const std::vector<std::string>& compare,
                  const std::vector<std::string>& overlays);
int plot_run(const std::string& name);

}  // namespace tarn::sweep
