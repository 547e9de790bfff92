// One point of a study, run in this process: the run files are written by
// tarnprep's writer into the point folder and the solver runs there, as a
// user would run it by hand. A try that does not converge is followed by
// tries with safer numerics; each try is kept, earlier ones in try1/,
// try2/, ... The point's results are those of its best try, whose files are
// left in the point folder itself.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <regex>

#include "point.h"
#include "run/run.h"
#include "units.h"

namespace tarn::sweep {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// The retries: each with safer numerics than the one before, taken from the
// point's own numerics. The over-relaxation XS falls to these values (never
// rising), the coarse and fine stages grow by these factors (a coarse stage
// of at least kLeastCoarse sweeps), the coupling factors shrink by these.
struct Retry {
  float xs;
  int32_t sweeps;     // factor on NSC and NSF
  float coupling;     // factor on GVISCC and GVISCF
};
const Retry kRetries[] = {{1.7f, 2, 0.5f}, {1.5f, 3, 0.25f}};
constexpr int32_t kLeastCoarse = 100;

using Changes = std::vector<std::pair<std::string, float>>;

Changes retry_changes(const RunAnswers& a, const Retry& r) {
  Changes c = {{"XS", std::min(a.XS, r.xs)},
               {"NSC", static_cast<float>(std::max(a.NSC, kLeastCoarse) * r.sweeps)},
               {"NSF", static_cast<float>(a.NSF * r.sweeps)}};
  if (a.viscous == 1) {
    c.emplace_back("GVISCC", a.GVISCC * r.coupling);
    c.emplace_back("GVISCF", a.GVISCF * r.coupling);
  }
  return c;
}

// Files of a try in the point folder: those of the run name, and the tables
// and console written beside them.
bool belongs_to_try(const fs::path& file, const std::string& name) {
  std::string f = file.filename().string();
  return f.rfind(name + ".", 0) == 0 || f == kSurfaceCsv || f == kWakeCsv || f == kConsoleFile;
}

bool is_try_folder(const fs::path& p) {
  static const std::regex kTry("try[0-9]+");
  return fs::is_directory(p) && std::regex_match(p.filename().string(), kTry);
}

std::string try_folder(int n) { return "try" + std::to_string(n); }

// Leaves the point folder as planned: what an interrupted earlier attempt
// left is removed.
void clear_point_folder(const std::string& name) {
  for (const auto& e : fs::directory_iterator(".")) {
    if (is_try_folder(e.path())) fs::remove_all(e.path());
    else if (belongs_to_try(e.path(), name) || e.path().filename() == kResultFile) fs::remove(e.path());
  }
}

void move_try_files(const fs::path& from, const fs::path& to, const std::string& name) {
  fs::create_directories(to);
  for (const auto& e : fs::directory_iterator(from))
    if (e.is_regular_file() && belongs_to_try(e.path(), name)) fs::rename(e.path(), to / e.path().filename());
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
  Changes changes;
  Judgement judgement;
  double seconds = 0.0;
  std::string folder;  // where its files are at the end
};

TryRecord run_try(const RunAnswers& a, int number, const Changes& changes) {
  TryRecord t;
  t.number = number;
  t.changes = changes;
  auto start = Clock::now();
  auto state = std::make_unique<FlowState>();
  Stop stop;
  {
    ConsoleToFile console;
    try {
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

// The best try: converged before not converged before failed, the later of equals.
size_t best_try(const std::vector<TryRecord>& tries) {
  size_t best = 0;
  for (size_t k = 1; k < tries.size(); ++k)
    if (rank(tries[k].judgement.status) >= rank(tries[best].judgement.status)) best = k;
  return best;
}

// Puts the best try's files in the point folder and the last try's into its
// own try folder.
void keep_best_in_place(std::vector<TryRecord>& tries, size_t best, const std::string& name) {
  for (TryRecord& t : tries) t.folder = try_folder(t.number);
  TryRecord& last = tries.back();
  if (best + 1 != tries.size()) {
    move_try_files(".", last.folder, name);
    move_try_files(tries[best].folder, ".", name);
    fs::remove_all(tries[best].folder);
  }
  tries[best].folder = ".";
}

Json changes_json(const Changes& c) {
  Json j = Json::object();
  for (const auto& [name, value] : c) j[name] = number(value);
  return j;
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
                    {"changes", changes_json(t.changes)},
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
std::vector<TryRecord> run_tries(const RunAnswers& base) {
  std::vector<TryRecord> tries;
  tries.push_back(run_try(base, 1, {}));
  for (const Retry& r : kRetries) {
    if (tries.back().judgement.status == kConverged) break;
    move_try_files(".", try_folder(tries.back().number), base.name);
    RunAnswers a = base;
    Changes changes = retry_changes(base, r);
    for (const auto& [name, value] : changes) set_numerical_parameter(a, name, value);
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
  fs::path home = fs::current_path();
  fs::current_path(folder);
  if (fs::exists(kResultFile)) {
    std::string verdict = read_json(kResultFile).at("verdict").at("status").get<std::string>();
    std::cout << "point " << p.number << ": finished already, " << verdict << '\n';
    fs::current_path(home);
    return verdict == kConverged ? kSweepConverged : kSweepMissed;
  }
  clear_point_folder(base.name);
  std::vector<TryRecord> tries = run_tries(base);
  size_t best = best_try(tries);
  keep_best_in_place(tries, best, base.name);
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
