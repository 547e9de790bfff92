// A solution read from the printed listings of an ordinary run, for the
// one-off plots of a run that has no state at hand. The lines are read by
// the layouts the solver prints them with.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "boundary_layer/boundary_layer.h"
#include "data.h"
#include "results/listings.h"

namespace tarn::plot {

namespace {

constexpr double kFarWake = 50.0;   // the far wake station (x = 100) is not plotted
constexpr double kSameX = 1.0e-4;   // wake stations of the two sides match within this
constexpr size_t kSurfaceValues = 6;  // T, X, Z, CP, P/P0, EML
constexpr size_t kLayerValues = 5;    // X, HBAR, DELSTAR, THETA, CFLOC (DELTA follows on turbulent rows)
constexpr size_t kInviscidValues = 7, kViscousValues = 10;

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

std::string trimmed(const std::string& s) {
  size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// The text a layout of no values prints on its one line that is not blank.
std::string printed_text(const Layout& layout) {
  for (const std::string& line : format_records(layout, {}))
    if (!trimmed(line).empty()) return trimmed(line);
  return std::string();
}

// The values of a line printed with a layout of one record, field by field
// at the layout's columns: a field of asterisks (a value too wide for its
// field) reads as missing; the line may end before the last fields. False
// when a field holds something else, or no field holds a value.
bool values_of(const std::string& line, const Layout& layout, std::vector<double>& out) {
  out.clear();
  size_t col = 0;
  for (const LayoutItem& it : layout.items()) {
    if (it.kind == LayoutItem::kSkip) col += static_cast<size_t>(it.width);
    if (it.kind == LayoutItem::kLiteral) col += it.literal.size();
    if (!it.takes_value()) continue;
    if (col >= line.size()) break;
    std::string field = line.substr(col, static_cast<size_t>(it.width));
    col += static_cast<size_t>(it.width);
    float v = 0.0f;
    if (trimmed(field).find_first_not_of('*') == std::string::npos && !trimmed(field).empty()) out.push_back(kNone);
    else if (!trimmed(field).empty() && parse_real_field(field, it.decimals, v)) out.push_back(v);
    else return false;
  }
  return !out.empty();
}

// The last surface table: rows of (x, z, Cp) round the section from the
// lower trailing edge to the upper trailing edge.
std::vector<std::vector<double>> last_surface_table(const std::vector<std::string>& lines) {
  const std::string heading = printed_text(kSurfaceHeading);
  std::vector<std::vector<double>> table;
  std::vector<double> row;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (trimmed(lines[i]) != heading) continue;
    std::vector<std::vector<double>> rows;
    for (size_t k = i + 1; k < lines.size() && values_of(lines[k], kSurfaceRow, row) && row.size() == kSurfaceValues; ++k)
      rows.push_back({row[1], row[2], row[3]});
    if (!rows.empty()) table = rows;
  }
  return table;
}

// Rows of the last boundary-layer table under a title: x, DELSTAR, THETA,
// CFLOC (the HBAR and DELTA columns are not plotted). Lines between the
// rows (headings, transition messages) are passed over.
std::vector<std::vector<double>> last_layer_table(const std::vector<std::string>& lines, const Layout& title) {
  const std::string mine = printed_text(title);
  const std::string titles[] = {printed_text(kUpperLayerTitle), printed_text(kLowerLayerTitle)};
  std::vector<std::vector<double>> table;
  std::vector<double> row;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (trimmed(lines[i]) != mine) continue;
    std::vector<std::vector<double>> rows;
    for (size_t k = i + 1; k < lines.size(); ++k) {
      const std::string t = trimmed(lines[k]);
      if (t == titles[0] || t == titles[1] || t.find(" = ") != std::string::npos) break;
      if (values_of(lines[k], kLayerRow, row) && row.size() >= kLayerValues)
        rows.push_back({row[0], row[2], row[3], row[4]});
    }
    table = rows;
  }
  return table;
}

// Lines of a listing as a source for the record reader.
class Lines : public LineSource {
 public:
  Lines(const std::vector<std::string>& lines, size_t from) : lines_(lines), next_(from) {}
  bool next_line(std::string& line) override {
    if (next_ >= lines_.size()) return false;
    line = lines_[next_++];
    return true;
  }

 private:
  const std::vector<std::string>& lines_;
  size_t next_;
};

// The values of the last summary printed with a layout: it is read from
// the line before the last line that opens as the summary's first line.
std::vector<float> last_summary(const std::vector<std::string>& lines, const Layout& layout, size_t count) {
  std::string opening;
  for (const LayoutItem& it : layout.items())
    if (it.kind == LayoutItem::kLiteral) {
      opening = it.literal;
      break;
    }
  std::vector<float> values(count, NAN);
  for (size_t i = lines.size(); i-- > 1;) {
    if (lines[i].compare(0, opening.size(), opening) != 0) continue;
    std::vector<float> read(count, 0.0f);
    std::vector<Target> targets;
    for (float& v : read) targets.emplace_back(v);
    Lines source(lines, i - 1);
    if (read_record(source, layout, targets) == ReadStatus::kOk) values = read;
    break;
  }
  return values;
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

  // EM, ALP and CL open both summaries.
  std::vector<float> summary = p.viscous ? last_summary(brief, kViscousSummary, kViscousValues)
                                         : last_summary(brief, kInviscidSummary, kInviscidValues);
  p.mach = summary[0];
  p.alpha = summary[1];
  p.cl = summary[2];
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
