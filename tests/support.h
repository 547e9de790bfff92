// Helpers for the tests: temporary run folders, running the real programs,
// reading their files and finding the shared reference data.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tarn::test {

// A temporary folder removed at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

struct ProgramResult {
  int status = -1;
  std::string out, err;
};

// Runs one of the built programs ("tarn", "tarnprep", "tarnfoil") in a folder
// with the given standard input and arguments.
ProgramResult run_program(const std::string& program, const std::string& dir, const std::string& input,
                          const std::string& args = "");
// The same for a program given by its path.
ProgramResult run_command(const std::string& path, const std::string& dir, const std::string& input,
                          const std::string& args = "");

// Runs a program as above with no arguments, each file it writes limited to
// max_bytes: a write beyond fails (EFBIG) as it would on a full disk.
ProgramResult run_program_with_file_limit(const std::string& program, const std::string& dir,
                                          const std::string& input, long max_bytes);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& text);
bool file_exists(const std::string& path);
// Temporaries of the whole-file writers left in a folder (none after a
// write that completed or failed).
std::vector<std::string> staged_files(const std::string& dir);
std::vector<std::string> lines_of(const std::string& text);

// Rows of a CSV table by column name (the first line that is not a comment
// names the columns); comment lines, starting with '#', are skipped.
using CsvRow = std::map<std::string, std::string>;
std::vector<CsvRow> csv_rows(const std::string& path);

// A value as the listings print it, with d decimals.
std::string printed(float v, int d);
std::string printed(const std::string& decimal, int d);

// The shared reference data, or an empty string when it is not present.
std::string shared_dir();
std::string shared_file(const std::string& relative);
// Why a test that needs a file of the shared reference data is skipped:
// the file, where it was looked for, and where the README says more.
std::string needs_shared(const std::string& relative);

}  // namespace tarn::test
