// Reading and writing the JSON and text files of a study, and the decimal
// form of the numbers in them.
#include "files.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace tarn::sweep {

namespace {

constexpr int kFewestDigits = 6;  // a float always reads back from 9 significant digits
constexpr int kMostDigits = 9;

Json number_list(const std::vector<float>& v) {
  Json list = Json::array();
  for (float x : v) list.push_back(number(x));
  return list;
}

std::vector<float> floats(const Json& j) {
  std::vector<float> v;
  for (const Json& x : j) v.push_back(x.get<float>());
  return v;
}

// Significant digits of the shortest decimal that reads back as v: with
// fewer, none does, so the search below may start there.
int shortest_digits(float v) {
  char buf[32];
  auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific).ptr;
  int digits = 0;
  for (const char* c = buf; c != end && *c != 'e'; ++c) digits += std::isdigit(static_cast<unsigned char>(*c)) ? 1 : 0;
  return digits;
}

float real_of(const Json& j) { return j.is_number() ? j.get<float>() : NAN; }

Json text_or_null(const std::string& s) { return s.empty() ? Json(nullptr) : Json(s); }
std::string text_of(const Json& j, const char* key) {
  return j.contains(key) && j[key].is_string() ? j[key].get<std::string>() : std::string();
}

Json shock_list(const std::vector<float>& x) { return number_list(x); }
std::vector<float> shocks_of(const Json& j, const char* side) {
  std::vector<float> x;
  if (j.is_object() && j.contains(side) && j[side].is_array())
    for (const Json& v : j[side]) x.push_back(real_of(v));
  return x;
}

}  // namespace

const std::vector<CoefficientName> kCoefficientNames = {
    {"alpha", &Coefficients::alpha}, {"cl", &Coefficients::cl},
    {"cm", &Coefficients::cm},       {"cdp", &Coefficients::cdp},
    {"cdf", &Coefficients::cdf},     {"cdv", &Coefficients::cdv},
    {"cd1", &Coefficients::cd1},     {"cd2", &Coefficients::cd2},
    {"cd", &Coefficients::cd},       {"cdp_cdf", &Coefficients::cdp_cdf},
    {"cdv_cd1", &Coefficients::cdv_cd1}, {"xtr_upper", &Coefficients::xtr_upper},
    {"xtr_lower", &Coefficients::xtr_lower}};

const std::vector<std::string> kPolarColumns = {"point", "mach", "alpha_deg", "cl",        "cm",        "cdp",
                                                "cdf",   "cdv",  "cd1",       "cd2",       "cd",        "xtr_upper",
                                                "xtr_lower", "verdict", "tries", "reason"};

Json coefficients_json(const Coefficients& c) {
  Json j = Json::object();
  for (const CoefficientName& n : kCoefficientNames) j[n.name] = number(c.*n.value);
  return j;
}

Coefficients coefficients_from_json(const Json& j) {
  Coefficients c;
  if (!j.is_object()) return c;
  for (const CoefficientName& n : kCoefficientNames)
    if (j.contains(n.name)) c.*n.value = real_of(j[n.name]);
  return c;
}

Json result_json(const PointResult& r) {
  Json tries = Json::array();
  for (const TryResult& t : r.tries)
    tries.push_back({{"try", t.number},
                     {"changes", t.changes},
                     {"status", t.status},
                     {"reason", t.reason},
                     {"advice", text_or_null(t.advice)},
                     {"figures", t.figures},
                     {"seconds", t.seconds},
                     {"folder", text_or_null(t.folder)}});
  Json j;
  j["point"] = r.point;
  j["conditions"] = r.conditions;
  j["coefficients"] = r.has_coefficients ? coefficients_json(r.coefficients) : Json(nullptr);
  j["shocks"] = {{"upper", shock_list(r.shocks_upper)}, {"lower", shock_list(r.shocks_lower)}};
  j["verdict"] = {
      {"status", r.status}, {"reason", r.reason}, {"advice", text_or_null(r.advice)}, {"figures", r.figures}};
  j["tries"] = tries;
  j["result_try"] = r.result_try;
  j["seconds"] = r.seconds;
  return j;
}

PointResult result_from_json(const Json& j) {
  PointResult r;
  r.point = j.at("point").get<int>();
  r.conditions = j.value("conditions", Json());
  const Json& c = j.at("coefficients");
  r.has_coefficients = c.is_object();
  r.coefficients = coefficients_from_json(c);
  Json shocks = j.value("shocks", Json());
  r.shocks_upper = shocks_of(shocks, "upper");
  r.shocks_lower = shocks_of(shocks, "lower");
  const Json& v = j.at("verdict");
  r.status = v.at("status").get<std::string>();
  r.reason = text_of(v, "reason");
  r.advice = text_of(v, "advice");
  r.figures = v.value("figures", Json::object());
  for (const Json& t : j.at("tries")) {
    TryResult x;
    x.number = t.at("try").get<int>();
    x.changes = t.value("changes", Json::object());
    x.status = text_of(t, "status");
    x.reason = text_of(t, "reason");
    x.advice = text_of(t, "advice");
    x.figures = t.value("figures", Json::object());
    x.seconds = t.contains("seconds") && t["seconds"].is_number() ? t["seconds"].get<double>() : 0.0;
    x.folder = text_of(t, "folder");
    r.tries.push_back(x);
  }
  r.result_try = j.value("result_try", 0);
  r.seconds = j.contains("seconds") && j["seconds"].is_number() ? j["seconds"].get<double>() : 0.0;
  return r;
}

PointResult read_result(const std::string& path) {
  Json j = read_json(path);
  try {
    return result_from_json(j);
  } catch (const Json::exception& e) {
    throw std::runtime_error(path + " is not a point result: " + e.what());
  }
}

std::vector<PointRecord> read_points(const std::string& dir, const Study& s) {
  std::vector<PointRecord> records;
  for (const Point& p : points_of(s)) {
    PointRecord r;
    r.point = p;
    std::string path = (std::filesystem::path(dir) / p.folder / kResultFile).string();
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
      try {
        r.result = read_result(path);
        r.finished = true;
      } catch (const std::exception& e) {
        r.problem = e.what();
      }
    }
    records.push_back(r);
  }
  return records;
}

std::string csv_header(const std::vector<std::string>& columns) {
  std::string line;
  for (size_t k = 0; k < columns.size(); ++k) line += (k ? "," : "") + columns[k];
  return line + "\n";
}

std::string csv_quoted(const std::string& text) {
  std::string q = "\"";
  for (char c : text) q += c == '"' ? std::string("\"\"") : std::string(1, c == '\n' || c == '\r' ? ' ' : c);
  return q + "\"";
}

// The %.*g of printf and strtof, by to_chars and from_chars, which give the
// same characters and value at a fraction of the cost: a try's surface and
// wake tables alone hold some 1500 numbers.
std::string decimal(float v) {
  if (!std::isfinite(v)) return std::string();
  char buf[32];
  char* end = buf;
  for (int digits = std::max(kFewestDigits, shortest_digits(v)); digits <= kMostDigits; ++digits) {
    end = std::to_chars(buf, buf + sizeof buf, static_cast<double>(v), std::chars_format::general, digits).ptr;
    float back = 0.0f;
    std::from_chars(buf, end, back);
    if (back == v) break;
  }
  return std::string(buf, end);
}

Json number(float v) {
  if (!std::isfinite(v)) return nullptr;
  std::string d = decimal(v);
  double x = 0.0;
  std::from_chars(d.data(), d.data() + d.size(), x);
  return x;
}

std::string clock_text(double seconds) {
  long s = static_cast<long>(seconds + 0.5);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
  return buf;
}

std::string time_limit_reason() {
  return "stopped after " + clock_text(kPointTimeLimit) + " without a result (the time limit of a point)";
}

std::string printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text)
    if (c >= 0x20 && c != 0x7f) out += static_cast<char>(c);
  return out;
}

namespace {

// Length of the UTF-8 character at text[k], or 0 when the bytes there are
// not one (a stray continuation byte, an overlong or cut-off sequence).
size_t utf8_length(const std::string& text, size_t k) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char c = byte(k);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 && c >= 0xc2 ? 2 : (c >> 4) == 0xe ? 3 : (c >> 3) == 0x1e && c <= 0xf4 ? 4 : 0;
  if (n == 0 || k + n > text.size()) return 0;
  for (size_t i = 1; i < n; ++i)
    if ((byte(k + i) >> 6) != 0x2) return 0;
  if (n == 3 && ((c == 0xe0 && byte(k + 1) < 0xa0) || (c == 0xed && byte(k + 1) >= 0xa0))) return 0;
  if (n == 4 && ((c == 0xf0 && byte(k + 1) < 0x90) || (c == 0xf4 && byte(k + 1) >= 0x90))) return 0;
  return n;
}

}  // namespace

std::string utf8_text(const std::string& bytes) {
  std::string out;
  for (size_t k = 0; k < bytes.size();) {
    size_t n = utf8_length(bytes, k);
    unsigned char c = static_cast<unsigned char>(bytes[k]);
    if (n > 0) {
      bool control = c < 0x20 || c == 0x7f || (c == 0xc2 && static_cast<unsigned char>(bytes[k + 1]) < 0xa0);
      if (!control) out.append(bytes, k, n);
      k += n;
    } else {
      if (c >= 0xa0) {  // Latin-1: the code point is the byte
        out += static_cast<char>(0xc0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3f));
      }
      ++k;
    }
  }
  return out;
}

std::string utf8_prefix(const std::string& text, size_t bytes) {
  size_t end = 0;
  while (end < text.size()) {
    size_t n = std::max<size_t>(1, utf8_length(text, end));
    if (end + n > bytes) break;
    end += n;
  }
  return text.substr(0, end);
}

Json read_json(const std::string& path) {
  try {
    return Json::parse(read_text(path));
  } catch (const Json::exception& e) {
    throw std::runtime_error(path + " is not readable JSON: " + e.what());
  }
}

void write_json(const std::string& path, const Json& j) { write_text(path, j.dump(1) + "\n"); }

std::string point_folder(int n) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s/%03d", kPointsFolder.c_str(), n);
  return buf;
}

std::string run_name(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "P%03d", n);
  return buf;
}

namespace {

// study.json without its list of points.
Json asked_json(const Study& s) {
  Json set = Json::object();
  for (const auto& [name, value] : s.set) set[name] = number(value);
  Json j;
  j["aerofoil"] = s.aerofoil;
  j["title"] = s.title;
  j["source"] = s.source;
  j["mach"] = number_list(s.mach);
  j["alpha"] = s.cl.empty() ? number_list(s.alpha) : Json(nullptr);
  j["cl"] = s.cl.empty() ? Json(nullptr) : number_list(s.cl);
  j["re"] = number(s.re);
  j["xtu"] = number(s.xtu);
  j["xtl"] = number(s.xtl);
  if (s.ncrit > 0.0f) j["ncrit"] = number(s.ncrit);
  j["viscous"] = s.viscous;
  j["grid"] = s.grid;
  j["set"] = set;
  if (s.cold) j["cold"] = true;
  return j;
}

}  // namespace

Json study_json(const Study& s) {
  Json j = asked_json(s);
  Json points = Json::array();
  for (const Point& p : points_of(s))
    points.push_back({{"point", p.number},
                      {"folder", p.folder},
                      {"mach", number(p.mach)},
                      {"alpha", p.lift_given ? Json(nullptr) : number(p.alpha)},
                      {"cl", p.lift_given ? number(p.cl) : Json(nullptr)}});
  j["points"] = points;
  return j;
}

Study study_from_json(const Json& j) {
  Study s;
  s.aerofoil = j.at("aerofoil").get<std::string>();
  s.title = j.at("title").get<std::string>();
  s.source = j.at("source").get<std::string>();
  s.mach = floats(j.at("mach"));
  if (!j.at("alpha").is_null()) s.alpha = floats(j.at("alpha"));
  if (!j.at("cl").is_null()) s.cl = floats(j.at("cl"));
  s.re = j.at("re").get<float>();
  s.xtu = j.at("xtu").get<float>();
  s.xtl = j.at("xtl").get<float>();
  s.ncrit = j.value("ncrit", 0.0f);
  s.viscous = j.at("viscous").get<bool>();
  s.grid = j.at("grid").get<int32_t>();
  for (const auto& [name, value] : j.at("set").items()) s.set.emplace_back(name, value.get<float>());
  s.cold = j.value("cold", false);
  return s;
}

Json point_json(const Study& s, const Point& p) {
  Json j = asked_json(s);
  j["mach"] = number_list({p.mach});
  j["alpha"] = number_list({p.alpha});
  j["cl"] = p.lift_given ? number_list({p.cl}) : Json(nullptr);
  Json head = {{"point", p.number}, {"folder", p.folder}};
  head.update(j);
  return head;
}

void point_from_json(const Json& j, Study& s, Point& p) {
  s = study_from_json(j);
  p.number = j.at("point").get<int>();
  p.folder = j.at("folder").get<std::string>();
  p.mach = s.mach.at(0);
  p.alpha = s.alpha.at(0);
  p.lift_given = !s.cl.empty();
  p.cl = p.lift_given ? s.cl.at(0) : 0.0f;
}

}  // namespace tarn::sweep
