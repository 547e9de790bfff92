// One point of a study, run in this process: the run files are written by
// tarnprep's writer into the point folder and the solver runs there, as a
// user would run it by hand. A try that does not converge is followed by
// tries with safer numerics; each try is kept, earlier ones in try1/,
// try2/, ... The point's results are those of its best try, whose files are
// left in the point folder itself.
#include "point.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <regex>
#include <thread>

#include "run/run.h"
#include "units.h"

namespace tarn::sweep {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// The retries. A try whose transition point was still moving ends them:
// that cycle settles with no numerics. A try that ended with results but
// did not converge is continued from the flow field it dumped, with its own
// numerics and a longer fine stage, unless, itself a continuation, it came
// too little nearer convergence.
// Otherwise a new run follows with safer numerics: the over-relaxation XS
// falls to these values (never rising), the coarse and fine stages grow by
// these factors (a coarse stage of at least kLeastCoarse sweeps), the
// coupling factors shrink by these.
struct Safer {
  float xs;
  int32_t sweeps;  // factor on NSC and NSF
  float coupling;  // factor on GVISCC and GVISCF
};
const Safer kSafer[] = {{1.7f, 2, 0.5f}, {1.5f, 3, 0.25f}, {1.3f, 4, 0.25f}};
constexpr int32_t kLeastCoarse = 100;
constexpr int32_t kContinuedSweeps = 2;  // a continuation's fine stage, in fine stages of the point
constexpr size_t kMostTries = 12;
// A continuation is continued again only when it brought the run at least
// this much nearer convergence (its distance this share of the one before).
constexpr float kProgress = 0.5f;
// When the safer numerics fail too, the run starts again from the converged
// flow field of a neighbouring point of the study (the next-lower incidence
// or lift at the same Mach number, then the next-lower Mach number): its
// shock and boundary layer lie near this point's, where a start from the
// free stream overshoots. Its fine stage is kNeighbourSweeps fine stages of
// the point, with XS at most kNeighbourXs and the fine coupling factor
// shrunk by kNeighbourCoupling.
constexpr int32_t kNeighbourSweeps = 4;
constexpr float kNeighbourXs = 1.7f;
constexpr float kNeighbourCoupling = 0.5f;
// A neighbour still running is waited for, this long at most, so that the
// point's result does not hang on which of the two finished first.
constexpr double kNeighbourWait = 300.0;
constexpr auto kNeighbourPoll = std::chrono::milliseconds(100);

// Files of a try in the point folder: those named after the run (its run
// files, listings and dumps), and the tables and console written beside them.
struct TryFiles {
  std::string name, aerofoil;
  bool operator()(const fs::path& file) const {
    std::string f = file.filename().string();
    return (f.rfind(name, 0) == 0 && f != aerofoil) || f == kSurfaceCsv || f == kWakeCsv || f == kConsoleFile;
  }
};

bool is_try_folder(const fs::path& p) {
  static const std::regex kTry("try[0-9]+");
  return fs::is_directory(p) && std::regex_match(p.filename().string(), kTry);
}

std::string try_folder(int n) { return "try" + std::to_string(n); }

// Leaves the point folder as planned: what an interrupted earlier attempt
// left is removed.
void clear_point_folder(const TryFiles& of_try) {
  for (const auto& e : fs::directory_iterator(".")) {
    if (is_try_folder(e.path()))
      fs::remove_all(e.path());
    else if (of_try(e.path()) || e.path().filename() == kResultFile)
      fs::remove(e.path());
  }
}

void move_try_files(const fs::path& from, const fs::path& to, const TryFiles& of_try) {
  fs::create_directories(to);
  for (const auto& e : fs::directory_iterator(from))
    if (e.is_regular_file() && of_try(e.path())) fs::rename(e.path(), to / e.path().filename());
}

// The solver's console goes to console.txt while a try runs.
class ConsoleToFile {
 public:
  ConsoleToFile() {
    std::cout.flush();
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    int fd = open(kConsoleFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      dup2(fd, STDOUT_FILENO);
      close(fd);
    }
  }
  ~ConsoleToFile() {
    std::cout.flush();
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

struct TryRecord {
  int number = 0;
  Json changes;  // what differs from the point's own answers
  Judgement judgement;
  double seconds = 0.0;
  std::string folder;  // where its files are at the end
};

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

// Puts the best try's files in the point folder and the last try's into its
// own try folder.
void keep_best_in_place(std::vector<TryRecord>& tries, size_t best, const TryFiles& of_try) {
  TryRecord& last = tries.back();
  last.folder = try_folder(last.number);
  if (best + 1 != tries.size()) {
    move_try_files(".", last.folder, of_try);
    move_try_files(tries[best].folder, ".", of_try);
    fs::remove_all(tries[best].folder);
  }
  tries[best].folder = ".";
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

// A new run with the safer numerics of rung `rung`.
RunAnswers safer_run(const RunAnswers& base, const Safer& r, Json& changes) {
  RunAnswers a = base;
  std::vector<std::pair<const char*, float>> c = {
      {"XS", std::min(base.XS, r.xs)},
      {"NSC", static_cast<float>(std::max(base.NSC, kLeastCoarse) * r.sweeps)},
      {"NSF", static_cast<float>(base.NSF * r.sweeps)}};
  if (base.viscous == 1) {
    c.emplace_back("GVISCC", base.GVISCC * r.coupling);
    c.emplace_back("GVISCF", base.GVISCF * r.coupling);
  }
  changes = Json::object();
  for (const auto& [name, value] : c) {
    set_numerical_parameter(a, name, value);
    changes[name] = number(value);
  }
  return a;
}

// A run of answers `from` continued from a dump copied in beside the run
// files as `copy`: a fine stage of `nsf` sweeps and no coarse stage.
RunAnswers continued_from(const RunAnswers& from, const fs::path& dump, const std::string& copy, int32_t nsf) {
  fs::copy_file(dump, copy, fs::copy_options::overwrite_existing);
  RunAnswers a = from;
  a.newrun = 0;
  a.input = copy;
  a.NSC = 0;
  a.NSF = nsf;
  return a;
}

// A continuation of try `t` (run with answers `from`) from the field it
// dumped, copied in as NAMETk.UNF.
RunAnswers continuation(const RunAnswers& base, const RunAnswers& from, const TryRecord& t, Json& changes) {
  RunAnswers a = continued_from(from, fs::path(t.folder) / (from.name + ".UNF"),
                                from.name + "T" + std::to_string(t.number) + ".UNF", base.NSF * kContinuedSweeps);
  changes = {{"continue_from_try", t.number}, {"NSC", a.NSC}, {"NSF", a.NSF}};
  if (a.XS != base.XS) changes["XS"] = number(a.XS);
  if (a.GVISCF != base.GVISCF) changes["GVISCF"] = number(a.GVISCF);
  if (a.ICL == 1) {
    // Lift targeting goes on from the incidence the try reached.
    a.ALP = t.judgement.coefficients.at("alpha").get<float>();
    changes["ALP"] = number(a.ALP);
  }
  return a;
}

// A point of the same study whose converged flow field may start this one.
struct Neighbour {
  int number = 0;
  fs::path folder;   // absolute
  std::string name;  // its run name
  std::string tag;   // ending of the name its dump is copied under: NA next-lower incidence or lift, NM Mach number
};

float swept_value(const Point& p) { return p.lift_given ? p.cl : p.alpha; }

// The neighbours of a point in the study folder holding it, nearest first;
// none when the point folder is not in a study folder.
std::vector<Neighbour> lower_neighbours(const std::string& folder, const Point& p) {
  fs::path dir = fs::absolute(folder).lexically_normal().parent_path().parent_path();
  std::vector<Point> points;
  try {
    if (fs::exists(dir / kStudyFile)) points = points_of(read_study(dir.string()));
  } catch (const std::exception&) {
    return {};
  }
  const Point *in_value = nullptr, *in_mach = nullptr;
  for (const Point& q : points) {
    if (q.mach == p.mach && swept_value(q) < swept_value(p) && (!in_value || swept_value(q) > swept_value(*in_value)))
      in_value = &q;
    if (swept_value(q) == swept_value(p) && q.mach < p.mach && (!in_mach || q.mach > in_mach->mach)) in_mach = &q;
  }
  std::vector<Neighbour> n;
  for (auto [q, tag] : {std::pair{in_value, "NA"}, {in_mach, "NM"}})
    if (q) n.push_back({q->number, dir / q->folder, run_name(q->number), tag});
  return n;
}

// The dump of a neighbour that converged, and the incidence it reached,
// once its result is written (waited for while it runs).
bool converged_dump(const Neighbour& n, fs::path& dump, float& alpha) {
  fs::path result = n.folder / kResultFile;
  auto start = Clock::now();
  auto running = [&] { return fs::exists(n.folder / (n.name + ".NAM")) || fs::exists(n.folder / try_folder(1)); };
  while (!fs::exists(result) && running() &&
         std::chrono::duration<double>(Clock::now() - start).count() < kNeighbourWait)
    std::this_thread::sleep_for(kNeighbourPoll);
  dump = n.folder / (n.name + ".UNF");
  try {
    Json r = read_json(result.string());
    if (r.at("verdict").at("status") != kConverged || !fs::exists(dump)) return false;
    alpha = r.at("coefficients").at("alpha").get<float>();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// A continuation from a neighbour's dump, copied in beside the run files.
RunAnswers from_neighbour(const RunAnswers& base, const Neighbour& n, const fs::path& dump, float alpha,
                          Json& changes) {
  RunAnswers a = continued_from(base, dump, base.name + n.tag + ".UNF", base.NSF * kNeighbourSweeps);
  a.XS = std::min(base.XS, kNeighbourXs);
  changes = {{"continue_from_point", n.number}, {"NSC", a.NSC}, {"NSF", a.NSF}, {"XS", number(a.XS)}};
  if (base.viscous == 1) {
    a.GVISCF = base.GVISCF * kNeighbourCoupling;
    changes["GVISCF"] = number(a.GVISCF);
  }
  if (a.ICL == 1) {
    a.ALP = alpha;
    changes["ALP"] = number(a.ALP);
  }
  return a;
}

// Runs the point's tries in the current folder; the answers of the first
// are the point's own.
std::vector<TryRecord> run_tries(const RunAnswers& base, const TryFiles& of_try,
                                 const std::vector<Neighbour>& neighbours) {
  std::vector<TryRecord> tries;
  RunAnswers last = base;
  tries.push_back(run_try(base, 1, Json::object()));
  size_t rung = 0, next = 0;
  while (tries.size() < kMostTries && tries.back().judgement.status != kConverged) {
    TryRecord& t = tries.back();
    bool continued = t.judgement.has_results && fs::exists(base.name + ".UNF");
    if (t.judgement.transition_moves) break;  // a switching transition settles with no numerics
    bool stalled = continued && t.changes.contains("continue_from_try") &&
                   !(t.judgement.distance <= kProgress * tries[tries.size() - 2].judgement.distance);
    bool own = continued && !stalled, safer = !own && rung < std::size(kSafer);
    const Neighbour* start = nullptr;
    fs::path dump;
    float alpha = 0.0f;
    for (; !own && !safer && !start && next < neighbours.size(); ++next)
      if (converged_dump(neighbours[next], dump, alpha)) start = &neighbours[next];
    if (!own && !safer && !start) break;
    t.folder = try_folder(t.number);
    move_try_files(".", t.folder, of_try);
    Json changes;
    RunAnswers a = own      ? continuation(base, last, t, changes)
                   : safer ? safer_run(base, kSafer[rung++], changes)
                           : from_neighbour(base, *start, dump, alpha, changes);
    tries.push_back(run_try(a, static_cast<int>(tries.size()) + 1, changes));
    last = a;
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
