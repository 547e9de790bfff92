// CSV tables, JSON members and the short number forms of titles and legends.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "data.h"

namespace tarn::plot {

namespace {

// Fields of one CSV line; a field may be quoted to hold commas.
std::vector<std::string> split_csv(const std::string& line) {
  if (line.find_first_of("\"\r \t") == std::string::npos) {
    // Plain fields, as the study writes its tables: cut at the commas.
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1)
      fields.emplace_back(line, start, comma - start);
    fields.emplace_back(line, start);
    return fields;
  }
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c != '\r') {
      fields.back() += c;
    }
  }
  for (auto& f : fields) {
    size_t a = f.find_first_not_of(" \t"), b = f.find_last_not_of(" \t");
    f = a == std::string::npos ? std::string() : f.substr(a, b - a + 1);
  }
  return fields;
}

}  // namespace

int Table::column(const std::string& name) const {
  for (size_t c = 0; c < header.size(); ++c)
    if (header[c] == name) return static_cast<int>(c);
  return -1;
}

std::string Table::text(size_t row, const std::string& name) const {
  int c = column(name);
  if (c < 0 || row >= rows.size() || static_cast<size_t>(c) >= rows[row].size()) return std::string();
  return rows[row][c];
}

double Table::number(size_t row, const std::string& name) const {
  int c = column(name);
  if (c < 0 || row >= rows.size() || static_cast<size_t>(c) >= rows[row].size()) return kNone;
  const std::string& t = rows[row][c];
  if (t.empty()) return kNone;
  // A plain decimal by from_chars, which rounds as strtod does at a
  // fraction of its cost; any other form (a sign, blanks, out of range) by
  // strtod itself.
  double v = 0.0;
  auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (error != std::errc() || end != t.data() + t.size()) {
    char* stop = nullptr;
    v = std::strtod(t.c_str(), &stop);
    if (!(stop && *stop == '\0')) return kNone;
  }
  return std::isfinite(v) ? v : kNone;
}

Table read_csv(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  Table t;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || line.find_first_not_of(" \t\r") == std::string::npos) continue;
    if (t.header.empty()) t.header = split_csv(line);
    else t.rows.push_back(split_csv(line));
  }
  if (t.header.empty()) throw std::runtime_error(path + " has no header line");
  return t;
}

Overlay read_overlay(const std::string& given) {
  Overlay o;
  std::string file = given;
  size_t colon = given.find(':');
  if (colon != std::string::npos && colon > 0 &&
      given.find_first_not_of("0123456789") == colon) {  // N:FILE, the point N
    o.point = std::stoi(given.substr(0, colon));
    file = given.substr(colon + 1);
  }
  Table t = read_csv(file);
  std::string name = std::filesystem::path(file).stem().string();
  auto has = [&](std::initializer_list<const char*> columns) {
    for (const char* c : columns)
      if (t.column(c) < 0) return false;
    return true;
  };
  if (has({"x", "cp"})) {
    o.cp.name = name;
    for (size_t r = 0; r < t.rows.size(); ++r) {
      o.cp.x.push_back(t.number(r, "x"));
      o.cp.cp.push_back(t.number(r, "cp"));
    }
  } else if (has({"alpha", "cl"})) {
    if (o.point != 0) throw std::runtime_error(given + ": a polar (alpha,cl,cd,cm) belongs to no one point");
    o.polar = true;
    o.measured.name = name;
    for (size_t r = 0; r < t.rows.size(); ++r) {
      o.measured.alpha.push_back(t.number(r, "alpha"));
      o.measured.cl.push_back(t.number(r, "cl"));
      o.measured.cd.push_back(t.number(r, "cd"));
      o.measured.cm.push_back(t.number(r, "cm"));
    }
  } else {
    throw std::runtime_error(file + " holds neither the columns x,cp (a pressure distribution) nor alpha,cl,cd,cm (a polar)");
  }
  return o;
}

std::string short_number(double v, int max_decimals) {
  if (!std::isfinite(v)) return "-";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", max_decimals, v);
  std::string s = buf;
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  if (!s.empty() && s[0] == '-') s = "\xE2\x88\x92" + s.substr(1);
  return s;
}

std::string point_conditions(const sweep::Point& p) {
  std::string s = "M " + short_number(p.mach, 3);
  if (p.lift_given) return s + ", CL " + short_number(p.cl, 3);
  return s + ", \xCE\xB1 " + short_number(p.alpha, 2) + "\xC2\xB0";
}

std::string point_name(const sweep::Point& p) {
  return "point " + std::to_string(p.number) + " (" + point_conditions(p) + ")";
}

bool file_exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace tarn::plot
