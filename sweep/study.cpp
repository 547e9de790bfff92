// The plan of a study: its conditions, the answers that set up each point
// as tarnprep would, and the study folder with one run folder per point and
// the job lists for running the points elsewhere.
#include <cmath>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "files.h"

namespace tarn::sweep {

namespace fs = std::filesystem;

namespace {

constexpr float kMillion = 1.0e6f;
constexpr int32_t kMostInField = 99999;  // the largest count an I5 field of the run-data file holds
// Free transition: the transition point settles with the layers behind it,
// and a long laminar layer takes more coupling updates to settle than the
// default fine stage holds; a free-transition point starts with this many
// times the fine sweeps (unless --set gives NSF), rather than spending a
// second try on them.
constexpr int32_t kFreeTransitionSweeps = 2;
// Lift targeting: the fine stage keeps the surface-curvature term of the
// coarse stage's last update, so a coarse stage that ends while the incidence
// is still moving leaves that history in the answer (CDP several per cent off
// a fixed-incidence run at the incidence reported). A lift-targeted point
// starts with this many times the coarse sweeps (unless --set gives NSC),
// which are cheap, so that the incidence has settled before refinement.
constexpr int32_t kLiftTargetCoarseSweeps = 4;
constexpr size_t kTitleHead = 36;  // characters of the aerofoil title in a run title

std::string padded(std::string text, size_t width) {
  text.resize(width, ' ');
  return text;
}

std::string run_title(const Study& s, const Point& p) {
  std::string head = utf8_prefix(s.title, kTitleHead);
  head.erase(head.find_last_not_of(' ') + 1);
  std::string t = head + ", M = " + decimal(p.mach) +
                  (p.lift_given ? ", CL = " + decimal(p.cl) : ", ALPHA = " + decimal(p.alpha) + " DEG");
  if (!s.viscous) t += ", INVISCID";
  return utf8_prefix(t, kRunTitleField);
}

// A value in a message: its decimal, or what it is when not finite.
std::string shown(float v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0.0f ? "inf" : "-inf";
  return decimal(v);
}

// The conditions a study was asked for, in the ranges tarnprep accepts.
std::string condition_problem(const Study& s, const Point& p) {
  auto in = [](float v, float lo, float hi) { return v >= lo && v <= hi; };
  if (!in(p.mach, kMinMach, kMaxMach)) return "Mach number " + shown(p.mach) + " outside 0.05 to 0.95";
  if (!in(p.alpha, -kMaxIncidence, kMaxIncidence)) return "incidence " + shown(p.alpha) + " outside -20 to 20";
  if (p.lift_given && !s.viscous) return "a required lift coefficient needs a viscous run";
  if (p.lift_given && !in(p.cl, kMinLift, kMaxLift)) return "lift coefficient " + shown(p.cl) + " outside -9999 to 99999";
  if (!s.viscous) return std::string();
  const float least_re = kMinReynoldsMillions * kMillion, most_re = kMaxReynoldsMillions * kMillion;
  if (!in(s.re, least_re, most_re))
    return "Reynolds number " + shown(s.re) + " outside " + shown(least_re) + " to " + shown(most_re);
  if (!in(s.xtu, kMinTransition, kMaxTransition)) return "upper transition " + shown(s.xtu) + " outside 0.01 to 1";
  if (!in(s.xtl, kMinTransition, kMaxTransition)) return "lower transition " + shown(s.xtl) + " outside 0.01 to 1";
  if (!in(s.ncrit, 0.0f, kMaxNcrit)) return "critical amplification factor " + shown(s.ncrit) + " outside 0 to 20";
  return std::string();
}

// The counts of sweeps that the retries may multiply (kMostSweepsFactor)
// still fit the I5 fields of the run-data file.
std::string sweeps_problem(const RunAnswers& a) {
  const int32_t most = kMostInField / kMostSweepsFactor;
  for (auto [name, count] : {std::pair{"NSC", a.NSC}, {"NSF", a.NSF}})
    if (count > most)
      return "--set " + std::string(name) + "=" + std::to_string(count) + ": outside " +
             (std::string(name) == "NSC" ? "0" : "1") + " to " + std::to_string(most) + " (the retries run up to " +
             std::to_string(kMostSweepsFactor) + " times as many sweeps, and a run-data field holds at most " +
             std::to_string(kMostInField) + ")";
  return std::string();
}

// A word for the shell, quoted: one word and one line whatever it holds
// (control characters are refused before).
std::string shell_word(const std::string& word) {
  std::string q = "'";
  for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

bool has_control_character(const std::string& text) {
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7f) return true;
  return false;
}

// Tasks of a Slurm job array that submit.sh submits at most at once: a
// default Slurm takes array indices up to 1000.
constexpr size_t kArrayTasks = 1000;
constexpr int kSlurmMarginMinutes = 1;  // a task's time limit beyond the point's own

std::string jobs_text(const Study& s, const std::string& folder, const std::string& program, const PointOptions& o) {
  std::string text;
  for (const Point& p : points_of(s))
    text += shell_word(program) + " --run-point " + shell_word(folder + "/" + p.folder) +
            (o.keep_tries ? " --keep-tries" : "") + "\n";
  return text;
}

std::string slurm_text(const std::string& folder, size_t points) {
  return "#!/bin/bash\n"
         "# One point of the study per task of a job array: task N runs line\n"
         "# OFFSET + N of jobs.txt, OFFSET being the argument (0 when none given).\n"
         "# submit.sh submits every point, then the rescues (see there).\n"
         "#SBATCH --job-name=tarnsweep\n"
         "#SBATCH --array=1-" +
         std::to_string(std::min(points, kArrayTasks)) +
         "\n"
         "#SBATCH --ntasks=1\n"
         "#SBATCH --time=" +
         std::to_string(static_cast<int>(kPointTimeLimit / 60.0) + kSlurmMarginMinutes) +
         "\n"
         "set -euo pipefail\n"
         "jobs=" +
         shell_word(folder + "/" + kJobsFile) +
         "\n"
         "task=$(( ${1:-0} + SLURM_ARRAY_TASK_ID ))\n"
         "line=$(sed -n \"${task}p\" \"$jobs\")\n"
         "[ -n \"$line\" ] || { echo \"no line $task in $jobs\" >&2; exit 2; }\n"
         "exec bash -c \"$line\"\n";
}

// A file name for Slurm's --output, whose % starts a pattern.
std::string slurm_name(const std::string& path) {
  std::string name;
  for (char c : path) name += c == '%' ? std::string("%%") : std::string(1, c);
  return name;
}

std::string submit_text(const std::string& folder, size_t points, const std::string& program) {
  std::string collect = shell_word(program) + " --collect " + shell_word(folder);
  return "#!/bin/bash\n"
         "# Submits the study to Slurm: every point in job arrays of at most MAX\n"
         "# tasks (the cluster's MaxArraySize less one; 1000 when not given), then\n"
         "# the same arrays again for the rescues of points that did not converge\n"
         "# on their own tries, after every task of the first (afterany).\n"
         "# Usage: bash submit.sh [MAX]\n"
         "set -euo pipefail\n"
         "dir=" +
         shell_word(folder) +
         "\n"
         "points=" +
         std::to_string(points) +
         "\n"
         "max=${1:-" +
         std::to_string(kArrayTasks) +
         "}\n"
         "out=" +
         shell_word(slurm_name(folder + "/" + kPointsFolder + "/slurm-")) +
         "'%A_%a.out'\n"
         "arrays() {  # after\n"
         "  local ids=\"\" offset count id\n"
         "  for ((offset = 0; offset < points; offset += max)); do\n"
         "    count=$(( points - offset < max ? points - offset : max ))\n"
         "    id=$(sbatch --parsable --array=1-\"$count\" --output=\"$out\" ${1:+--dependency=\"$1\"} "
         "\"$dir/slurm.sh\" \"$offset\")\n"
         "    ids=\"$ids:${id%%;*}\"\n"
         "  done\n"
         "  echo \"$ids\"\n"
         "}\n"
         "first=$(arrays \"\")\n"
         "second=$(arrays \"afterany$first\")\n"
         "echo \"points: jobs ${first#:}; rescues: jobs ${second#:}\"\n"
         "collect=" + shell_word(collect) +
         "\n"
         "printf 'collect when they have ended: sbatch --dependency=afterany%s --wrap=%q\\n' \"$second\" "
         "\"$collect\"\n";
}

std::string self_program() { return fs::canonical("/proc/self/exe").string(); }

// Nothing in the folder but its lock file.
bool is_empty_but_lock(const std::string& dir) {
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename() != kStudyLock) return false;
  return true;
}

// The paths that become words of the plans hold no control characters.
void check_paths(const std::string& dir) {
  std::string problem = path_problem(dir);
  if (!problem.empty()) throw std::runtime_error(problem);
}

// A study folder may be new, empty, or hold the same study (which is then
// taken up where it was left).
void check_folder(const Study& s, const std::string& dir, const std::string& aerofoil_text) {
  if (!fs::exists(dir)) return;
  if (!fs::is_directory(dir)) throw std::runtime_error(dir + " exists and is not a folder");
  if (!fs::exists(fs::path(dir) / kStudyFile)) {
    if (is_empty_but_lock(dir)) return;
    throw std::runtime_error(dir + " holds other files and no study; give a new or empty folder");
  }
  Json asked = study_json(s), held = read_json((fs::path(dir) / kStudyFile).string());
  asked.erase("source");
  held.erase("source");
  if (asked != held) throw std::runtime_error(dir + " holds a different study; give another folder");
  fs::path held_aerofoil = fs::path(dir) / s.aerofoil;
  if (fs::exists(held_aerofoil) && read_text(held_aerofoil.string()) != aerofoil_text)
    throw std::runtime_error(dir + " holds a study of a different " + s.aerofoil + "; give another folder");
}

}  // namespace

std::string path_problem(const std::string& dir) {
  for (const std::string& path : {fs::absolute(dir).string(), self_program()})
    if (has_control_character(path))
      return "the path " + printable(path) + " holds a control character (a newline, a tab, ...): give another";
  return std::string();
}

std::vector<Point> points_of(const Study& s) {
  std::vector<Point> points;
  bool lift = !s.cl.empty();
  for (float mach : s.mach) {
    for (float value : lift ? s.cl : s.alpha) {
      Point p;
      p.number = static_cast<int>(points.size()) + 1;
      p.folder = point_folder(p.number);
      p.mach = mach;
      p.lift_given = lift;
      p.alpha = lift ? 0.0f : value;
      p.cl = lift ? value : 0.0f;
      points.push_back(p);
    }
  }
  return points;
}

std::string answers_of(const Study& s, const Point& p, RunAnswers& a) {
  std::string problem = condition_problem(s, p);
  if (!problem.empty()) return problem;
  a = RunAnswers();
  a.name = run_name(p.number);
  a.TITLE = padded(run_title(s, p), kRunTitleField);
  a.viscous = s.viscous ? 1 : 0;
  a.newrun = 1;
  a.input = padded(s.aerofoil, kInputNameField);
  a.EM = p.mach;
  a.ALP = p.alpha;
  if (s.viscous) {
    a.ICL = p.lift_given ? 1 : 0;
    a.CLC = p.lift_given ? p.cl : 0.0f;
    a.R = s.re;
    a.XTU = s.xtu;
    a.XTL = s.xtl;
    a.NCRIT = s.ncrit;
    if (s.ncrit > 0.0f) a.NSF *= kFreeTransitionSweeps;
    if (p.lift_given) a.NSC *= kLiftTargetCoarseSweeps;
  }
  problem = set_numerical_parameter(a, "NSG", static_cast<float>(s.grid));
  if (!problem.empty()) return "--grid " + std::to_string(s.grid) + ": " + problem;
  for (const auto& [name, value] : s.set) {
    problem = set_numerical_parameter(a, name, value);
    if (!problem.empty()) return "--set " + name + "=" + shown(value) + ": " + problem;
  }
  return sweeps_problem(a);
}

std::unique_ptr<FolderLock> lock_study(const Study& s, const Aerofoil& aerofoil, const std::string& dir, bool wait) {
  // A folder holding another study is refused before anything is written;
  // the folder is checked again under the lock, which another process may
  // hold while it writes its plan.
  check_paths(dir);
  if (fs::exists(fs::path(dir) / kStudyFile) || (fs::exists(dir) && !fs::is_directory(dir)))
    check_folder(s, dir, aerofoil.text);
  fs::create_directories(dir);
  auto lock = std::make_unique<FolderLock>(dir, kStudyLock, "a study", wait);
  check_folder(s, dir, aerofoil.text);
  return lock;
}

void write_plan(const Study& s, const Aerofoil& aerofoil, const std::string& dir, const PointOptions& o) {
  for (const Point& p : points_of(s)) {
    RunAnswers a;
    std::string problem = answers_of(s, p, a);
    if (!problem.empty()) throw std::invalid_argument(problem);
  }
  const std::string& aerofoil_text = aerofoil.text;
  fs::create_directories(fs::path(dir) / kPointsFolder);
  write_text((fs::path(dir) / s.aerofoil).string(), aerofoil_text);
  write_json((fs::path(dir) / kStudyFile).string(), study_json(s));
  for (const Point& p : points_of(s)) {
    fs::path folder = fs::path(dir) / p.folder;
    if (fs::exists(folder / kResultFile)) continue;
    fs::create_directories(folder);
    write_text((folder / s.aerofoil).string(), aerofoil_text);
    write_json((folder / kPointFile).string(), point_json(s, p));
  }
  std::string folder = fs::absolute(dir).lexically_normal().string();
  size_t points = points_of(s).size();
  write_text((fs::path(dir) / kJobsFile).string(), jobs_text(s, folder, self_program(), o));
  write_text((fs::path(dir) / kSlurmFile).string(), slurm_text(folder, points));
  write_text((fs::path(dir) / kSubmitFile).string(), submit_text(folder, points, self_program()));
  for (const std::string& script : {kSlurmFile, kSubmitFile})
    fs::permissions(fs::path(dir) / script, fs::perms::owner_exec | fs::perms::group_exec, fs::perm_options::add);
}

Study read_study(const std::string& dir) {
  fs::path file = fs::path(dir) / kStudyFile;
  if (!fs::exists(file)) throw std::runtime_error(dir + " holds no study (" + kStudyFile + " is missing)");
  try {
    return study_from_json(read_json(file.string()));
  } catch (const Json::exception& e) {
    throw std::runtime_error(file.string() + ": " + e.what());
  }
}

}  // namespace tarn::sweep
