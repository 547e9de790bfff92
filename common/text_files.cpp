#include "text_files.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace tarn {

namespace {

const char* const kStagingInfix = ".tarn-new.";
constexpr int kTemporaryNames = 8;  // names tried before a temporary is given up

// A token that no other writer picks: a random seed drawn once a process
// where the system offers it (else from the clock), stepped by a large odd
// constant for each name and mixed with the clock. Drawing from the system
// for every name cost 1 % of a study point's time.
uint64_t clock_count() {
  return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

std::string unique_token() {
  static const uint64_t seed = [] {
    try {
      std::random_device random;
      return (static_cast<uint64_t>(random()) << 32) ^ random();
    } catch (const std::exception&) {
      return clock_count();
    }
  }();
  static uint64_t count = 0;
  constexpr uint64_t kStep = 0x9E3779B97F4A7C15ull;  // odd: 2^64 steps before a value repeats
  const uint64_t v = (seed + ++count * kStep) ^ clock_count();
  char buf[20];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
  return buf;
}

}  // namespace

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string replaced_file(const std::string& name) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::file_status st = fs::status(name, ec);
  if (fs::exists(st) && !fs::is_regular_file(st)) return std::string();
  if (!fs::is_symlink(fs::symlink_status(name, ec))) return name;
  fs::path target = fs::canonical(name, ec);
  return ec ? name : target.string();
}

std::FILE* create_temporary(const std::string& replaced, std::string& temporary) {
  for (int k = 0; k < kTemporaryNames; ++k) {
    temporary = replaced + kStagingInfix + unique_token();
    errno = 0;
    // "x": created exclusively (O_CREAT | O_EXCL), which also refuses a
    // symbolic link at the name, dangling or not.
    std::FILE* f = std::fopen(temporary.c_str(), "wbx");
    if (f || errno != EEXIST) return f;
  }
  return nullptr;
}

void write_text(const std::string& path, const std::string& text) {
  std::string target = replaced_file(path);
  if (target.empty()) throw WriteError(path, "it is not a regular file, and only a regular file is replaced");
  std::string temporary;
  std::FILE* f = create_temporary(target, temporary);
  if (!f) throw WriteError(path, std::strerror(errno));
  errno = 0;
  bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  int error = errno;
  if (std::fclose(f) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && std::rename(temporary.c_str(), target.c_str()) != 0) {
    written = false;
    error = errno;
  }
  if (!written) {
    std::remove(temporary.c_str());
    throw WriteError(path, error ? std::strerror(error) : "the write failed");
  }
}

}  // namespace tarn
