// CSV tables, JSON members and the short number forms of titles and legends.
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
  std::string t = text(row, name);
  if (t.empty()) return kNone;
  char* end = nullptr;
  double v = std::strtod(t.c_str(), &end);
  return (end && *end == '\0' && std::isfinite(v)) ? v : kNone;
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

double json_number(const nlohmann::json& j, const char* key) {
  if (!j.is_object() || !j.contains(key) || !j[key].is_number()) return kNone;
  return j[key].get<double>();
}

std::string json_text(const nlohmann::json& j, const char* key) {
  if (!j.is_object() || !j.contains(key) || !j[key].is_string()) return std::string();
  return j[key].get<std::string>();
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

std::string point_conditions(const StudyPoint& p, bool by_cl) {
  std::string s = "M " + short_number(p.mach, 3);
  if (by_cl) return s + ", CL " + short_number(p.cl_set, 3);
  return s + ", \xCE\xB1 " + short_number(p.alpha_set, 2) + "\xC2\xB0";
}

std::string point_name(const StudyPoint& p, bool by_cl) {
  return "point " + std::to_string(p.point) + " (" + point_conditions(p, by_cl) + ")";
}

bool file_exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace tarn::plot
