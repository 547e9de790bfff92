// Fixed-format text records: the layout notation shared by every text file
// and console line of tarn and tarnprep.
//
// A layout such as "(2I5, 3F10.0, 4F5.0, I5)" is parsed once into a flat list
// of items (repeat counts and parenthesised groups expanded) and then used to
// write values into records or read fields out of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarn {

// One edit item of a layout.
struct LayoutItem {
  enum Kind { kInt, kFixed, kExp, kText, kSkip, kLiteral, kBreak } kind;
  explicit LayoutItem(Kind k) : kind(k) {}
  int width = 0;     // w of Iw, Fw.d, Ew.d, Aw (0 for a bare A), n of nX
  int decimals = 0;  // d of Fw.d, Ew.d
  std::string literal;  // text of a quoted item
  bool takes_value() const { return kind == kInt || kind == kFixed || kind == kExp || kind == kText; }
};

class Layout {
 public:
  // Parses the layout text; throws std::invalid_argument on a malformed layout.
  explicit Layout(const std::string& text);
  const std::vector<LayoutItem>& items() const { return items_; }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  std::vector<LayoutItem> items_;
};

// A value to be written: an integer, a real or a character string.
struct Value {
  enum Kind { kInt, kReal, kText } kind;
  int32_t i = 0;
  float r = 0.0f;
  std::string s;
  Value(int32_t v) : kind(kInt), i(v) {}
  Value(float v) : kind(kReal), r(v) {}
  Value(const char* v) : kind(kText), s(v) {}
  Value(std::string v) : kind(kText), s(std::move(v)) {}
};

// Writes values under a layout. Returns the records produced, one string per
// line, without line ends. Writing stops at the first item that needs a value
// when none is left; values beyond the layout start it again on a new record.
std::vector<std::string> format_records(const Layout& layout, const std::vector<Value>& values);

// Single fields, exposed for the listing code and the tests.
std::string format_int(int32_t v, int w);
std::string format_fixed(float v, int w, int d);
std::string format_exp(float v, int w, int d);

// A variable to be read into.
struct Target {
  enum Kind { kInt, kReal, kText } kind;
  int32_t* i = nullptr;
  float* r = nullptr;
  std::string* s = nullptr;
  Target(int32_t& v) : kind(kInt), i(&v) {}
  Target(float& v) : kind(kReal), r(&v) {}
  Target(std::string& v) : kind(kText), s(&v) {}
};

// kTab: a tab in a fixed-column record ahead of field content (reported only
// when the reader asks for the check).
enum class ReadStatus { kOk, kEnd, kError, kTab };

// Source of input lines for a read: returns false at end of input.
class LineSource {
 public:
  virtual ~LineSource() = default;
  virtual bool next_line(std::string& line) = 0;
};

// Reads one record (more when the layout holds record breaks) into the
// targets. Fields are taken by column; short lines read as blank-padded.
// With tab_column given, a tab followed by content within a numeric field
// (which a tab would have shifted) makes the read return kTab with the
// tab's 1-based column; blanks and tabs after the last content are harmless.
ReadStatus read_record(LineSource& src, const Layout& layout, const std::vector<Target>& targets,
                       int* tab_column = nullptr);

// Reads fields from a line already in hand (a layout without record breaks).
ReadStatus parse_record(const std::string& line, const Layout& layout, const std::vector<Target>& targets);

// Field readers: return false when the characters do not form a number.
bool parse_int_field(const std::string& field, int32_t& v);
bool parse_real_field(const std::string& field, int d, float& v);

// List-directed read: values separated by blanks, commas or line ends, as many
// as there are targets; the rest of the last line used is skipped.
ReadStatus read_list(LineSource& src, const std::vector<Target>& targets);

// List-directed write: the values in free form after one leading blank.
std::string format_list(const std::vector<Value>& values);

}  // namespace tarn
