#include "records.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace tarn {

namespace {

class LayoutParser {
 public:
  explicit LayoutParser(const std::string& text) : t_(text) {}

  std::vector<LayoutItem> parse() {
    skip_blanks();
    expect('(');
    std::vector<LayoutItem> items = parse_list();
    expect(')');
    skip_blanks();
    if (pos_ != t_.size()) fail("text after the closing parenthesis");
    return items;
  }

 private:
  const std::string& t_;
  size_t pos_ = 0;

  [[noreturn]] void fail(const char* what) const {
    throw std::invalid_argument("layout \"" + t_ + "\": " + what);
  }
  void skip_blanks() {
    while (pos_ < t_.size() && t_[pos_] == ' ') ++pos_;
  }
  char peek() const { return pos_ < t_.size() ? static_cast<char>(std::toupper(t_[pos_])) : '\0'; }
  void expect(char c) {
    skip_blanks();
    if (peek() != c) fail("unexpected character");
    ++pos_;
  }
  int number() {
    if (!std::isdigit(static_cast<unsigned char>(peek()))) fail("number expected");
    int n = 0;
    while (std::isdigit(static_cast<unsigned char>(peek()))) n = n * 10 + (t_[pos_++] - '0');
    return n;
  }
  int optional_number(int fallback) {
    return std::isdigit(static_cast<unsigned char>(peek())) ? number() : fallback;
  }

  // Items up to (not including) the closing parenthesis of the current level.
  std::vector<LayoutItem> parse_list() {
    std::vector<LayoutItem> items;
    for (;;) {
      skip_blanks();
      while (peek() == ',' || peek() == ' ') ++pos_;
      char c = peek();
      if (c == ')' || c == '\0') return items;
      int repeat = 1;
      bool counted = false;
      if (std::isdigit(static_cast<unsigned char>(c))) {
        repeat = number();
        counted = true;
        skip_blanks();
        c = peek();
      }
      if (c == '(') {
        ++pos_;
        std::vector<LayoutItem> group = parse_list();
        expect(')');
        for (int r = 0; r < repeat; ++r) items.insert(items.end(), group.begin(), group.end());
        continue;
      }
      if (c == 'X') {
        ++pos_;
        LayoutItem it(LayoutItem::kSkip);
        it.width = counted ? repeat : 1;
        items.push_back(it);
        continue;
      }
      LayoutItem it = single_item();
      for (int r = 0; r < repeat; ++r) items.push_back(it);
    }
  }

  LayoutItem single_item() {
    char c = peek();
    ++pos_;
    switch (c) {
      case '/': return LayoutItem(LayoutItem::kBreak);
      case '\'': {
        LayoutItem it(LayoutItem::kLiteral);
        for (;;) {
          if (pos_ >= t_.size()) fail("unterminated text");
          char ch = t_[pos_++];
          if (ch == '\'') {
            if (pos_ < t_.size() && t_[pos_] == '\'') {
              it.literal += '\'';
              ++pos_;
              continue;
            }
            return it;
          }
          it.literal += ch;
        }
      }
      case 'I': {
        LayoutItem it(LayoutItem::kInt);
        it.width = number();
        return it;
      }
      case 'F':
      case 'E': {
        LayoutItem it{c == 'F' ? LayoutItem::kFixed : LayoutItem::kExp};
        it.width = number();
        expect('.');
        it.decimals = number();
        return it;
      }
      case 'A': {
        LayoutItem it(LayoutItem::kText);
        it.width = optional_number(0);
        return it;
      }
      default: fail("unknown item");
    }
  }
};

std::string stars(int w) { return std::string(static_cast<size_t>(w), '*'); }

std::string right_justify(const std::string& s, int w) {
  if (static_cast<int>(s.size()) > w) return stars(w);
  return std::string(static_cast<size_t>(w) - s.size(), ' ') + s;
}

// Drops the optional zero before the decimal point when the field is too
// narrow for it ("0.500" -> ".500", "-0.500" -> "-.500").
std::string fit_leading_zero(std::string s, int w) {
  if (static_cast<int>(s.size()) <= w) return s;
  size_t z = (s[0] == '-') ? 1 : 0;
  if (s.size() > z + 1 && s[z] == '0' && s[z + 1] == '.') s.erase(z, 1);
  return s;
}

std::string format_text(const std::string& s, int w) {
  if (w == 0) return s;
  if (static_cast<int>(s.size()) >= w) return s.substr(0, static_cast<size_t>(w));
  return std::string(static_cast<size_t>(w) - s.size(), ' ') + s;
}

std::string format_value(const LayoutItem& item, const Value& v) {
  float real = v.kind == Value::kInt ? static_cast<float>(v.i) : v.r;
  switch (item.kind) {
    case LayoutItem::kInt:
      if (v.kind != Value::kInt) throw std::invalid_argument("integer item given a non-integer value");
      return format_int(v.i, item.width);
    case LayoutItem::kFixed:
      if (v.kind == Value::kText) throw std::invalid_argument("real item given a text value");
      return format_fixed(real, item.width, item.decimals);
    case LayoutItem::kExp:
      if (v.kind == Value::kText) throw std::invalid_argument("real item given a text value");
      return format_exp(real, item.width, item.decimals);
    case LayoutItem::kText:
      if (v.kind != Value::kText) throw std::invalid_argument("text item given a number");
      return format_text(v.s, item.width);
    default:
      return "";
  }
}

std::string strip_blanks(const std::string& field) {
  std::string s;
  for (char c : field)
    if (c != ' ' && c != '\t') s += c;
  return s;
}

bool all_digits(const std::string& s, size_t from, size_t to) {
  if (from >= to) return false;
  for (size_t k = from; k < to; ++k)
    if (!std::isdigit(static_cast<unsigned char>(s[k]))) return false;
  return true;
}

bool read_line(LineSource& src, std::string& line) {
  if (!src.next_line(line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

std::string column_field(const std::string& line, size_t col, int width) {
  if (col >= line.size()) return std::string(static_cast<size_t>(width), ' ');
  std::string f = line.substr(col, static_cast<size_t>(width));
  f.resize(static_cast<size_t>(width), ' ');
  return f;
}

// True when the numeric field in columns [col, col + w) of the line holds
// content after a tab of the line (the first tab, at tab).
bool shifted_by_tab(const std::string& line, size_t tab, size_t col, size_t w) {
  if (tab == std::string::npos || tab >= col + w) return false;
  for (size_t p = std::max(col, tab + 1); p < std::min(col + w, line.size()); ++p)
    if (line[p] != ' ' && line[p] != '\t') return true;
  return false;
}

bool store_field(const LayoutItem& item, const std::string& field, const Target& t) {
  switch (t.kind) {
    case Target::kText:
      if (item.kind != LayoutItem::kText) return false;
      *t.s = field;
      return true;
    case Target::kInt:
      if (item.kind != LayoutItem::kInt) return false;
      return parse_int_field(field, *t.i);
    case Target::kReal:
      if (item.kind != LayoutItem::kFixed && item.kind != LayoutItem::kExp) return false;
      return parse_real_field(field, item.decimals, *t.r);
  }
  return false;
}

class StringSource : public LineSource {
 public:
  explicit StringSource(const std::string& line) : line_(line) {}
  bool next_line(std::string& line) override {
    if (used_) return false;
    used_ = true;
    line = line_;
    return true;
  }

 private:
  const std::string& line_;
  bool used_ = false;
};

}  // namespace

Layout::Layout(const std::string& text) : text_(text), items_(LayoutParser(text).parse()) {}

std::string format_int(int32_t v, int w) { return right_justify(std::to_string(v), w); }

// Fields are printed with the digits the C library prints, those of the
// exact binary value rounded to nearest with ties to even; std::to_chars with
// a precision gives them without the cost of printf's format parsing.
std::string format_fixed(float v, int w, int d) {
  if (!std::isfinite(v)) return stars(w);
  char buf[64];
  auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, d).ptr;
  std::string s(buf, end);
  if (d == 0) s += '.';
  return right_justify(fit_leading_zero(s, w), w);
}

std::string format_exp(float v, int w, int d) {
  if (!std::isfinite(v)) return stars(w);
  std::string sign = (v < 0.0f || std::signbit(v)) && v != 0.0f ? "-" : "";
  std::string digits(static_cast<size_t>(d), '0');
  int exponent = 0;
  if (v != 0.0f && d > 0) {
    // d significant digits: the mantissa 0.ddd times ten to the exponent.
    char buf[64];
    auto end = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, d - 1).ptr;
    std::string b(buf, end);
    size_t e = b.find('e');
    digits = b.substr(0, 1) + (d > 1 ? b.substr(2, e - 2) : "");
    exponent = std::atoi(b.c_str() + e + 1) + 1;
  }
  // E+dd, or +ddd when the exponent needs three digits.
  const int magnitude = std::abs(exponent);
  std::string s = sign + "0." + digits + (magnitude <= 99 ? "E" : "") + (exponent < 0 ? '-' : '+');
  if (magnitude > 99) s += static_cast<char>('0' + magnitude / 100 % 10);
  s += static_cast<char>('0' + magnitude / 10 % 10);
  s += static_cast<char>('0' + magnitude % 10);
  return right_justify(fit_leading_zero(s, w), w);
}

std::vector<std::string> format_records(const Layout& layout, const std::vector<Value>& values) {
  const auto& items = layout.items();
  bool has_data = false;
  for (const auto& it : items) has_data = has_data || it.takes_value();
  if (!has_data && !values.empty())
    throw std::invalid_argument("layout " + layout.text() + " takes no values");

  std::vector<std::string> records(1);
  size_t next = 0;
  for (;;) {
    for (const auto& it : items) {
      if (it.takes_value()) {
        if (next == values.size()) return records;
        records.back() += format_value(it, values[next++]);
      } else if (it.kind == LayoutItem::kSkip) {
        records.back().append(static_cast<size_t>(it.width), ' ');
      } else if (it.kind == LayoutItem::kLiteral) {
        records.back() += it.literal;
      } else if (it.kind == LayoutItem::kBreak) {
        records.emplace_back();
      }
    }
    if (next == values.size()) return records;
    records.emplace_back();  // layout reused from its start on a new record
  }
}

bool parse_int_field(const std::string& field, int32_t& v) {
  std::string s = strip_blanks(field);
  if (s.empty()) {
    v = 0;
    return true;
  }
  size_t start = (s[0] == '+' || s[0] == '-') ? 1 : 0;
  if (!all_digits(s, start, s.size())) return false;
  long long n = std::strtoll(s.c_str(), nullptr, 10);
  if (n > INT32_MAX || n < INT32_MIN) return false;
  v = static_cast<int32_t>(n);
  return true;
}

bool parse_real_field(const std::string& field, int d, float& v) {
  std::string s = strip_blanks(field);
  if (s.empty()) {
    v = 0.0f;
    return true;
  }
  size_t k = 0;
  std::string mantissa;
  if (s[k] == '+' || s[k] == '-') mantissa += s[k++];
  bool point = false;
  size_t digits = 0;
  for (; k < s.size(); ++k) {
    char c = s[k];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      mantissa += c;
      ++digits;
    } else if (c == '.' && !point) {
      mantissa += c;
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  long exponent = 0;
  if (k < s.size()) {
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[k])));
    if (c == 'E' || c == 'D') ++k;
    else if (c != '+' && c != '-') return false;
    size_t start = k;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
    if (!all_digits(s, k, s.size())) return false;
    exponent = std::strtol(s.c_str() + start, nullptr, 10);
  }
  if (!point) exponent -= d;  // implied decimal point
  std::string text = mantissa + "e" + std::to_string(exponent);
  v = std::strtof(text.c_str(), nullptr);
  return true;
}

ReadStatus read_record(LineSource& src, const Layout& layout, const std::vector<Target>& targets,
                       int* tab_column) {
  std::string line;
  if (!read_line(src, line)) return ReadStatus::kEnd;
  const auto& items = layout.items();
  size_t next = 0;
  size_t col = 0;
  for (;;) {
    bool took_value = false;
    for (const auto& it : items) {
      if (next == targets.size()) return ReadStatus::kOk;
      switch (it.kind) {
        case LayoutItem::kSkip: col += static_cast<size_t>(it.width); break;
        case LayoutItem::kLiteral: col += it.literal.size(); break;
        case LayoutItem::kBreak:
          if (!read_line(src, line)) return ReadStatus::kEnd;
          col = 0;
          break;
        default: {
          int w = it.width > 0 ? it.width : static_cast<int>(line.size() > col ? line.size() - col : 0);
          size_t tab = line.find('\t');
          if (tab_column && it.kind != LayoutItem::kText && shifted_by_tab(line, tab, col, static_cast<size_t>(w))) {
            *tab_column = static_cast<int>(tab) + 1;
            return ReadStatus::kTab;
          }
          if (!store_field(it, column_field(line, col, w), targets[next])) return ReadStatus::kError;
          col += static_cast<size_t>(w);
          ++next;
          took_value = true;
        }
      }
    }
    if (next == targets.size()) return ReadStatus::kOk;
    if (!took_value) return ReadStatus::kError;
    if (!read_line(src, line)) return ReadStatus::kEnd;  // layout reused on the next record
    col = 0;
  }
}

ReadStatus parse_record(const std::string& line, const Layout& layout, const std::vector<Target>& targets) {
  StringSource src(line);
  return read_record(src, layout, targets);
}

ReadStatus read_list(LineSource& src, const std::vector<Target>& targets) {
  size_t next = 0;
  std::string line;
  while (next < targets.size()) {
    if (!read_line(src, line)) return ReadStatus::kEnd;
    size_t k = 0;
    while (next < targets.size()) {
      while (k < line.size() && (line[k] == ' ' || line[k] == '\t' || line[k] == ',')) ++k;
      if (k >= line.size()) break;
      size_t start = k;
      while (k < line.size() && line[k] != ' ' && line[k] != '\t' && line[k] != ',') ++k;
      std::string token = line.substr(start, k - start);
      const Target& t = targets[next++];
      bool ok = false;
      if (t.kind == Target::kInt) ok = parse_int_field(token, *t.i);
      else if (t.kind == Target::kReal) ok = parse_real_field(token, 0, *t.r);
      else {
        *t.s = token;
        ok = true;
      }
      if (!ok) return ReadStatus::kError;
    }
  }
  return ReadStatus::kOk;
}

std::string format_list(const std::vector<Value>& values) {
  std::string s = " ";
  for (const auto& v : values) {
    char buf[64];
    switch (v.kind) {
      case Value::kText: s += v.s; break;
      case Value::kInt: std::snprintf(buf, sizeof buf, "%12d", v.i); s += buf; break;
      case Value::kReal: std::snprintf(buf, sizeof buf, "%15.7E", static_cast<double>(v.r)); s += buf; break;
    }
  }
  return s;
}

}  // namespace tarn
