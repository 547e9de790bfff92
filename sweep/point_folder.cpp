// The point folder: the files of the try running lie in the folder itself,
// as a user running the point by hand would find them; the files of earlier
// tries are moved into try1/, try2/, ..., and the best try's files are put
// back in the folder at the end. The solver's console goes to console.txt.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
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

ConsoleToFile::ConsoleToFile() {
  std::cout.flush();
  std::fflush(stdout);
  saved_ = dup(STDOUT_FILENO);
  int fd = open(kConsoleFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
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
