// Locks on study and point folders: an exclusive flock on a lock file that
// is never replaced, so that two processes never run one study or one point
// at once. The holder writes who it is into the file, for the message of a
// process that finds the folder in use.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

#include "files.h"

namespace tarn::sweep {

namespace {

constexpr size_t kMostHolderText = 400;
constexpr auto kHolderWritten = std::chrono::milliseconds(50);  // time a new holder takes to write its name

std::string host_name() {
  char buf[256] = {};
  return gethostname(buf, sizeof buf - 1) == 0 ? buf : "this machine";
}

std::string now_text() {
  std::time_t t = std::time(nullptr);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", std::localtime(&t));
  return buf;
}

std::string holder_of(int fd) {
  char buf[kMostHolderText + 1] = {};
  ssize_t n = pread(fd, buf, kMostHolderText, 0);
  std::string text = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
  while (!text.empty() && (text.back() == '\n' || text.back() == '\0')) text.pop_back();
  return text;
}

}  // namespace

FolderLock::FolderLock(const std::string& dir, const std::string& file, const std::string& holder, bool wait) {
  std::string path = dir + "/" + file;
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd_ < 0) throw std::runtime_error("cannot lock " + dir + ": " + path + ": " + std::strerror(errno));
  if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    std::string who = holder_of(fd_);
    if (who.empty()) {  // the holder has only just taken the lock
      std::this_thread::sleep_for(kHolderWritten);
      who = holder_of(fd_);
    }
    if (who.empty()) who = "another process";
    if (error != EWOULDBLOCK || !wait) {
      close(fd_);
      if (error != EWOULDBLOCK) throw std::runtime_error("cannot lock " + path + ": " + std::strerror(error));
      throw FolderBusy(dir + " is in use by " + who + "; give --wait to wait for it");
    }
    while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  std::string text = "process " + std::to_string(getpid()) + " on " + host_name() + " since " + now_text() + " (" +
                     holder + ")\n";
  // An empty lock file, as a new one is, is not truncated: the file system
  // takes a truncation for a file rewritten in place and writes it out to
  // disk when it is closed.
  struct stat st {};
  bool empty = fstat(fd_, &st) == 0 && st.st_size == 0;
  if ((!empty && ftruncate(fd_, 0) != 0) || pwrite(fd_, text.data(), text.size(), 0) < 0) {
    // Who holds the lock is only for messages; the lock holds without it.
  }
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) close(fd_);  // closing the only descriptor releases the lock
}

}  // namespace tarn::sweep
