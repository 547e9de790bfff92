// The unit table: files addressed by fixed unit numbers, the console with its
// carriage control, and in-memory units for tests.
#pragma once

#include <chrono>
#include <fstream>
#include <iosfwd>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "records.h"
#include "run_stop.h"

namespace tarn {

constexpr int kConsoleIn = 5;
constexpr int kConsoleOut = 6;

// kReplacedWhenClosed: new or replaced, but written to a temporary file
// beside it that takes the file's name only when the unit is closed after a
// complete write; until then a file of that name stays as it was.
enum class OpenStatus { kExisting, kNewOrReplaced, kReplacedWhenClosed };
enum class Form { kFormatted, kUnformatted };

// Console output. Each record begins with a carriage-control character that
// is not shown: a blank starts a new line, '+' returns to the start of the
// current line and overwrites it. A record that starts a line is shown at
// once; the overwriting records (the running counters of the iterations,
// hundreds a run) at most kOverwriteShownEvery apart, the last one with the
// next line, so that a console written to a file costs a few writes, not one
// per iteration, while one watched on a screen still counts on.
class Console {
 public:
  explicit Console(std::ostream* out) : out_(out) {}
  void record(const std::string& rec);
  void end_line();  // ends an open line, before reading or at exit
  void set_stream(std::ostream* out) { out_ = out; line_open_ = false; }

 private:
  static constexpr std::chrono::milliseconds kOverwriteShownEvery{100};
  void show();
  std::ostream* out_;
  bool line_open_ = false;
  std::chrono::steady_clock::time_point shown_{};
};

class Units {
 public:
  Units();
  ~Units();

  // Opens a file on a unit; a failed open stops the run with the file
  // system's message. Units 5 and 6 are the console and are always open.
  void open(int unit, const std::string& name, OpenStatus status, Form form = Form::kFormatted);
  // Closes a unit (one that is not open: nothing). A file written on it is
  // flushed; a write that failed stops the run with the file system's message.
  void close(int unit);
  void close_all();
  // Writes out what a unit holds buffered; a failed write stops the run.
  void flush(int unit);
  // After a stop: closes every unit without checks; temporary files of units
  // opened kReplacedWhenClosed are removed and their files left as they were.
  void abandon_all() noexcept;
  void rewind(int unit);
  bool is_open(int unit) const;
  const std::string& file_name(int unit) const;
  // Records (lines) read so far on an input unit; 0 for the console.
  long records_read(int unit) const;

  // Formatted output.
  void write_values(int unit, const Layout& layout, const std::vector<Value>& values);
  template <typename... A>
  void write(int unit, const Layout& layout, const A&... values) {
    write_values(unit, layout, std::vector<Value>{Value(values)...});
  }
  void write_line(int unit, const std::string& record);
  template <typename... A>
  void write_list(int unit, const A&... values) {
    write_line(unit, format_list(std::vector<Value>{Value(values)...}));
  }

  // Formatted input: the status says success, end of file or a bad field.
  // In a file (not the console) a tab before the last field with content
  // would shift the fixed columns: the read reports kTab.
  ReadStatus read_values(int unit, const Layout& layout, const std::vector<Target>& targets);
  ReadStatus read_list_values(int unit, const std::vector<Target>& targets);
  bool read_line(int unit, std::string& line);
  // Reads, and stops the run with the reader's message on any failure.
  template <typename... A>
  void read(int unit, const Layout& layout, A&... targets) {
    check_read(unit, read_values(unit, layout, std::vector<Target>{Target(targets)...}), layout.text());
  }
  void check_read(int unit, ReadStatus status, const std::string& what);

  // Unformatted records (length-prefixed and length-suffixed).
  void write_binary(int unit, const std::string& bytes);
  bool read_binary(int unit, std::string& bytes);  // false at end of file or on a damaged frame

  // Test support: a unit held in memory. capture() opens an output unit whose
  // text is returned by captured(); feed() opens an input unit on a text.
  // Capturing unit 6 captures the console as it would be displayed.
  void capture(int unit);
  std::string captured(int unit) const;
  void feed(int unit, const std::string& text);

 private:
  struct Unit;
  Unit& get(int unit, const char* purpose);
  [[noreturn]] void write_failed(int unit, int error);
  std::vector<std::unique_ptr<Unit>> table_;
  Console console_;
  std::unique_ptr<std::ostringstream> console_capture_;
  std::unique_ptr<std::istringstream> console_feed_;
};

// The process-wide unit table.
Units& units();

}  // namespace tarn
