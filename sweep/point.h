// One point of a study: how a try of the run is judged, what it leaves in
// the point folder, which try follows, and the start from a neighbouring
// point. Private to this folder.
#pragma once

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "files.h"
#include "flow_state.h"
#include "prep.h"

namespace tarn::sweep {

// How a run that stopped early ended: the message and exit status of its stop.
struct Stop {
  bool stopped = false;
  std::string message;
  int status = 0;
};

// A try judged from the run's histories and its last summary.
struct Judgement {
  std::string status;  // converged, not converged, diverged or failed
  std::string reason;
  Json figures;              // what the verdict rests on
  Json coefficients;         // the summary's coefficients, null when there are none
  bool has_results = false;  // finite coefficients and surface values to report
  // Surface values were formed (they may not be finite): the last try of a
  // failed point shows them, marked as not converged.
  bool has_surface = false;
  std::vector<float> shocks_upper, shocks_lower;  // x/c of the shocks of the last wave-drag step
  std::string advice;  // tarn's advice line when the try diverged
  // How far from converged: the largest of the figures over their tolerances
  // (below 1 when converged; infinite without results).
  float distance = INFINITY;
  // The transition point moved between the last boundary-layer updates
  // (laminar separation just ahead of the given transition): the coupling
  // then cycles, and more sweeps do not settle it. Not set while a
  // lift-targeted incidence still drifts, which more sweeps do settle.
  bool transition_moves = false;
  // Why the surface computed on is not the aerofoil's (empty when it is):
  // no numerics mend that.
  std::string geometry;
};

Judgement judge(const FlowState& fs, const Stop& stop);
// Whether the verdict's tests hold for the present stage of a viscous run so
// far, and its lift has settled: the stop of a study point's stages, asked
// after each sweep (never true for an inviscid run).
bool tests_hold(const FlowState& fs);
// The stop of a study point's stages (retry.cpp): tests_hold, and a try
// whose coupling cycles (its change large and not falling over the last
// updates) is ended as a divergence ends it, with a RunStop, for the next try.
bool study_stop(const FlowState& fs);
// The verdict of a point for the status of its try: a diverged try fails.
std::string verdict_of(const std::string& try_status);

// surface.csv and wake.csv of a run, from its flow state: the surface
// values of the last results formed, which for a run that stopped early may
// hold empty fields where a value is not finite.
void write_surface_table(const FlowState& fs, const std::string& path);
void write_wake_table(const FlowState& fs, const std::string& path);

// One try of a point: an ordinary run with its own run files.
struct TryRecord {
  int number = 0;
  Json changes;  // what differs from the point's own answers
  Judgement judgement;
  double seconds = 0.0;
  std::string folder;  // where its files are: "." the point folder, "" the point folder while it is the last
  bool kept = true;    // false when its files were removed (the tries of a converged point)
};

// The point folder (point_folder.cpp): the try running has its files in the
// folder itself, earlier tries in try1/, try2/, ...

// Files of a try in the point folder: those named after the run (its run
// files, listings and dumps), and the tables and console written beside them.
struct TryFiles {
  std::string name, aerofoil;
  bool operator()(const std::filesystem::path& file) const;
};
std::string try_folder(int n);
// Leaves the current point folder as planned: what an interrupted earlier
// attempt left is removed.
void clear_point_folder(const TryFiles& of_try);
void move_try_files(const std::filesystem::path& from, const std::filesystem::path& to, const TryFiles& of_try);
// Moves the files of the last try, run in the point folder itself, into its
// own try folder.
void put_away_last(std::vector<TryRecord>& tries, const TryFiles& of_try);
// Puts the best try's files in the point folder and the others in their try
// folders; `keep_tries` false removes the try folders of a converged point.
void keep_best_in_place(std::vector<TryRecord>& tries, size_t best, const TryFiles& of_try, bool keep_tries);
// Removes the files of tries after the first `kept` (a rescue that was cut
// short) and the try files in the point folder itself.
void clear_tries_after(size_t kept, const TryFiles& of_try);

// The point's log (point.log in its folder): why it is pending, one line
// per event, latest last; appended, never replaced.
void log_point(const std::string& folder, const std::string& line);
// The last line of a point's log; empty when it has none.
std::string last_logged(const std::string& folder);
// Why a point without a result is pending, as --collect shows it.
std::string pending_reason(const std::string& folder);
// While it lives, a signal that ends this process (an interrupt, a
// termination, a hang-up, or the point's time limit, which it sets) is
// logged in the point's log before the process ends.
class StopsLogged {
 public:
  explicit StopsLogged(const std::string& folder);
  ~StopsLogged();
  StopsLogged(const StopsLogged&) = delete;
  StopsLogged& operator=(const StopsLogged&) = delete;
};

// The solver's console goes to console.txt while a try runs.
class ConsoleToFile {
 public:
  ConsoleToFile();
  ~ConsoleToFile();
  ConsoleToFile(const ConsoleToFile&) = delete;
  ConsoleToFile& operator=(const ConsoleToFile&) = delete;

 private:
  int saved_;
};

// The retry policy (retry.cpp): from the verdicts of the tries so far to the
// next try.
enum class NextTry {
  kContinue,   // the last try again from the flow field it dumped
  kSafer,      // a new run with the next safer numerics
  kNeighbour,  // a start from a converged neighbour (rescue.cpp)
  kNone,       // the tries end
};
// Where the retries stand.
struct Retries {
  RunAnswers base;  // the point's own answers
  RunAnswers last;  // those of the last try
  size_t rung = 0;  // safer numerics used so far
};
// The retries of a point whose own tries have ended: only starts from
// neighbours and their continuations are left.
Retries rescue_retries(const RunAnswers& base);
// What follows `tries`, whose last has just ended; `dumped` when it dumped
// its flow field.
NextTry next_try(const Retries& r, const std::vector<TryRecord>& tries, bool dumped);
// The answers of a try of kind kContinue or kSafer after `last`, with what
// they change; r moves on to them.
RunAnswers retry_answers(Retries& r, NextTry kind, const TryRecord& last, Json& changes);
// A run of answers `from` continued from a dump copied in beside the run
// files as `copy`: a fine stage of `nsf` sweeps and no coarse stage.
RunAnswers continued_from(const RunAnswers& from, const std::filesystem::path& dump, const std::string& copy,
                          int32_t nsf);

// The neighbour rescue (rescue.cpp).

// A point of the same study whose converged flow field may start this one.
struct Neighbour {
  int number = 0;
  std::filesystem::path folder;  // absolute
  std::string name;              // its run name
  std::string tag;  // ending of the name its dump is copied under: NA next-lower incidence or lift, NM Mach number
};
// The neighbours of a point in the study folder holding it, nearest first;
// none when the point folder is not in a study folder.
// The incidence or lift a study sweeps, whichever the point is given.
float swept_value(const Point& p);
std::vector<Neighbour> lower_neighbours(const std::string& folder, const Point& p);
// A start from a neighbour that converged on its own tries: its dump and
// the incidence it reached.
struct Start {
  Neighbour neighbour;
  std::filesystem::path dump;
  float alpha = 0.0f;
};
// The starts that the neighbours offer, nearest first. None, with `waiting`
// saying why, while the own tries of a neighbour have not ended.
std::vector<Start> neighbour_starts(const std::vector<Neighbour>& neighbours, std::string& waiting);
// A continuation from a neighbour's dump, copied in beside the run files.
RunAnswers from_neighbour(const RunAnswers& base, const Neighbour& n, const std::filesystem::path& dump, float alpha,
                          Json& changes);

}  // namespace tarn::sweep
