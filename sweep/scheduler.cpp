// Running the points of a study on this machine: each point in its own
// process (tarnsweep --run-point), `jobs` at a time, with a progress line.
// The points' own tries come first; the rescues of points that did not
// converge on their own follow as a second pass, once every neighbour's own
// tries have ended, so that no result depends on the order the points ran.
// Each child runs in its own process group, so that Ctrl-C at the terminal
// reaches only the study, which stops its children itself, and ends when the
// study ends, however it ends. A point stopped, killed or never started is
// left pending, with the reason in its log; the same command run again
// takes up the pending points.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>

#include "point.h"

namespace tarn::sweep {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// A point normally stops itself at its time limit; one that does not is
// killed this long after.
constexpr double kTimeLimitGrace = 30.0;
constexpr long kRefreshMicroseconds = 250000;  // progress line refreshed this often
constexpr int kLogLines = 10;                  // progress lines in a log
constexpr int kExecFailed = 127;               // a child that could not start the program

volatile sig_atomic_t g_interrupted = 0;

void on_interrupt(int) { g_interrupted = 1; }
void on_alarm(int) {}

struct Running {
  Point point;
  Clock::time_point start;
  std::string stopped;  // why the study stopped the point (empty while it runs on)
};

struct Tally {
  int done = 0, converged = 0, failed = 0, pending = 0;
};

// Signal handlers that interrupt waitpid, so that the loop can refresh the
// progress line and notice Ctrl-C; restored on destruction.
class Signals {
 public:
  Signals() {
    struct sigaction a {};
    a.sa_handler = on_interrupt;
    sigemptyset(&a.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &a, &old_[s]);
    a.sa_handler = on_alarm;
    sigaction(SIGALRM, &a, &old_[SIGALRM]);
    itimerval t{{0, kRefreshMicroseconds}, {0, kRefreshMicroseconds}};
    setitimer(ITIMER_REAL, &t, nullptr);
  }
  ~Signals() {
    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGALRM}) sigaction(s, &old_[s], nullptr);
  }

 private:
  struct sigaction old_[NSIG] {};
};

// tarnsweep --run-point FOLDER in a new process group of its own, with no
// terminal input or output, ended (SIGTERM) when this process ends.
pid_t spawn_point(const std::string& program, const fs::path& folder, const PointOptions& o) {
  std::vector<std::string> args = {program, "--run-point", folder.string()};
  if (o.keep_tries) args.emplace_back("--keep-tries");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(kSweepPending);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    close(null);
    execv(argv[0], argv.data());
    _exit(kExecFailed);
  }
  if (pid > 0) setpgid(pid, pid);  // from here too, so that a stop right away reaches the group
  return pid;
}

std::string ended_how(int status) {
  if (WIFSIGNALED(status))
    return "the point's process ended by signal " + std::to_string(WTERMSIG(status)) + " (" +
           strsignal(WTERMSIG(status)) + ") before its result";
  if (WEXITSTATUS(status) == kExecFailed) return "the point's process could not start the program";
  return std::string();  // the point logged why itself
}


// The progress line, rewritten in place on a terminal; elsewhere (a log)
// a whole line at every tenth of the points.
class Progress {
 public:
  explicit Progress(int total)
      : total_(total),
        terminal_(isatty(STDERR_FILENO) == 1),
        step_(std::max(1, total / kLogLines)),
        start_(Clock::now()) {}

  void show(const Tally& t, int retrying) {
    int ended = t.done + t.pending;
    if (!terminal_ && (ended < logged_ + step_ || ended == logged_)) return;
    double elapsed = seconds();
    std::string left =
        t.done > 0 ? "about " + clock_text(elapsed / t.done * (total_ - ended)) + " left" : "time left unknown";
    std::string pending = t.pending > 0 ? std::to_string(t.pending) + " pending, " : std::string();
    std::fprintf(stderr, "%s%d/%d done, %d converged, %d retrying, %d failed, %s%s%s", terminal_ ? "\r" : "", t.done,
                 total_, t.converged, retrying, t.failed, pending.c_str(), left.c_str(), terminal_ ? "   " : "\n");
    std::fflush(stderr);
    logged_ = ended;
  }
  void end() {
    if (terminal_) std::fputc('\n', stderr);
  }
  double seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

 private:
  int total_;
  bool terminal_;
  int step_, logged_ = 0;
  Clock::time_point start_;
};

void count_result(const fs::path& result, Tally& t) {
  ++t.done;
  std::string verdict;
  try {
    verdict = read_result(result.string()).status;
  } catch (const std::exception&) {
    verdict = kFailed;
  }
  if (verdict == kConverged) ++t.converged;
  if (verdict == kFailed) ++t.failed;
}

// The children of a study; whatever ends the study ends them (a stop of
// their process groups, then waiting for them).
class Children {
 public:
  ~Children() {
    for (auto& [pid, r] : running) kill(-pid, SIGTERM);
    for (auto& [pid, r] : running) waitpid(pid, nullptr, 0);
  }
  std::map<pid_t, Running> running;
};

class Scheduler {
 public:
  Scheduler(const std::string& dir, int jobs, const PointOptions& o, int total)
      : dir_(dir), jobs_(jobs), options_(o), program_(fs::canonical("/proc/self/exe").string()), progress_(total) {}

  // Runs the points; false when the study was interrupted.
  bool run(const std::vector<Point>& points) {
    size_t next = 0;
    while (next < points.size() || !children_.running.empty()) {
      if (g_interrupted && children_.running.empty()) return false;
      while (!g_interrupted && !cannot_start_ && static_cast<int>(children_.running.size()) < jobs_ &&
             next < points.size())
        if (!start(points[next], next)) break;
      if (cannot_start_ && children_.running.empty()) return false;
      if (children_.running.empty() && next < points.size()) continue;
      if (g_interrupted) stop_all("the study was interrupted");
      int status = 0;
      pid_t pid = waitpid(-1, &status, 0);
      if (pid > 0 && children_.running.count(pid)) ended(pid, status);
      stop_overdue();
      show();
    }
    return !g_interrupted && !cannot_start_;
  }
  const Tally& tally() const { return tally_; }
  // Why the study stopped starting points; empty when it did not.
  std::string stopped() const {
    return g_interrupted ? "interrupted" : cannot_start_ ? "the program could not be started" : std::string();
  }
  Progress& progress() { return progress_; }

 private:
  fs::path folder(const Point& p) const { return fs::path(dir_) / p.folder; }

  // Starts a point; false when no process can be started now (it is then
  // tried again once a running point ends, or left pending when none runs).
  bool start(const Point& p, size_t& next) {
    pid_t pid = spawn_point(program_, fs::absolute(folder(p)), options_);
    if (pid < 0) {
      if (!children_.running.empty()) return false;
      log_point(folder(p).string(), std::string("the point's process could not be started: ") + std::strerror(errno));
      ++tally_.pending;
      ++next;
      return true;
    }
    children_.running[pid] = Running{p, Clock::now(), std::string()};
    ++next;
    return true;
  }

  void ended(pid_t pid, int status) {
    Running r = children_.running[pid];
    children_.running.erase(pid);
    fs::path result = folder(r.point) / kResultFile;
    if (fs::exists(result)) {
      count_result(result, tally_);
      return;
    }
    if (fs::exists(folder(r.point) / kFirstPassFile) && WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
    // A program that cannot be started (being reinstalled, say) would only
    // leave every point after it pending as well.
    if (WIFEXITED(status) && WEXITSTATUS(status) == kExecFailed) cannot_start_ = true;
    std::string why = !r.stopped.empty() ? r.stopped : ended_how(status);
    if (!why.empty()) log_point(folder(r.point).string(), why);
    ++tally_.pending;
  }

  void stop_all(const std::string& why) {
    for (auto& [pid, r] : children_.running)
      if (r.stopped.empty()) {
        r.stopped = "stopped before its result: " + why;
        kill(-pid, SIGTERM);
      }
  }

  void stop_overdue() {
    for (auto& [pid, r] : children_.running)
      if (r.stopped.empty() &&
          std::chrono::duration<double>(Clock::now() - r.start).count() > kPointTimeLimit + kTimeLimitGrace) {
        r.stopped = time_limit_reason();
        kill(-pid, SIGKILL);
      }
  }

  void show() {
    int retrying = 0;
    for (const auto& [id, r] : children_.running) retrying += fs::exists(folder(r.point) / try_folder(1)) ? 1 : 0;
    progress_.show(tally_, retrying);
  }

  std::string dir_;
  int jobs_;
  PointOptions options_;
  std::string program_;
  Progress progress_;
  Tally tally_;
  bool cannot_start_ = false;
  Children children_;
};

// The points of a study that have no result: those whose own tries are to
// run (first pass), or those awaiting their rescue (second pass).
std::vector<Point> points_to_run(const Study& s, const std::string& dir, bool second_pass) {
  std::vector<Point> points;
  for (const Point& p : points_of(s)) {
    fs::path folder = fs::path(dir) / p.folder;
    if (!fs::exists(folder / kResultFile) && fs::exists(folder / kFirstPassFile) == second_pass) points.push_back(p);
  }
  return points;
}

// The points likely to take longest first: the highest incidence or lift,
// then the highest Mach number (the points nearest stall and the transonic
// ones, which retry), so that the last points to end are short ones and
// every job is busy nearly to the end. The order changes no result: a
// point's tries depend on its own folder only, and a rescue waits for its
// neighbours' own tries.
void longest_first(std::vector<Point>& points) {
  std::stable_sort(points.begin(), points.end(), [](const Point& a, const Point& b) {
    float va = std::fabs(swept_value(a)), vb = std::fabs(swept_value(b));
    return va != vb ? va > vb : a.mach > b.mach;
  });
}

int run_points(const std::string& dir, int jobs, const PointOptions& o) {
  Study s = read_study(dir);
  std::vector<Point> first = points_to_run(s, dir, false);
  longest_first(first);
  int total = static_cast<int>(first.size() + points_to_run(s, dir, true).size());
  g_interrupted = 0;
  Scheduler scheduler(dir, jobs, o, total);
  bool whole = false;
  {
    Signals signals;
    whole = scheduler.run(first) && scheduler.run(points_to_run(s, dir, true));
  }
  scheduler.progress().end();
  const Tally& t = scheduler.tally();
  int earlier = static_cast<int>(points_of(s).size()) - total;
  std::printf("%d points run in %.1f s: %d converged, %d not converged, %d failed%s%s\n", t.done,
              scheduler.progress().seconds(), t.converged, t.done - t.converged - t.failed, t.failed,
              t.pending > 0 ? (", " + std::to_string(t.pending) + " pending").c_str() : "",
              earlier > 0 ? (" (" + std::to_string(earlier) + " finished before)").c_str() : "");
  int status = write_polar(dir);
  if (!whole) {
    std::printf("%s: the same command run again takes up the points left\n", scheduler.stopped().c_str());
    return g_interrupted ? kSweepInterrupted : kSweepPending;
  }
  return status;
}

}  // namespace

int study(const Study& s, const Aerofoil& aerofoil, const std::string& dir, int jobs, bool plan_only,
          const PointOptions& o) {
  std::unique_ptr<FolderLock> lock = lock_study(s, aerofoil, dir, o.wait);
  write_plan(s, aerofoil, dir, o);
  if (plan_only) {
    std::cout << points_of(s).size() << " points planned in " << dir << " (" << kJobsFile << ", " << kSlurmFile
              << ")\n";
    return kSweepConverged;
  }
  return run_points(dir, jobs, o);
}

}  // namespace tarn::sweep
