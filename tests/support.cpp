#include "support.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tarn::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarn-test-XXXXXX").string();
  if (!mkdtemp(&pattern[0])) throw std::runtime_error("cannot make a temporary folder");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ProgramResult run_program(const std::string& program, const std::string& dir, const std::string& input,
                          const std::string& args) {
  return run_command(std::string(TARN_BIN_DIR) + "/" + program, dir, input, args);
}

ProgramResult run_command(const std::string& path, const std::string& dir, const std::string& input,
                          const std::string& args) {
  write_file(dir + "/.stdin", input);
  std::string cmd = "cd '" + dir + "' && '" + path + "' " + args + " < .stdin > .stdout 2> .stderr";
  int raw = std::system(cmd.c_str());
  ProgramResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = read_file(dir + "/.stdout");
  r.err = read_file(dir + "/.stderr");
  return r;
}

ProgramResult run_program_with_file_limit(const std::string& program, const std::string& dir,
                                          const std::string& input, long max_bytes) {
  write_file(dir + "/.stdin", input);
  std::string path = std::string(TARN_BIN_DIR) + "/" + program;
  pid_t pid = fork();
  if (pid == 0) {
    struct rlimit limit = {static_cast<rlim_t>(max_bytes), static_cast<rlim_t>(max_bytes)};
    bool ready = chdir(dir.c_str()) == 0 && std::freopen(".stdin", "r", stdin) &&
                 std::freopen(".stdout", "w", stdout) && std::freopen(".stderr", "w", stderr) &&
                 std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR && setrlimit(RLIMIT_FSIZE, &limit) == 0;
    if (ready) execl(path.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int raw = 0;
  waitpid(pid, &raw, 0);
  ProgramResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = read_file(dir + "/.stdout");
  r.err = read_file(dir + "/.stderr");
  return r;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

bool file_exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::vector<CsvRow> csv_rows(const std::string& path) {
  std::vector<std::string> header;
  std::vector<CsvRow> rows;
  for (const std::string& line : lines_of(read_file(path))) {
    if (line.empty() || line[0] == '#') continue;
    // Fields split at commas outside double quotes; "" in quotes is a quote.
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
      char c = line[i];
      if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') fields.back() += line[i++];
      else if (c == '"') quoted = !quoted;
      else if (c == ',' && !quoted) fields.emplace_back();
      else fields.back() += c;
    }
    if (header.empty()) {
      header = fields;
      continue;
    }
    CsvRow r;
    for (size_t k = 0; k < header.size() && k < fields.size(); ++k) r[header[k]] = fields[k];
    rows.push_back(r);
  }
  return rows;
}

std::string printed(float v, int d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.*f", d, static_cast<double>(v));
  return buf;
}

std::string printed(const std::string& decimal, int d) { return printed(std::stof(decimal), d); }

std::string shared_dir() {
  std::string dir = TARN_SHARED_DIR;
  return file_exists(dir + "/aerofoils") ? dir : std::string();
}

std::string needs_shared(const std::string& relative) {
  return "needs " + relative + " of the shared reference data, looked for in " + std::string(TARN_SHARED_DIR) +
         " (the folder shared/ beside the checkout, or -DTARN_SHARED_DIR; see \"Reference data\" in the README)";
}

std::string shared_file(const std::string& relative) {
  std::string dir = shared_dir();
  return dir.empty() ? std::string() : dir + "/" + relative;
}

std::vector<std::string> staged_files(const std::string& dir) {
  std::vector<std::string> found;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().filename().string().find(".tarn-new.") != std::string::npos) found.push_back(e.path().string());
  return found;
}

}  // namespace tarn::test
