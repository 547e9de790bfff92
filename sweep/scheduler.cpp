// Running the points of a study on this machine: each point in its own
// process (tarnsweep --run-point), `jobs` at a time, with a progress line.
// Ctrl-C stops the study cleanly: no new point starts, the points running
// are stopped, finished points keep their results, and the same command
// run again takes up the points left.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>

#include "files.h"

extern char** environ;

namespace tarn::sweep {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kPointTimeLimit = 600.0;      // seconds; a point normally takes well under one
constexpr long kRefreshMicroseconds = 250000;  // progress line refreshed this often
constexpr int kLogLines = 10;                  // progress lines in a log

volatile sig_atomic_t g_interrupted = 0;

void on_interrupt(int) { g_interrupted = 1; }
void on_alarm(int) {}

struct Running {
  Point point;
  Clock::time_point start;
  bool killed = false;  // stopped by the study (interrupt or time limit)
  std::string lost;     // why a point stopped by the study failed (empty on an interrupt)
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
    sigaction(SIGINT, &a, &old_int_);
    sigaction(SIGTERM, &a, &old_term_);
    a.sa_handler = on_alarm;
    sigaction(SIGALRM, &a, &old_alarm_);
    itimerval t{{0, kRefreshMicroseconds}, {0, kRefreshMicroseconds}};
    setitimer(ITIMER_REAL, &t, nullptr);
  }
  ~Signals() {
    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGINT, &old_int_, nullptr);
    sigaction(SIGTERM, &old_term_, nullptr);
    sigaction(SIGALRM, &old_alarm_, nullptr);
  }

 private:
  struct sigaction old_int_ {
  }, old_term_{}, old_alarm_{};
};

pid_t spawn_point(const std::string& program, const fs::path& folder) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults, none;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGALRM);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  std::string option = "--run-point", where = folder.string();
  char* argv[] = {const_cast<char*>(program.c_str()), option.data(), where.data(), nullptr};
  pid_t pid = -1;
  int error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return error == 0 ? pid : -1;
}

// A point whose process ended without its result (a crash, or the time
// limit) is recorded as failed, so that the study accounts for it.
void record_lost_point(const fs::path& folder, const Point& p, const std::string& why) {
  Json j;
  j["point"] = p.number;
  j["coefficients"] = nullptr;
  j["verdict"] = {{"status", kFailed}, {"reason", why}, {"figures", Json::object()}};
  j["tries"] = Json::array();
  write_json((folder / kResultFile).string(), j);
}

std::string ended_how(int status) {
  if (WIFSIGNALED(status))
    return "ended by signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
  return "ended with status " + std::to_string(WEXITSTATUS(status)) + " and no result";
}

std::string clock_text(double seconds) {
  long s = static_cast<long>(seconds + 0.5);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
  return buf;
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
    if (!terminal_ && (t.done < logged_ + step_ || t.done == logged_)) return;
    double elapsed = seconds();
    std::string left =
        t.done > 0 ? "about " + clock_text(elapsed / t.done * (t.pending - t.done)) + " left" : "time left unknown";
    std::fprintf(stderr, "%s%d/%d done, %d converged, %d retrying, %d failed, %s%s", terminal_ ? "\r" : "", t.done,
                 total_, t.converged, retrying, t.failed, left.c_str(), terminal_ ? "   " : "\n");
    std::fflush(stderr);
    logged_ = t.done;
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
    verdict = read_json(result.string()).at("verdict").at("status").get<std::string>();
  } catch (const std::exception&) {
    verdict = kFailed;
  }
  if (verdict == kConverged) ++t.converged;
  if (verdict == kFailed) ++t.failed;
}

}  // namespace

int run_study(const std::string& dir, int jobs) {
  Study s = read_study(dir);
  const std::string program = fs::canonical("/proc/self/exe").string();
  std::vector<Point> pending;
  for (const Point& p : points_of(s))
    if (!fs::exists(fs::path(dir) / p.folder / kResultFile)) pending.push_back(p);

  Tally tally;
  tally.pending = static_cast<int>(pending.size());
  Progress progress(tally.pending);
  std::map<pid_t, Running> running;
  size_t next = 0;
  g_interrupted = 0;
  {
    Signals signals;
    bool stopping = false;
    for (;;) {
      while (!g_interrupted && static_cast<int>(running.size()) < jobs && next < pending.size()) {
        const Point& p = pending[next++];
        pid_t pid = spawn_point(program, fs::absolute(dir) / p.folder);
        if (pid < 0) {
          record_lost_point(fs::path(dir) / p.folder, p, "the point's process could not be started");
          count_result(fs::path(dir) / p.folder / kResultFile, tally);
          continue;
        }
        running[pid] = Running{p, Clock::now(), false, std::string()};
      }
      if (running.empty()) break;
      if (g_interrupted && !stopping) {
        stopping = true;
        for (auto& [pid, r] : running) {
          r.killed = true;
          kill(pid, SIGTERM);
        }
      }
      int status = 0;
      pid_t pid = waitpid(-1, &status, 0);
      if (pid > 0) {
        Running r = running[pid];
        running.erase(pid);
        fs::path folder = fs::path(dir) / r.point.folder;
        if (!fs::exists(folder / kResultFile) && (!r.killed || !r.lost.empty()))
          record_lost_point(folder, r.point, r.killed ? r.lost : "the point's process " + ended_how(status));
        if (fs::exists(folder / kResultFile)) count_result(folder / kResultFile, tally);
      } else if (errno != EINTR) {
        break;
      }
      for (auto& [id, r] : running)
        if (!r.killed && std::chrono::duration<double>(Clock::now() - r.start).count() > kPointTimeLimit) {
          r.killed = true;
          r.lost = "stopped after " + clock_text(kPointTimeLimit) + " without a result";
          kill(id, SIGKILL);
        }
      int retrying = 0;
      for (const auto& [id, r] : running) retrying += fs::exists(fs::path(dir) / r.point.folder / "try1") ? 1 : 0;
      progress.show(tally, retrying);
    }
  }
  progress.end();
  int status = collect(dir);
  int earlier = static_cast<int>(points_of(s).size()) - tally.pending;
  std::printf("%d points run in %.1f s: %d converged, %d not converged, %d failed%s; polar in %s\n", tally.done,
              progress.seconds(), tally.converged, tally.done - tally.converged - tally.failed, tally.failed,
              earlier > 0 ? (" (" + std::to_string(earlier) + " finished before)").c_str() : "",
              (fs::path(dir) / kPolarCsv).string().c_str());
  if (g_interrupted) {
    std::printf("interrupted: %d points left; the same command run again takes them up\n", tally.pending - tally.done);
    return kSweepInterrupted;
  }
  return status;
}

}  // namespace tarn::sweep
