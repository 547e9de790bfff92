// One point of a study, run in this process: the run files are written by
// tarnprep's writer into the point folder and the solver runs there, as a
// user would run it by hand. A try that does not converge is followed by
// the tries the retry policy chooses (retry.cpp, rescue.cpp); each try is
// kept, earlier ones in try1/, try2/, ... (point_folder.cpp). The point's
// results are those of its best try, whose files are left in the point
// folder itself.
#include "point.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>

#include "run/run.h"
#include "units.h"

namespace tarn::sweep {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// A try run with the run files of `a`; a stage ends after its sweeps, or
// once `stop_when` holds.
TryRecord run_try(const RunAnswers& a, int number, const Json& changes, StageStop stop_when) {
  TryRecord t;
  t.number = number;
  t.changes = changes;
  auto start = Clock::now();
  auto state = std::make_unique<FlowState>();
  state->run.STAGESTOP = stop_when;
  // A study's own stop goes with an adaptive coupling relaxation; a cold
  // study runs as tarn by hand does.
  state->cpl.IADAPT = stop_when ? 1 : 0;
  Stop stop;
  {
    ConsoleToFile console;
    try {
      open_run_files(a.name);
      write_run_files(a);
      run_tarn(*state, a.name);
    } catch (const RunStop& e) {
      stop = {true, e.what(), e.status};
    } catch (const std::exception& e) {
      stop = {true, e.what(), kExitFailure};
    }
    units().close_all();
  }
  t.judgement = judge(*state, stop);
  if (t.judgement.has_surface) {
    write_surface_table(*state, kSurfaceCsv);
    write_wake_table(*state, kWakeCsv);
  }
  t.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return t;
}

int rank(const std::string& status) { return status == kConverged ? 2 : status == kNotConverged ? 1 : 0; }

// The best try: converged before not converged before failed, then the
// nearest convergence, then one that formed surface values (so that a
// failed point shows the pressures of its last try that had any), the
// later of equals.
size_t best_try(const std::vector<TryRecord>& tries) {
  size_t best = 0;
  for (size_t k = 1; k < tries.size(); ++k) {
    const Judgement &a = tries[k].judgement, &b = tries[best].judgement;
    bool nearer = a.distance < b.distance, as_near = !(a.distance > b.distance);
    if (rank(a.status) > rank(b.status) ||
        (rank(a.status) == rank(b.status) && (nearer || (as_near && a.has_surface >= b.has_surface))))
      best = k;
  }
  return best;
}

Json try_json(const TryRecord& t) {
  return {{"try", t.number},
          {"changes", t.changes},
          {"status", t.judgement.status},
          {"reason", t.judgement.reason},
          {"figures", t.judgement.figures},
          {"seconds", t.seconds},
          {"folder", t.kept ? Json(t.folder) : Json(nullptr)}};
}

PointResult point_result(const Study& s, const Point& p, const std::vector<TryRecord>& tries, size_t best,
                         double seconds) {
  const Judgement& chosen = tries[best].judgement;
  PointResult r;
  r.point = p.number;
  r.conditions = {{"mach", number(p.mach)},
                  {"alpha", p.lift_given ? Json(nullptr) : number(p.alpha)},
                  {"cl", p.lift_given ? number(p.cl) : Json(nullptr)},
                  {"re", s.viscous ? number(s.re) : Json(nullptr)},
                  {"xtu", s.viscous ? number(s.xtu) : Json(nullptr)},
                  {"xtl", s.viscous ? number(s.xtl) : Json(nullptr)},
                  {"viscous", s.viscous},
                  {"grid", s.grid}};
  for (const TryRecord& t : tries) {
    TryResult x;
    x.number = t.number;
    x.changes = t.changes;
    x.status = t.judgement.status;
    x.reason = t.judgement.reason;
    x.advice = t.judgement.advice;
    x.figures = t.judgement.figures;
    x.seconds = t.seconds;
    x.folder = t.kept ? t.folder : std::string();
    r.tries.push_back(x);
  }
  r.has_coefficients = chosen.has_results;
  if (chosen.has_results) r.coefficients = coefficients_from_json(chosen.coefficients);
  r.shocks_upper = chosen.shocks_upper;
  r.shocks_lower = chosen.shocks_lower;
  r.status = verdict_of(chosen.status);
  r.reason = chosen.reason;
  r.advice = chosen.advice;
  r.figures = chosen.figures;
  r.result_try = tries[best].number;
  r.seconds = seconds;
  return r;
}

// The point's own tries as the first pass leaves them for the rescue: every
// try with all that the choice of the best one rests on.
Json first_pass_json(const std::vector<TryRecord>& tries, double seconds) {
  Json list = Json::array();
  for (const TryRecord& t : tries) {
    Json j = try_json(t);
    j["coefficients"] = t.judgement.coefficients;
    j["has_results"] = t.judgement.has_results;
    j["distance"] = number(t.judgement.distance);
    j["transition_moves"] = t.judgement.transition_moves;
    j["has_surface"] = t.judgement.has_surface;
    j["advice"] = t.judgement.advice;
    j["shocks"] = {{"upper", t.judgement.shocks_upper}, {"lower", t.judgement.shocks_lower}};
    list.push_back(j);
  }
  return {{"tries", list}, {"seconds", seconds}};
}

std::vector<TryRecord> first_pass_tries(const Json& j) {
  std::vector<TryRecord> tries;
  for (const Json& x : j.at("tries")) {
    TryRecord t;
    t.number = x.at("try").get<int>();
    t.changes = x.at("changes");
    t.judgement.status = x.at("status").get<std::string>();
    t.judgement.reason = x.at("reason").get<std::string>();
    t.judgement.figures = x.at("figures");
    t.judgement.coefficients = x.at("coefficients");
    t.judgement.has_results = x.at("has_results").get<bool>();
    t.judgement.distance = x.at("distance").is_null() ? INFINITY : x.at("distance").get<float>();
    t.judgement.transition_moves = x.at("transition_moves").get<bool>();
    t.judgement.has_surface = x.at("has_surface").get<bool>();
    t.judgement.advice = x.at("advice").get<std::string>();
    t.judgement.shocks_upper = x.at("shocks").at("upper").get<std::vector<float>>();
    t.judgement.shocks_lower = x.at("shocks").at("lower").get<std::vector<float>>();
    t.seconds = x.at("seconds").get<double>();
    t.folder = x.at("folder").get<std::string>();
    tries.push_back(t);
  }
  return tries;
}

// Runs tries after `tries` (whose last has just ended) in the current folder
// as the retry policy chooses, the starts from neighbours taken in order from
// `starts`; returns what ended them: kNone, or kNeighbour when a start from a
// neighbour was wanted and none was left.
NextTry run_tries(std::vector<TryRecord>& tries, Retries& retries, const TryFiles& of_try,
                  const std::vector<Start>& starts, StageStop stop_when) {
  size_t next = 0;
  for (;;) {
    NextTry kind = next_try(retries, tries, tries.back().folder.empty() && fs::exists(retries.base.name + ".UNF"));
    if (kind == NextTry::kNone || (kind == NextTry::kNeighbour && next == starts.size())) return kind;
    put_away_last(tries, of_try);
    Json changes;
    RunAnswers a;
    if (kind == NextTry::kNeighbour) {
      const Start& s = starts[next++];
      a = retries.last = from_neighbour(retries.base, s.neighbour, s.dump, s.alpha, changes);
    } else {
      a = retry_answers(retries, kind, tries.back(), changes);
    }
    tries.push_back(run_try(a, static_cast<int>(tries.size()) + 1, changes, stop_when));
  }
}

std::string host_and_process() {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  return "process " + std::to_string(getpid()) + " on " + host;
}

// A point folder's contents and what --run-point does with them.
struct PointRun {
  Study s;
  Point p;
  RunAnswers base;
  std::string folder;
  bool keep_tries = false;
  bool finished_now = false;    // the point's result written by this run
  bool first_pass_now = false;  // its own tries run by this run, ended without convergence
};

// The point's own tries (the first pass), or, when they have ended without
// convergence, the starts from its neighbours (the second pass). Returns
// false, with `pending` saying why, when the point is left pending.
bool run_passes(PointRun& r, std::vector<TryRecord>& tries, double& seconds_before, std::string& pending) {
  TryFiles of_try{r.base.name, r.s.aerofoil};
  std::vector<Neighbour> neighbours;
  // Every try of a study stops its stages once the verdict's tests hold, and
  // ends when its coupling cycles; a cold study runs the sweeps of the run
  // files, as tarn by hand does.
  StageStop stop_when = r.s.cold ? nullptr : study_stop;
  if (!fs::exists(kFirstPassFile)) {
    clear_point_folder(of_try);
    Retries retries{r.base, r.base};
    auto start = Clock::now();
    tries.push_back(run_try(r.base, 1, Json::object(), stop_when));
    if (!tries.back().judgement.geometry.empty()) return true;  // no numerics mend a section the mapping missed
    if (run_tries(tries, retries, of_try, {}, stop_when) == NextTry::kNone) return true;
    neighbours = lower_neighbours(r.folder, r.p);
    if (neighbours.empty()) return true;
    put_away_last(tries, of_try);
    seconds_before = std::chrono::duration<double>(Clock::now() - start).count();
    write_json(kFirstPassFile, first_pass_json(tries, seconds_before));
    r.first_pass_now = true;
  } else {
    Json first = read_json(kFirstPassFile);
    tries = first_pass_tries(first);
    seconds_before = first.at("seconds").get<double>();
    neighbours = lower_neighbours(r.folder, r.p);
  }
  std::vector<Start> starts = neighbour_starts(neighbours, pending);
  if (!pending.empty()) return false;
  clear_tries_after(tries.size(), of_try);
  Retries retries = rescue_retries(r.base);
  run_tries(tries, retries, of_try, starts, stop_when);
  return true;
}

int run_point_here(PointRun& r) {
  auto start = Clock::now();
  if (fs::exists(kResultFile)) {
    std::string verdict = read_result(kResultFile).status;
    std::cout << "point " << r.p.number << ": finished already, " << verdict << '\n';
    return kSweepConverged;
  }
  log_point(".", "started by " + host_and_process());
  std::vector<TryRecord> tries;
  double seconds_before = 0.0;
  std::string pending;
  if (!run_passes(r, tries, seconds_before, pending)) {
    log_point(".", pending);
    std::cout << "point " << r.p.number << ": pending, " << pending << '\n';
    // The first pass has done its part; the second cannot yet.
    return r.first_pass_now ? kSweepConverged : kSweepPending;
  }
  size_t best = best_try(tries);
  TryFiles of_try{r.base.name, r.s.aerofoil};
  keep_best_in_place(tries, best, of_try, r.keep_tries);
  double seconds = seconds_before + std::chrono::duration<double>(Clock::now() - start).count();
  write_json(kResultFile, result_json(point_result(r.s, r.p, tries, best, seconds)));
  r.finished_now = true;
  fs::remove(kFirstPassFile);
  const std::string verdict = verdict_of(tries[best].judgement.status);
  std::cout << "point " << r.p.number << ": " << verdict << " (" << tries.size()
            << (tries.size() == 1 ? " try" : " tries") << ")\n";
  return kSweepConverged;
}

}  // namespace

int run_point(const std::string& folder, const PointOptions& o) {
  PointRun r;
  r.folder = fs::absolute(folder).string();  // the neighbours are found from it once in the point folder
  r.keep_tries = o.keep_tries;
  try {
    point_from_json(read_json((fs::path(folder) / kPointFile).string()), r.s, r.p);
  } catch (const std::exception& e) {
    std::cerr << "tarnsweep: " << folder << ": " << e.what() << '\n';
    return kSweepBadInput;
  }
  std::string problem = answers_of(r.s, r.p, r.base);
  if (!problem.empty()) {
    std::cerr << "tarnsweep: " << folder << ": " << problem << '\n';
    return kSweepBadInput;
  }
  std::unique_ptr<FolderLock> lock;
  try {
    lock = std::make_unique<FolderLock>(folder, kPointLock, "running the point", o.wait);
  } catch (const std::exception& e) {
    std::cerr << "tarnsweep: " << e.what() << '\n';
    return kSweepPending;
  }
  StopsLogged stops(folder);
  fs::path home = fs::current_path();
  int status = kSweepPending;
  try {
    fs::current_path(folder);
    status = run_point_here(r);
  } catch (const WriteError& e) {
    log_point(".", std::string(e.what()) + ": " + e.reason);
    std::cerr << "tarnsweep: " << folder << ": " << e.what() << ": " << e.reason << '\n';
  } catch (const std::exception& e) {
    log_point(".", e.what());
    std::cerr << "tarnsweep: " << folder << ": " << e.what() << '\n';
  }
  fs::current_path(home);
  if (r.finished_now) point_finished(folder);
  return status;
}

}  // namespace tarn::sweep
