// The plan of a study: its conditions, the answers that set up each point
// as tarnprep would, and the study folder with one run folder per point and
// the job lists for running the points elsewhere.
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "files.h"

namespace tarn::sweep {

namespace fs = std::filesystem;

namespace {

constexpr float kMillion = 1.0e6f;
constexpr size_t kTitleField = 68;
constexpr size_t kAerofoilField = 12;
constexpr size_t kTitleHead = 36;  // characters of the aerofoil title in a run title

std::string padded(std::string text, size_t width) {
  text.resize(width, ' ');
  return text;
}

std::string run_title(const Study& s, const Point& p) {
  std::string head = s.title.substr(0, kTitleHead);
  head.erase(head.find_last_not_of(' ') + 1);
  std::string t = head + ", M = " + decimal(p.mach) +
                  (p.lift_given ? ", CL = " + decimal(p.cl) : ", ALPHA = " + decimal(p.alpha) + " DEG");
  if (!s.viscous) t += ", INVISCID";
  return t.substr(0, kTitleField);
}

// The conditions a study was asked for, in the ranges tarnprep accepts.
std::string condition_problem(const Study& s, const Point& p) {
  auto in = [](float v, float lo, float hi) { return v >= lo && v <= hi; };
  if (!in(p.mach, kMinMach, kMaxMach)) return "Mach number " + decimal(p.mach) + " outside 0.05 to 0.95";
  if (!in(p.alpha, -kMaxIncidence, kMaxIncidence)) return "incidence " + decimal(p.alpha) + " outside -20 to 20";
  if (p.lift_given && !s.viscous) return "a required lift coefficient needs a viscous run";
  if (p.lift_given && !in(p.cl, kMinLift, kMaxLift)) return "lift coefficient " + decimal(p.cl) + " outside -9999 to 99999";
  if (!s.viscous) return std::string();
  if (!(s.re >= kMinReynoldsMillions * kMillion && std::isfinite(s.re)))
    return "Reynolds number " + decimal(s.re) + " below 1E5";
  if (!in(s.xtu, kMinTransition, kMaxTransition) || !in(s.xtl, kMinTransition, kMaxTransition))
    return "transition outside 0.01 to 1";
  return std::string();
}

// A word for the shell, quoted.
std::string quoted(const std::string& word) {
  std::string q = "'";
  for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string jobs_text(const Study& s, const std::string& dir, const std::string& program) {
  std::string text;
  for (const Point& p : points_of(s))
    text += quoted(program) + " --run-point " + quoted((fs::absolute(dir) / p.folder).string()) + "\n";
  return text;
}

std::string slurm_text(const Study& s, const std::string& dir) {
  std::string folder = fs::absolute(dir).string();
  return "#!/bin/bash\n"
         "# One point of the study per task of a job array: task N runs line N of\n"
         "# jobs.txt. Submit with: sbatch " +
         folder + "/" + kSlurmFile +
         "\n"
         "#SBATCH --job-name=tarnsweep\n"
         "#SBATCH --array=1-" +
         std::to_string(points_of(s).size()) +
         "\n"
         "#SBATCH --ntasks=1\n"
         "#SBATCH --output=" +
         folder +
         "/points/slurm-%a.out\n"
         "set -euo pipefail\n"
         "line=$(sed -n \"${SLURM_ARRAY_TASK_ID}p\" " +
         quoted(folder + "/" + kJobsFile) +
         ")\n"
         "[ -n \"$line\" ] || { echo \"no line $SLURM_ARRAY_TASK_ID in jobs.txt\" >&2; exit 2; }\n"
         "exec bash -c \"$line\"\n";
}

std::string self_program() { return fs::canonical("/proc/self/exe").string(); }

// A study folder may be new, empty, or hold the same study (which is then
// taken up where it was left).
void check_folder(const Study& s, const std::string& dir, const std::string& aerofoil_text) {
  if (!fs::exists(dir)) return;
  if (!fs::is_directory(dir)) throw std::runtime_error(dir + " exists and is not a folder");
  if (!fs::exists(fs::path(dir) / kStudyFile)) {
    if (fs::is_empty(dir)) return;
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
  a.TITLE = padded(run_title(s, p), kTitleField);
  a.viscous = s.viscous ? 1 : 0;
  a.newrun = 1;
  a.input = padded(s.aerofoil, kAerofoilField);
  a.EM = p.mach;
  a.ALP = p.alpha;
  if (s.viscous) {
    a.ICL = p.lift_given ? 1 : 0;
    a.CLC = p.lift_given ? p.cl : 0.0f;
    a.R = s.re;
    a.XTU = s.xtu;
    a.XTL = s.xtl;
  }
  problem = set_numerical_parameter(a, "NSG", static_cast<float>(s.grid));
  if (!problem.empty()) return "--grid " + std::to_string(s.grid) + ": " + problem;
  for (const auto& [name, value] : s.set) {
    problem = set_numerical_parameter(a, name, value);
    if (!problem.empty()) return "--set " + name + "=" + decimal(value) + ": " + problem;
  }
  return std::string();
}

void write_plan(const Study& s, const Aerofoil& aerofoil, const std::string& dir) {
  for (const Point& p : points_of(s)) {
    RunAnswers a;
    std::string problem = answers_of(s, p, a);
    if (!problem.empty()) throw std::invalid_argument(problem);
  }
  const std::string& aerofoil_text = aerofoil.text;
  check_folder(s, dir, aerofoil_text);
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
  write_text((fs::path(dir) / kJobsFile).string(), jobs_text(s, dir, self_program()));
  write_text((fs::path(dir) / kSlurmFile).string(), slurm_text(s, dir));
  fs::permissions(fs::path(dir) / kSlurmFile, fs::perms::owner_exec | fs::perms::group_exec, fs::perm_options::add);
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
