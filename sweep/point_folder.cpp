// The point folder: the files of the try running lie in the folder itself,
// as a user running the point by hand would find them; the files of earlier
// tries are moved into try1/, try2/, ..., and the best try's files are put
// back in the folder at the end. The solver's console goes to console.txt,
// and why a point is pending to point.log.
#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <regex>

#include "point.h"

namespace tarn::sweep {

namespace fs = std::filesystem;

namespace {

bool is_try_folder(const fs::path& p) {
  static const std::regex kTry("try[0-9]+");
  return fs::is_directory(p) && std::regex_match(p.filename().string(), kTry);
}

}  // namespace

bool TryFiles::operator()(const fs::path& file) const {
  std::string f = file.filename().string();
  return (f.rfind(name, 0) == 0 && f != aerofoil) || f == kSurfaceCsv || f == kWakeCsv || f == kConsoleFile;
}

std::string try_folder(int n) { return "try" + std::to_string(n); }

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

void put_away_last(std::vector<TryRecord>& tries, const TryFiles& of_try) {
  TryRecord& last = tries.back();
  if (!last.folder.empty()) return;
  last.folder = try_folder(last.number);
  move_try_files(".", last.folder, of_try);
}

void keep_best_in_place(std::vector<TryRecord>& tries, size_t best, const TryFiles& of_try, bool keep_tries) {
  if (best + 1 != tries.size() || !tries.back().folder.empty()) {
    put_away_last(tries, of_try);
    move_try_files(tries[best].folder, ".", of_try);
    fs::remove_all(tries[best].folder);
  }
  tries[best].folder = ".";
  if (keep_tries || tries[best].judgement.status != kConverged) return;
  for (TryRecord& t : tries)
    if (t.folder != ".") {
      fs::remove_all(t.folder);
      t.kept = false;
    }
}

void clear_tries_after(size_t kept, const TryFiles& of_try) {
  for (const auto& e : fs::directory_iterator(".")) {
    if (is_try_folder(e.path())) {
      if (std::stoul(e.path().filename().string().substr(3)) > kept) fs::remove_all(e.path());
    } else if (of_try(e.path())) {
      fs::remove(e.path());
    }
  }
}

void log_point(const std::string& folder, const std::string& line) {
  std::string path = folder + "/" + kLogFile, text = line + "\n";
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return;  // the log only explains; a point without one is still pending
  ssize_t written = write(fd, text.data(), text.size());
  (void)written;
  close(fd);
}

std::string last_logged(const std::string& folder) {
  std::ifstream in(folder + "/" + kLogFile, std::ios::binary);
  std::string line, last;
  while (std::getline(in, line))
    if (!line.empty()) last = line;
  return last;
}

namespace {

// The log open while a point runs, and what each signal that ends it writes
// there (made beforehand: a signal handler may only write).
constexpr int kSignals = 32;
constexpr size_t kMessageSize = 160;
int g_log = -1;
char g_message[kSignals][kMessageSize];
size_t g_length[kSignals];
const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGALRM};

void on_stop(int signal_number) {
  if (g_log >= 0 && signal_number < kSignals) {
    ssize_t written = write(g_log, g_message[signal_number], g_length[signal_number]);
    (void)written;
  }
  if (signal_number == SIGALRM) _exit(kSweepPending);
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}


}  // namespace

StopsLogged::StopsLogged(const std::string& folder) {
  std::string path = folder + "/" + kLogFile;
  g_log = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  for (int signal_number : kStopSignals) {
    std::string text = signal_number == SIGALRM ? time_limit_reason() + "\n"
                                                : "stopped by signal " + std::to_string(signal_number) + " (" +
                                                      strsignal(signal_number) + ") before its result\n";
    text.resize(std::min(text.size(), kMessageSize));
    std::memcpy(g_message[signal_number], text.data(), text.size());
    g_length[signal_number] = text.size();
    struct sigaction a {};
    a.sa_handler = on_stop;
    sigemptyset(&a.sa_mask);
    sigaction(signal_number, &a, nullptr);
  }
  itimerval limit{{0, 0}, {static_cast<time_t>(kPointTimeLimit), 0}};
  setitimer(ITIMER_REAL, &limit, nullptr);
}

StopsLogged::~StopsLogged() {
  itimerval off{};
  setitimer(ITIMER_REAL, &off, nullptr);
  for (int signal_number : kStopSignals) std::signal(signal_number, SIG_DFL);
  if (g_log >= 0) close(g_log);
  g_log = -1;
}

ConsoleToFile::ConsoleToFile() {
  std::cout.flush();
  std::fflush(stdout);
  saved_ = dup(STDOUT_FILENO);
  int fd = open(kConsoleFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd >= 0) {
    dup2(fd, STDOUT_FILENO);
    close(fd);
  }
}

ConsoleToFile::~ConsoleToFile() {
  std::cout.flush();
  std::fflush(stdout);
  dup2(saved_, STDOUT_FILENO);
  close(saved_);
}

}  // namespace tarn::sweep
