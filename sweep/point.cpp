// One point of a study, run in this process: the run files are written by
// tarnprep's writer into the point folder and the solver runs there, as a
// user would run it by hand. A try that does not converge is followed by
// the tries the retry policy chooses (retry.cpp, rescue.cpp); each try is
// kept, earlier ones in try1/, try2/, ... (point_folder.cpp). The point's
// results are those of its best try, whose files are left in the point
// folder itself.
#include "point.h"

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

TryRecord run_try(const RunAnswers& a, int number, const Json& changes) {
  TryRecord t;
  t.number = number;
  t.changes = changes;
  auto start = Clock::now();
  auto state = std::make_unique<FlowState>();
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
  if (t.judgement.has_results) {
    write_surface_table(*state, kSurfaceCsv);
    write_wake_table(*state, kWakeCsv);
  }
  t.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return t;
}

int rank(const std::string& status) { return status == kConverged ? 2 : status == kNotConverged ? 1 : 0; }

// The best try: converged before not converged before failed, then the
// nearest convergence, the later of equals.
size_t best_try(const std::vector<TryRecord>& tries) {
  size_t best = 0;
  for (size_t k = 1; k < tries.size(); ++k) {
    const Judgement &a = tries[k].judgement, &b = tries[best].judgement;
    if (rank(a.status) > rank(b.status) || (rank(a.status) == rank(b.status) && !(a.distance > b.distance))) best = k;
  }
  return best;
}

Json result_json(const Study& s, const Point& p, const std::vector<TryRecord>& tries, size_t best, double seconds) {
  const Judgement& chosen = tries[best].judgement;
  Json conditions = {{"mach", number(p.mach)},
                     {"alpha", p.lift_given ? Json(nullptr) : number(p.alpha)},
                     {"cl", p.lift_given ? number(p.cl) : Json(nullptr)},
                     {"re", s.viscous ? number(s.re) : Json(nullptr)},
                     {"xtu", s.viscous ? number(s.xtu) : Json(nullptr)},
                     {"xtl", s.viscous ? number(s.xtl) : Json(nullptr)},
                     {"viscous", s.viscous},
                     {"grid", s.grid}};
  Json list = Json::array();
  for (const TryRecord& t : tries)
    list.push_back({{"try", t.number},
                    {"changes", t.changes},
                    {"status", t.judgement.status},
                    {"reason", t.judgement.reason},
                    {"figures", t.judgement.figures},
                    {"seconds", t.seconds},
                    {"folder", t.folder}});
  Json j;
  j["point"] = p.number;
  j["conditions"] = conditions;
  j["coefficients"] = chosen.has_results ? chosen.coefficients : Json(nullptr);
  j["verdict"] = {{"status", verdict_of(chosen.status)}, {"reason", chosen.reason}, {"figures", chosen.figures}};
  j["tries"] = list;
  j["result_try"] = tries[best].number;
  j["seconds"] = seconds;
  return j;
}

// Runs the point's tries in the current folder; the answers of the first
// are the point's own.
std::vector<TryRecord> run_tries(const RunAnswers& base, const TryFiles& of_try,
                                 const std::vector<Neighbour>& neighbours) {
  std::vector<TryRecord> tries;
  Retries retries{base, base};
  tries.push_back(run_try(base, 1, Json::object()));
  size_t next = 0;
  for (;;) {
    NextTry kind = next_try(retries, tries, fs::exists(base.name + ".UNF"));
    if (kind == NextTry::kNone) break;
    const Neighbour* start = nullptr;
    fs::path dump;
    float alpha = 0.0f;
    for (; kind == NextTry::kNeighbour && !start && next < neighbours.size(); ++next)
      if (converged_dump(neighbours[next], dump, alpha)) start = &neighbours[next];
    if (kind == NextTry::kNeighbour && !start) break;
    TryRecord& t = tries.back();
    t.folder = try_folder(t.number);
    move_try_files(".", t.folder, of_try);
    Json changes;
    RunAnswers a;
    if (kind == NextTry::kNeighbour)
      a = retries.last = from_neighbour(base, *start, dump, alpha, changes);
    else
      a = retry_answers(retries, kind, t, changes);
    tries.push_back(run_try(a, static_cast<int>(tries.size()) + 1, changes));
  }
  return tries;
}

}  // namespace

int run_point(const std::string& folder) {
  auto start = Clock::now();
  Study s;
  Point p;
  RunAnswers base;
  try {
    point_from_json(read_json((fs::path(folder) / kPointFile).string()), s, p);
  } catch (const std::exception& e) {
    std::cerr << "tarnsweep: " << folder << ": " << e.what() << '\n';
    return kSweepBadInput;
  }
  std::string problem = answers_of(s, p, base);
  if (!problem.empty()) {
    std::cerr << "tarnsweep: " << folder << ": " << problem << '\n';
    return kSweepBadInput;
  }
  std::vector<Neighbour> neighbours = lower_neighbours(folder, p);
  fs::path home = fs::current_path();
  fs::current_path(folder);
  if (fs::exists(kResultFile)) {
    std::string verdict = read_json(kResultFile).at("verdict").at("status").get<std::string>();
    std::cout << "point " << p.number << ": finished already, " << verdict << '\n';
    fs::current_path(home);
    return verdict == kConverged ? kSweepConverged : kSweepMissed;
  }
  TryFiles of_try{base.name, s.aerofoil};
  clear_point_folder(of_try);
  std::vector<TryRecord> tries = run_tries(base, of_try, neighbours);
  size_t best = best_try(tries);
  keep_best_in_place(tries, best, of_try);
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  write_json(kResultFile, result_json(s, p, tries, best, seconds));
  fs::current_path(home);
  point_finished(folder);
  const std::string verdict = verdict_of(tries[best].judgement.status);
  std::cout << "point " << p.number << ": " << verdict << " (" << tries.size()
            << (tries.size() == 1 ? " try" : " tries") << ")\n";
  return verdict == kConverged ? kSweepConverged : kSweepMissed;
}

}  // namespace tarn::sweep
