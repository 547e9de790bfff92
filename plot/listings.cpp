// A solution read from the printed listings of an ordinary run, for the
// one-off plots of a run that has no state at hand.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "data.h"

namespace tarn::plot {

namespace {

constexpr double kFarWake = 50.0;   // the far wake station (x = 100) is not plotted
constexpr double kSameX = 1.0e-4;   // wake stations of the two sides match within this
constexpr size_t kSurfaceColumns = 6;  // T, X, Z, CP, P/P0, EML
constexpr const char* kUpperLayerTitle = "UPPER-SURFACE BOUNDARY-LAYER DATA";
constexpr const char* kLowerLayerTitle = "LOWER-SURFACE BOUNDARY-LAYER DATA";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The numbers of a line made of numbers only; a field of asterisks (a value
// too wide for its field) reads as missing.
bool numbers_of(const std::string& line, std::vector<double>& out) {
  out.clear();
  std::istringstream in(line);
  std::string token;
  while (in >> token) {
    if (token.find_first_not_of('*') == std::string::npos) {
      out.push_back(kNone);
      continue;
    }
    char* end = nullptr;
    double v = std::strtod(token.c_str(), &end);
    if (!end || *end != '\0') return false;
    out.push_back(v);
  }
  return !out.empty();
}

bool is_surface_heading(const std::string& line) {
  return line.find("P/P0") != std::string::npos && line.find("EML") != std::string::npos &&
         line.find("(U)") == std::string::npos;
}

// The value printed after a label ("CL = ") on the last line holding it.
double last_value_after(const std::vector<std::string>& lines, const char* label) {
  double v = kNone;
  for (const auto& line : lines) {
    size_t p = line.find(label);
    if (p == std::string::npos) continue;
    char* end = nullptr;
    const char* start = line.c_str() + p + std::strlen(label);
    double x = std::strtod(start, &end);
    if (end != start) v = x;
  }
  return v;
}

// The last surface table: rows of (x, z, Cp) round the section from the
// lower trailing edge to the upper trailing edge.
std::vector<std::vector<double>> last_surface_table(const std::vector<std::string>& lines) {
  std::vector<std::vector<double>> table;
  std::vector<double> row;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!is_surface_heading(lines[i])) continue;
    std::vector<std::vector<double>> rows;
    for (size_t k = i + 1; k < lines.size() && numbers_of(lines[k], row) && row.size() == kSurfaceColumns; ++k)
      rows.push_back({row[1], row[2], row[3]});
    if (!rows.empty()) table = rows;
  }
  return table;
}

// Rows of the last boundary-layer table under a title: x, DELSTAR, THETA,
// CFLOC (the HBAR and DELTA columns are not plotted).
std::vector<std::vector<double>> last_layer_table(const std::vector<std::string>& lines, const char* title) {
  std::vector<std::vector<double>> table;
  std::vector<double> row;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find(title) == std::string::npos) continue;
    std::vector<std::vector<double>> rows;
    for (size_t k = i + 1; k < lines.size(); ++k) {
      const std::string& l = lines[k];
      if (l.find("BOUNDARY-LAYER DATA") != std::string::npos || l.find(" = ") != std::string::npos) break;
      if (numbers_of(l, row) && (row.size() == 5 || row.size() == 6)) rows.push_back({row[0], row[2], row[3], row[4]});
    }
    table = rows;
  }
  return table;
}

void append_layer(LayerCurve& c, double x, double dstar, double theta, double cf) {
  c.x.push_back(x);
  c.dstar.push_back(dstar);
  c.theta.push_back(theta);
  c.h.push_back(theta > 0 ? dstar / theta : kNone);
  c.cf.push_back(cf);
}

// Splits a layer table into the surface (x up to 1) and its wake side
// (from the trailing edge on, without the far station).
void split_layer(const std::vector<std::vector<double>>& rows, LayerCurve& surface, std::vector<std::vector<double>>& wake) {
  for (const auto& r : rows) {
    if (r[0] <= 1.0) append_layer(surface, r[0], r[1], r[2], r[3]);
    if (r[0] >= 1.0 && r[0] < kFarWake) wake.push_back(r);
  }
}

}  // namespace

PointPicture read_run_listings(const std::string& base) {
  std::string ful = base + ".FUL", brf = base + ".BRF";
  if (!file_exists(ful)) throw std::runtime_error("cannot read the results listing " + ful);
  auto full = lines_of(read_text(ful));
  auto brief = file_exists(brf) ? lines_of(read_text(brf)) : full;

  auto table = last_surface_table(full);
  if (table.empty()) throw std::runtime_error(ful + " holds no surface table (the run printed no final results)");

  PointPicture p;
  p.cf_title = "Cf (local)";
  // The lower surface runs from the trailing edge to the point of least x,
  // the upper from there back to the trailing edge.
  size_t imin = 0;
  double xmin = 1.0;
  for (size_t i = 0; i < table.size(); ++i)
    if (table[i][0] < xmin) {
      xmin = table[i][0];
      imin = i;
    }
  for (size_t i = imin + 1; i-- > 0;) {
    p.lower.x.push_back(table[i][0]);
    p.lower.z.push_back(table[i][1]);
    p.lower.cp.push_back(table[i][2]);
  }
  for (size_t i = imin; i < table.size(); ++i) {
    p.upper.x.push_back(table[i][0]);
    p.upper.z.push_back(table[i][1]);
    p.upper.cp.push_back(table[i][2]);
  }

  // The wake of the two sides together: thicknesses add up.
  std::vector<std::vector<double>> upper_wake, lower_wake;
  split_layer(last_layer_table(full, kUpperLayerTitle), p.upper_layer, upper_wake);
  split_layer(last_layer_table(full, kLowerLayerTitle), p.lower_layer, lower_wake);
  for (size_t k = 0; k < upper_wake.size() && k < lower_wake.size(); ++k) {
    if (std::abs(upper_wake[k][0] - lower_wake[k][0]) > kSameX) break;
    append_layer(p.wake, upper_wake[k][0], upper_wake[k][1] + lower_wake[k][1], upper_wake[k][2] + lower_wake[k][2],
                 kNone);
  }
  p.viscous = !p.upper_layer.x.empty() || !p.lower_layer.x.empty();

  p.mach = last_value_after(brief, "EM = ");
  p.alpha = last_value_after(brief, "ALP = ");
  p.cl = last_value_after(brief, "CL = ");
  std::string title = full.empty() ? std::string() : full[0];
  size_t ivp = title.find("IVP=");
  if (ivp != std::string::npos) title = title.substr(0, ivp);
  size_t a = title.find_first_not_of(' '), b = title.find_last_not_of(' ');
  title = a == std::string::npos ? std::string() : title.substr(a, b - a + 1);
  p.heading = title;
  p.title = picture_title(std::filesystem::path(base).filename().string(), p);
  return p;
}

}  // namespace tarn::plot
