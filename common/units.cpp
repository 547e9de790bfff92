#include "units.h"

#include "text_files.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

namespace tarn {

namespace {

constexpr int kMaxUnit = 100;

class StreamSource : public LineSource {
 public:
  StreamSource(std::istream& in, long& count) : in_(in), count_(count) {}
  bool next_line(std::string& line) override {
    if (!std::getline(in_, line)) return false;
    ++count_;
    return true;
  }

 private:
  std::istream& in_;
  long& count_;
};

void put_u32(std::string& out, uint32_t v) {
  for (int b = 0; b < 4; ++b) out += static_cast<char>((v >> (8 * b)) & 0xFF);
}

std::string system_message(int error, const char* fallback) { return error ? std::strerror(error) : fallback; }

}  // namespace

struct Units::Unit {
  std::string name;
  std::string path;       // the file written: name, or a temporary beside the file it replaces
  std::string replaced;   // the file the temporary replaces once the unit closes
  bool output = false;    // opened for writing
  bool staged = false;    // path is a temporary
  bool written = false;   // anything written since the unit was opened
  Form form = Form::kFormatted;
  std::unique_ptr<std::iostream> stream;
  bool memory = false;
  long records_read = 0;
  int tab_column = 0;     // column of the tab that stopped the last read
};

void Console::record(const std::string& rec) {
  char control = rec.empty() ? ' ' : rec[0];
  std::string text = rec.empty() ? std::string() : rec.substr(1);
  bool overwrite = control == '+';
  if (overwrite) {
    *out_ << '\r' << text;
  } else {
    if (line_open_) *out_ << '\n';
    *out_ << (control == ' ' ? text : rec);
  }
  line_open_ = true;
  if (!overwrite || std::chrono::steady_clock::now() - shown_ >= kOverwriteShownEvery) show();
}

void Console::end_line() {
  if (line_open_) *out_ << '\n';
  line_open_ = false;
  show();
}

void Console::show() {
  out_->flush();
  shown_ = std::chrono::steady_clock::now();
}

Units::Units() : console_(&std::cout) { table_.resize(kMaxUnit); }

Units::~Units() {
  abandon_all();
  console_.end_line();
}

Units& units() {
  static Units table;
  return table;
}

void Units::open(int unit, const std::string& name, OpenStatus status, Form form) {
  close(unit);
  auto u = std::make_unique<Unit>();
  u->name = name;
  u->output = status != OpenStatus::kExisting;
  u->replaced = status == OpenStatus::kReplacedWhenClosed ? replaced_file(name) : std::string();
  u->staged = !u->replaced.empty();
  u->path = name;
  u->form = form;
  std::ios::openmode mode = std::ios::binary;
  mode |= u->output ? std::ios::out | std::ios::trunc : std::ios::in;
  errno = 0;
  std::FILE* temporary = u->staged ? create_temporary(u->replaced, u->path) : nullptr;
  if (temporary) std::fclose(temporary);
  // The temporary was created empty: it is opened as it stands, not
  // truncated, for the file system takes a truncation for a file being
  // rewritten in place and writes it out to disk when it is closed.
  if (temporary) mode = std::ios::binary | std::ios::in | std::ios::out;
  auto f = u->staged && !temporary ? std::make_unique<std::fstream>() : std::make_unique<std::fstream>(u->path, mode);
  if (!f->is_open()) {
    std::string what = u->staged ? "the temporary file '" + u->path + "' for '" + name + "'" : "file '" + name + "'";
    throw RunStop("cannot open " + what + " on unit " + std::to_string(unit) + ": " +
                      system_message(errno, "cannot be opened"),
                  kExitBadInput);
  }
  u->stream = std::move(f);
  table_.at(static_cast<size_t>(unit)) = std::move(u);
}

void Units::write_failed(int unit, int error) {
  Unit& u = get(unit, "write");
  throw RunStop("cannot write file '" + u.name + "' on unit " + std::to_string(unit) + ": " +
                    system_message(error, "the write failed"),
                kExitFailure);
}

void Units::close(int unit) {
  if (unit == kConsoleOut) {
    console_.end_line();
    return;
  }
  if (unit < 0 || unit >= kMaxUnit) return;
  auto& u = table_[static_cast<size_t>(unit)];
  if (!u) return;
  if (u->memory) return;  // captured text stays readable until the unit is reopened
  if (!u->output) {
    u.reset();
    return;
  }
  errno = 0;
  u->stream->flush();
  bool ok = static_cast<bool>(*u->stream);
  int error = errno;
  static_cast<std::fstream&>(*u->stream).close();
  if (ok && u->stream->fail()) {
    ok = false;
    error = errno;
  }
  if (u->staged) {
    if (ok && u->written && std::rename(u->path.c_str(), u->replaced.c_str()) != 0) {
      ok = false;
      error = errno;
    }
    if (!ok || !u->written) std::remove(u->path.c_str());
  }
  if (!ok) write_failed(unit, error);
  u.reset();
}

void Units::flush(int unit) {
  Unit& u = get(unit, "flush");
  errno = 0;
  u.stream->flush();
  if (!*u.stream) write_failed(unit, errno);
}

void Units::close_all() {
  for (int k = 0; k < kMaxUnit; ++k) close(k);
}

void Units::abandon_all() noexcept {
  for (auto& u : table_) {
    if (!u || u->memory) continue;
    u->stream.reset();
    if (u->staged) std::remove(u->path.c_str());
    u.reset();
  }
}

void Units::rewind(int unit) {
  Unit& u = get(unit, "rewind");
  u.stream->clear();
  u.stream->seekg(0);
  u.stream->seekp(0);
  u.records_read = 0;
}

bool Units::is_open(int unit) const {
  if (unit == kConsoleIn || unit == kConsoleOut) return true;
  return unit >= 0 && unit < kMaxUnit && table_[static_cast<size_t>(unit)] != nullptr;
}

const std::string& Units::file_name(int unit) const {
  static const std::string console = "console";
  if (!is_open(unit) || unit == kConsoleIn || unit == kConsoleOut) return console;
  return table_[static_cast<size_t>(unit)]->name;
}

long Units::records_read(int unit) const {
  if (!is_open(unit) || unit == kConsoleIn || unit == kConsoleOut) return 0;
  return table_[static_cast<size_t>(unit)]->records_read;
}

Units::Unit& Units::get(int unit, const char* purpose) {
  if (unit < 0 || unit >= kMaxUnit || !table_[static_cast<size_t>(unit)])
    throw std::logic_error(std::string(purpose) + " on unit " + std::to_string(unit) + ", which is not open");
  return *table_[static_cast<size_t>(unit)];
}

void Units::write_line(int unit, const std::string& record) {
  if (unit == kConsoleOut) {
    console_.record(record);
    return;
  }
  Unit& u = get(unit, "write");
  errno = 0;
  *u.stream << record << '\n';
  u.written = true;
  if (!*u.stream) write_failed(unit, errno);
}

void Units::write_values(int unit, const Layout& layout, const std::vector<Value>& values) {
  for (const auto& rec : format_records(layout, values)) write_line(unit, rec);
}

ReadStatus Units::read_values(int unit, const Layout& layout, const std::vector<Target>& targets) {
  if (unit == kConsoleIn) {
    console_.end_line();
    long dummy = 0;
    StreamSource src(console_feed_ ? static_cast<std::istream&>(*console_feed_) : std::cin, dummy);
    return read_record(src, layout, targets);
  }
  Unit& u = get(unit, "read");
  StreamSource src(*u.stream, u.records_read);
  return read_record(src, layout, targets, &u.tab_column);
}

ReadStatus Units::read_list_values(int unit, const std::vector<Target>& targets) {
  Unit& u = get(unit, "read");
  StreamSource src(*u.stream, u.records_read);
  return read_list(src, targets);
}

bool Units::read_line(int unit, std::string& line) {
  std::istream* in = nullptr;
  long dummy = 0;
  long* count = &dummy;
  if (unit == kConsoleIn) {
    console_.end_line();
    in = console_feed_ ? static_cast<std::istream*>(console_feed_.get()) : &std::cin;
  } else {
    Unit& u = get(unit, "read");
    in = u.stream.get();
    count = &u.records_read;
  }
  if (!std::getline(*in, line)) return false;
  ++*count;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void Units::check_read(int unit, ReadStatus status, const std::string& what) {
  if (status == ReadStatus::kOk) return;
  long record = unit == kConsoleIn ? 0 : get(unit, "read").records_read;
  std::string where = "unit " + std::to_string(unit) + " (" + file_name(unit) + "), record " +
                      std::to_string(record);
  if (status == ReadStatus::kEnd)
    throw RunStop("end of file reading " + where + " with layout " + what, kExitBadInput);
  if (status == ReadStatus::kTab)
    throw RunStop("tab in column " + std::to_string(get(unit, "read").tab_column) + " of " + where +
                      ": the fields of this record are fixed columns, and a tab would shift those after it;"
                      " use blanks",
                  kExitBadInput);
  throw RunStop("bad data reading " + where + " with layout " + what, kExitBadInput);
}

void Units::write_binary(int unit, const std::string& bytes) {
  Unit& u = get(unit, "write");
  std::string frame;
  put_u32(frame, static_cast<uint32_t>(bytes.size()));
  errno = 0;
  *u.stream << frame << bytes << frame;
  u.written = true;
  u.stream->flush();
  if (!*u.stream) write_failed(unit, errno);
}

bool Units::read_binary(int unit, std::string& bytes) {
  Unit& u = get(unit, "read");
  unsigned char head[4];
  if (!u.stream->read(reinterpret_cast<char*>(head), 4)) return false;
  uint32_t n = head[0] | (head[1] << 8) | (head[2] << 16) | (static_cast<uint32_t>(head[3]) << 24);
  constexpr uint32_t kLargestRecord = 1u << 24;
  if (n > kLargestRecord) return false;
  bytes.assign(n, '\0');
  if (n > 0 && !u.stream->read(&bytes[0], n)) return false;
  unsigned char tail[4];
  if (!u.stream->read(reinterpret_cast<char*>(tail), 4)) return false;
  return std::memcmp(head, tail, 4) == 0;
}

void Units::capture(int unit) {
  if (unit == kConsoleOut) {
    console_capture_ = std::make_unique<std::ostringstream>();
    console_.set_stream(console_capture_.get());
    return;
  }
  auto u = std::make_unique<Unit>();
  u->name = "memory unit " + std::to_string(unit);
  u->memory = true;
  u->stream = std::make_unique<std::stringstream>();
  table_.at(static_cast<size_t>(unit)) = std::move(u);
}

std::string Units::captured(int unit) const {
  if (unit == kConsoleOut) return console_capture_ ? console_capture_->str() : std::string();
  const auto& u = table_.at(static_cast<size_t>(unit));
  if (!u || !u->memory) return std::string();
  return static_cast<std::stringstream*>(u->stream.get())->str();
}

void Units::feed(int unit, const std::string& text) {
  if (unit == kConsoleIn) {
    console_feed_ = std::make_unique<std::istringstream>(text);
    return;
  }
  auto u = std::make_unique<Unit>();
  u->name = "memory unit " + std::to_string(unit);
  u->memory = true;
  u->stream = std::make_unique<std::stringstream>(text);
  table_.at(static_cast<size_t>(unit)) = std::move(u);
}

}  // namespace tarn
