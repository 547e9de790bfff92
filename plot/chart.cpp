// SVG drawing of stacked chart panels: layout, ticks, series, legend.
#include "chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>

namespace tarn::plot {

namespace {

// The look shared by every plot.
constexpr double kWidth = 760.0;         // page width, pixels
constexpr double kMargin = 10.0;         // outer margin
constexpr double kYTitleBand = 22.0;     // room of the rotated y-axis title
constexpr double kTickLength = 5.0;
constexpr double kTickGap = 4.0;         // between a tick and its label
constexpr double kTickFont = 12.0;
constexpr double kAxisTitleFont = 13.0;
constexpr double kTitleFont = 15.0;
constexpr double kHeadingFont = 12.0;
constexpr double kSmallestTitleFont = 10.0;
constexpr double kTitleBand = 30.0;
constexpr double kHeadingBand = 18.0;
constexpr double kXLabelBand = 20.0;     // tick labels under the plot area
constexpr double kXTitleBand = 22.0;
constexpr double kPanelGap = 14.0;
constexpr double kMinRight = 24.0;
constexpr double kYTickSpacing = 34.0;   // least pixels between y ticks
constexpr double kXTickSpacing = 60.0;   // least pixels between x ticks, before the label test
constexpr double kLabelClearance = 14.0; // least gap between neighbouring x tick labels
constexpr double kFlatShare = 1.0e-3;    // a span below this share of the values is drawn as flat
constexpr double kDataPad = 0.04;        // share of the data span left free at each end
constexpr double kTickSnap = 0.08;       // share of the span by which a range grows to end on a tick
constexpr double kLegendFont = 12.0;
constexpr double kLegendRow = 17.0;
constexpr double kLegendPad = 7.0;
constexpr double kSwatch = 28.0;
constexpr double kLegendInset = 8.0;
constexpr double kSampleStep = 3.0;      // pixels between samples of a line when placing the legend
constexpr double kMarkerRadius = 4.0;
constexpr double kLineWidth = 1.8;
constexpr const char* kFontFamily = "DejaVu Sans, Verdana, Arial, sans-serif";
constexpr const char* kInk = "#222222";
constexpr const char* kFrame = "#555555";
constexpr const char* kGrid = "#e6e6e6";
constexpr const char* kMinus = "\xE2\x88\x92";  // U+2212

const char* const kPalette[] = {"#0072B2", "#D55E00", "#009E73", "#CC79A7", "#E69F00", "#56B4E9", "#000000"};
constexpr int kPaletteSize = sizeof(kPalette) / sizeof(kPalette[0]);
const Marker kMarkers[] = {Marker::kCircle, Marker::kSquare, Marker::kTriangle, Marker::kDiamond};

// A pixel coordinate to 0.01 px. Formed from the rounded integer number of
// hundredths: a drawing holds thousands of them and printf of a double is
// the slowest step of the whole plot.
std::string px(double v) {
  long long hundredths = std::llround(v * 100.0);
  bool negative = hundredths < 0;
  unsigned long long a = negative ? -hundredths : hundredths;
  char buf[32];
  char* end = buf + sizeof buf;
  char* p = end;
  *--p = static_cast<char>('0' + a % 10);
  *--p = static_cast<char>('0' + a / 10 % 10);
  *--p = '.';
  a /= 100;
  do {
    *--p = static_cast<char>('0' + a % 10);
    a /= 10;
  } while (a > 0);
  if (negative) *--p = '-';
  return std::string(p, end);
}

const char* dash_array(Dash d) {
  switch (d) {
    case Dash::kDashed: return "7 4";
    case Dash::kDotted: return "2 3";
    case Dash::kDashDot: return "8 3 2 3";
    case Dash::kSolid: break;
  }
  return "";
}

bool finite(double v) { return std::isfinite(v); }

// Decimals that show every multiple of the step exactly.
int decimals_of(double step) {
  for (int d = 0; d < 10; ++d) {
    double scaled = step * std::pow(10.0, d);
    if (std::abs(scaled - std::round(scaled)) < 1e-6 * std::max(1.0, scaled)) return d;
  }
  return 10;
}

// Linear map of one axis onto a pixel span [p0, p1] (p0 at lo unless inverted).
struct Scale {
  double lo = 0, hi = 1, p0 = 0, p1 = 1;
  bool inverted = false;
  double operator()(double v) const {
    double t = (v - lo) / (hi - lo);
    return inverted ? p1 + t * (p0 - p1) : p0 + t * (p1 - p0);
  }
};

struct Rect {
  double x0, y0, x1, y1;
  bool contains(double x, double y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

// The span of the data on one axis, padded, and the sign of the data
// itself: a range is not widened across zero to reach a tick, so that a
// drag axis, say, has no negative ticks.
struct Range {
  double lo = 0.0, hi = 1.0;
  bool nonnegative = false, nonpositive = false;
  bool empty = true;  // no data: the range is [0, 1]
};

Range data_range(const Panel& p, bool xaxis) {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -lo;
  for (const Series& s : p.series)
    for (size_t k = 0; k < s.x.size() && k < s.y.size(); ++k) {
      if (!finite(s.x[k]) || !finite(s.y[k])) continue;
      // Points outside a given x range are not drawn and do not set the y range.
      if (!xaxis && p.x.fixed && (s.x[k] < std::min(p.x.lo, p.x.hi) || s.x[k] > std::max(p.x.lo, p.x.hi))) continue;
      double v = xaxis ? s.x[k] : s.y[k];
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  if (!xaxis)
    for (const Level& l : p.levels) {
      lo = std::min(lo, l.value);
      hi = std::max(hi, l.value);
    }
  Range r;
  if (!finite(lo)) return r;
  r.empty = false;
  r.nonnegative = lo >= 0.0;
  r.nonpositive = hi <= 0.0;
  // Data that vary by less than kFlatShare of their size (a required lift
  // met to the fifth digit, say) are drawn as flat, not magnified.
  if (hi - lo <= kFlatShare * std::max({1e-8, std::abs(hi), std::abs(lo)})) {
    double half = std::max(0.1 * std::abs(hi), 0.1);
    r.lo = lo - half;
    r.hi = hi + half;
    return r;
  }
  // Leave a little room at both ends, so markers clear the frame. A range
  // of lines alone keeps its sign: a thickness axis starts at zero.
  double pad = kDataPad * (hi - lo);
  bool markers = std::any_of(p.series.begin(), p.series.end(),
                             [](const Series& s) { return s.style.marker != Marker::kNone; });
  r.lo = (r.nonnegative && !markers) ? std::max(lo - pad, 0.0) : lo - pad;
  r.hi = (r.nonpositive && !markers) ? std::min(hi + pad, 0.0) : hi + pad;
  return r;
}

// The range of two panels' data together.
Range joined(const Range& a, const Range& b) {
  if (a.empty || b.empty) return a.empty ? b : a;
  Range r;
  r.empty = false;
  r.lo = std::min(a.lo, b.lo);
  r.hi = std::max(a.hi, b.hi);
  r.nonnegative = a.nonnegative && b.nonnegative;
  r.nonpositive = a.nonpositive && b.nonpositive;
  return r;
}

// Ticks of an axis. A range from the data ends on a tick where the tick is
// near (and on the data's side of zero); otherwise it ends just beyond the
// data, so the plot area is not mostly empty margin.
Ticks axis_ticks(const Axis& a, const Range& r, int max_count) {
  if (a.fixed) return nice_ticks(a.lo, a.hi, max_count, false);
  double lo = r.lo, hi = r.hi;
  Ticks t = nice_ticks(lo, hi, max_count, false);
  double reach = kTickSnap * (hi - lo);
  double below = std::floor(lo / t.step + 1e-9) * t.step, above = std::ceil(hi / t.step - 1e-9) * t.step;
  bool below_crosses = r.nonnegative && below < -1e-9 * t.step, above_crosses = r.nonpositive && above > 1e-9 * t.step;
  if (lo - below <= reach && !below_crosses && (t.at.empty() || below < t.at.front() - 1e-9 * t.step)) {
    t.lo = below;
    t.at.insert(t.at.begin(), std::abs(below) < 1e-9 * t.step ? 0.0 : below);
  }
  if (above - hi <= reach && !above_crosses && (t.at.empty() || above > t.at.back() + 1e-9 * t.step)) {
    t.hi = above;
    t.at.push_back(std::abs(above) < 1e-9 * t.step ? 0.0 : above);
  }
  return t;
}

double widest_label(const Ticks& t) {
  double w = 0.0;
  for (double v : t.at) w = std::max(w, text_width(number_label(v, t.decimals), kTickFont));
  return w;
}

// Segments of the polyline of a series inside the plot area, in pixels;
// the line is broken at missing values and clipped at the area's edges.
std::vector<std::vector<std::pair<double, double>>> clipped_runs(const Series& s, const Scale& sx, const Scale& sy) {
  std::vector<std::vector<std::pair<double, double>>> runs(1);
  double xlo = std::min(sx.lo, sx.hi), xhi = std::max(sx.lo, sx.hi);
  double ylo = std::min(sy.lo, sy.hi), yhi = std::max(sy.lo, sy.hi);
  auto inside = [&](double x, double y) { return x >= xlo && x <= xhi && y >= ylo && y <= yhi; };
  auto emit = [&](double x, double y) {
    auto p = std::make_pair(sx(x), sy(y));
    if (runs.back().empty() || runs.back().back() != p) runs.back().push_back(p);
  };
  auto brk = [&] {
    if (!runs.back().empty()) runs.emplace_back();
  };
  size_t n = std::min(s.x.size(), s.y.size());
  auto ok = [&](size_t k) { return finite(s.x[k]) && finite(s.y[k]); };
  for (size_t k = 0; k < n; ++k) {
    if (!ok(k)) {
      brk();
      continue;
    }
    if (k == 0 || !ok(k - 1)) {
      if (inside(s.x[k], s.y[k])) emit(s.x[k], s.y[k]);
      continue;
    }
    // The segment from the previous point, clipped to the area (Liang-Barsky).
    double x0 = s.x[k - 1], y0 = s.y[k - 1], dx = s.x[k] - x0, dy = s.y[k] - y0;
    double t0 = 0.0, t1 = 1.0;
    bool visible = true;
    for (auto [p, q] : {std::pair{-dx, x0 - xlo}, {dx, xhi - x0}, {-dy, y0 - ylo}, {dy, yhi - y0}}) {
      if (p == 0) {
        if (q < 0) visible = false;
      } else if (p < 0) {
        t0 = std::max(t0, q / p);
      } else {
        t1 = std::min(t1, q / p);
      }
    }
    if (!visible || t0 > t1) {
      brk();
      continue;
    }
    if (t0 > 0) {
      brk();
      emit(x0 + t0 * dx, y0 + t0 * dy);
    }
    if (t1 < 1) {
      emit(x0 + t1 * dx, y0 + t1 * dy);
      brk();
    } else {
      emit(s.x[k], s.y[k]);
    }
  }
  if (runs.back().empty()) runs.pop_back();
  return runs;
}

std::string stroke_attributes(const Style& st, double width) {
  std::string out = "stroke=\"" + st.colour + "\" stroke-width=\"" + px(width) + "\"";
  if (st.dash != Dash::kSolid) out += std::string(" stroke-dasharray=\"") + dash_array(st.dash) + "\"";
  return out;
}

void marker(std::ostringstream& o, const Style& st, double x, double y, bool hollow, const std::string& series) {
  std::string common = std::string(" class=\"marker") + (hollow ? " hollow" : "") + "\" data-series=\"" +
                       xml_escape(series) + "\" fill=\"" + (hollow ? "#ffffff" : st.colour) + "\" stroke=\"" +
                       st.colour + "\" stroke-width=\"1.5\"";
  double r = kMarkerRadius;
  switch (st.marker) {
    case Marker::kNone: return;
    case Marker::kCircle:
      o << "<circle cx=\"" << px(x) << "\" cy=\"" << px(y) << "\" r=\"" << px(r) << "\"" << common << "/>\n";
      return;
    case Marker::kSquare:
      o << "<rect x=\"" << px(x - r * 0.9) << "\" y=\"" << px(y - r * 0.9) << "\" width=\"" << px(1.8 * r)
        << "\" height=\"" << px(1.8 * r) << "\"" << common << "/>\n";
      return;
    case Marker::kTriangle:
      o << "<polygon points=\"" << px(x) << "," << px(y - 1.2 * r) << " " << px(x - 1.1 * r) << ","
        << px(y + 0.8 * r) << " " << px(x + 1.1 * r) << "," << px(y + 0.8 * r) << "\"" << common << "/>\n";
      return;
    case Marker::kDiamond:
      o << "<polygon points=\"" << px(x) << "," << px(y - 1.25 * r) << " " << px(x + r) << "," << px(y) << " "
        << px(x) << "," << px(y + 1.25 * r) << " " << px(x - r) << "," << px(y) << "\"" << common << "/>\n";
      return;
  }
}

void text(std::ostringstream& o, double x, double y, const std::string& s, double size, const char* anchor,
          const std::string& extra = "") {
  o << "<text x=\"" << px(x) << "\" y=\"" << px(y) << "\" font-size=\"" << px(size) << "\" text-anchor=\"" << anchor
    << "\"" << extra << ">" << xml_escape(s) << "</text>\n";
}

// A legend: line entries with their swatches, then lines of notes.
struct Legend {
  std::vector<std::pair<std::string, Style>> entries;
  std::vector<std::string> notes;
  double width = 0, height = 0;
  bool empty() const { return entries.empty() && notes.empty(); }
};

std::vector<std::string> wrap(const std::string& s, double limit) {
  std::vector<std::string> lines;
  std::istringstream words(s);
  std::string word, line;
  while (words >> word) {
    std::string trial = line.empty() ? word : line + " " + word;
    if (!line.empty() && text_width(trial, kLegendFont) > limit) {
      lines.push_back(line);
      line = word;
    } else {
      line = trial;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

Legend make_legend(const Panel& p, double max_width) {
  Legend L;
  auto add = [&](const std::string& name, const Style& st) {
    if (name.empty() || !p.legend) return;
    for (const auto& e : L.entries)
      if (e.first == name) return;
    L.entries.emplace_back(name, st);
  };
  for (const Series& s : p.series) add(s.name, s.style);
  for (const Level& l : p.levels) add(l.name, l.style);
  for (const Mark& m : p.marks) add(m.name, m.style);
  double text_limit = max_width - 2 * kLegendPad;
  for (const std::string& n : p.notes)
    for (const std::string& line : wrap(n, text_limit)) L.notes.push_back(line);
  double w = 0;
  for (const auto& e : L.entries) w = std::max(w, kSwatch + 6 + text_width(e.first, kLegendFont));
  for (const auto& n : L.notes) w = std::max(w, text_width(n, kLegendFont));
  L.width = w + 2 * kLegendPad;
  L.height = (L.entries.size() + L.notes.size()) * kLegendRow + 2 * kLegendPad - 4;
  return L;
}

// Number of data samples (line samples, markers, levels) inside a rectangle.
int crowding(const Panel& p, const Scale& sx, const Scale& sy, const Rect& r) {
  Rect g{r.x0 - 3, r.y0 - 3, r.x1 + 3, r.y1 + 3};
  int count = 0;
  for (const Series& s : p.series) {
    for (const auto& run : clipped_runs(s, sx, sy)) {
      for (size_t k = 0; k < run.size(); ++k) {
        if (g.contains(run[k].first, run[k].second)) ++count;
        if (k == 0 || !s.style.line) continue;
        double dx = run[k].first - run[k - 1].first, dy = run[k].second - run[k - 1].second;
        int n = static_cast<int>(std::hypot(dx, dy) / kSampleStep);
        for (int j = 1; j < n; ++j) {
          double t = static_cast<double>(j) / n;
          if (g.contains(run[k - 1].first + t * dx, run[k - 1].second + t * dy)) ++count;
        }
      }
    }
  }
  for (const Level& l : p.levels) {
    double y = sy(l.value);
    if (y >= g.y0 && y <= g.y1) ++count;
  }
  for (const Mark& m : p.marks) {
    double x = sx(m.at);
    if (x >= g.x0 && x <= g.x1) ++count;
  }
  return count;
}

void draw_legend(std::ostringstream& o, const Legend& L, double x, double y) {
  o << "<g class=\"legend\">\n";
  o << "<rect x=\"" << px(x) << "\" y=\"" << px(y) << "\" width=\"" << px(L.width) << "\" height=\"" << px(L.height)
    << "\" fill=\"#ffffff\" fill-opacity=\"0.92\" stroke=\"#bbbbbb\" stroke-width=\"1\"/>\n";
  double row = y + kLegendPad + kLegendRow / 2 - 2;
  for (const auto& [name, st] : L.entries) {
    double sx0 = x + kLegendPad, sx1 = sx0 + kSwatch;
    if (st.line)
      o << "<line x1=\"" << px(sx0) << "\" y1=\"" << px(row) << "\" x2=\"" << px(sx1) << "\" y2=\"" << px(row) << "\" "
        << stroke_attributes(st, kLineWidth) << "/>\n";
    marker(o, st, (sx0 + sx1) / 2, row, false, "legend");
    text(o, sx1 + 6, row, name, kLegendFont, "start", " dy=\"0.35em\"");
    row += kLegendRow;
  }
  for (const auto& n : L.notes) {
    text(o, x + kLegendPad, row, n, kLegendFont, "start", " dy=\"0.35em\"");
    row += kLegendRow;
  }
  o << "</g>\n";
}

// A line of a title centred over the plot area: made smaller to fit, and
// cut short (at a whole character) when even that is not enough.
void title_line(std::ostringstream& o, const std::string& text_in, double size, double left, double right, double y,
                const std::string& extra) {
  std::string line = text_in;
  while (size > kSmallestTitleFont && text_width(line, size) > right - left) size -= 0.5;
  bool cut = false;
  while (line.size() > 1 && text_width(line + "...", size) > kWidth - 2 * kMargin) {
    line.pop_back();
    while (!line.empty() && (static_cast<unsigned char>(line.back()) & 0xC0) == 0x80) line.pop_back();
    if (!line.empty() && static_cast<unsigned char>(line.back()) >= 0xC0) line.pop_back();
    cut = true;
  }
  if (cut) line += "...";
  double half = text_width(line, size) / 2;
  double cx = std::clamp((left + right) / 2, kMargin + half, std::max(kMargin + half, kWidth - kMargin - half));
  text(o, cx, y, line, size, "middle", extra);
}

// What the layout decided for one panel.
struct PanelLayout {
  Ticks xt, yt;
  Scale sx, sy;
  double top = 0, bottom = 0;  // plot area
  double block_end = 0;        // below the labels and any legend under the panel
  Legend legend;
  bool legend_inside = true;
  double legend_x = 0, legend_y = 0;
};

void draw_panel(std::ostringstream& o, const Panel& p, const PanelLayout& L, double left, double right) {
  double top = L.top, bottom = L.bottom;
  // Grid lines at the ticks, then the frame.
  for (double v : L.yt.at)
    o << "<line class=\"grid\" x1=\"" << px(left) << "\" y1=\"" << px(L.sy(v)) << "\" x2=\"" << px(right)
      << "\" y2=\"" << px(L.sy(v)) << "\" stroke=\"" << kGrid << "\" stroke-width=\"1\"/>\n";
  for (double v : L.xt.at)
    o << "<line class=\"grid\" x1=\"" << px(L.sx(v)) << "\" y1=\"" << px(top) << "\" x2=\"" << px(L.sx(v))
      << "\" y2=\"" << px(bottom) << "\" stroke=\"" << kGrid << "\" stroke-width=\"1\"/>\n";
  // A zero line where zero lies inside a y range that changes sign.
  if (L.yt.lo < 0 && L.yt.hi > 0)
    o << "<line class=\"zero\" x1=\"" << px(left) << "\" y1=\"" << px(L.sy(0)) << "\" x2=\"" << px(right)
      << "\" y2=\"" << px(L.sy(0)) << "\" stroke=\"#aaaaaa\" stroke-width=\"1\"/>\n";
  o << "<rect class=\"frame\" x=\"" << px(left) << "\" y=\"" << px(top) << "\" width=\"" << px(right - left)
    << "\" height=\"" << px(bottom - top) << "\" fill=\"none\" stroke=\"" << kFrame << "\" stroke-width=\"1\"/>\n";

  for (const Level& l : p.levels) {
    double y = L.sy(l.value);
    if (y < top - 0.01 || y > bottom + 0.01) continue;
    o << "<line class=\"level\" data-series=\"" << xml_escape(l.name) << "\" x1=\"" << px(left) << "\" y1=\"" << px(y)
      << "\" x2=\"" << px(right) << "\" y2=\"" << px(y) << "\" " << stroke_attributes(l.style, 1.3) << "/>\n";
  }
  for (const Mark& m : p.marks) {
    double x = L.sx(m.at);
    if (!finite(x) || x < left - 0.01 || x > right + 0.01) continue;
    o << "<line class=\"mark\" data-series=\"" << xml_escape(m.name) << "\" x1=\"" << px(x) << "\" y1=\"" << px(top)
      << "\" x2=\"" << px(x) << "\" y2=\"" << px(bottom) << "\" " << stroke_attributes(m.style, 1.3) << "/>\n";
  }
  for (const Series& s : p.series) {
    if (!s.style.line) continue;
    for (const auto& run : clipped_runs(s, L.sx, L.sy)) {
      if (run.size() < 2) continue;
      o << "<polyline class=\"series\" data-series=\"" << xml_escape(s.name) << "\" fill=\"none\" "
        << stroke_attributes(s.style, kLineWidth) << " stroke-linejoin=\"round\" points=\"";
      for (size_t k = 0; k < run.size(); ++k) o << (k ? " " : "") << px(run[k].first) << "," << px(run[k].second);
      o << "\"/>\n";
    }
  }
  for (const Series& s : p.series) {
    if (s.style.marker == Marker::kNone) continue;
    for (size_t k = 0; k < s.x.size() && k < s.y.size(); ++k) {
      if (!finite(s.x[k]) || !finite(s.y[k])) continue;
      double x = L.sx(s.x[k]), y = L.sy(s.y[k]);
      if (x < left - 0.01 || x > right + 0.01 || y < top - 0.01 || y > bottom + 0.01) continue;
      marker(o, s.style, x, y, k < s.hollow.size() && s.hollow[k], s.name);
    }
  }

  // Ticks and their labels; each label sits exactly at its tick position.
  for (double v : L.yt.at) {
    double y = L.sy(v);
    o << "<line class=\"tick\" x1=\"" << px(left - kTickLength) << "\" y1=\"" << px(y) << "\" x2=\"" << px(left)
      << "\" y2=\"" << px(y) << "\" stroke=\"" << kFrame << "\" stroke-width=\"1\"/>\n";
    text(o, left - kTickLength - kTickGap, y, number_label(v, L.yt.decimals), kTickFont, "end",
         " class=\"tick-y\" dy=\"0.35em\"");
  }
  for (double v : L.xt.at) {
    double x = L.sx(v);
    o << "<line class=\"tick\" x1=\"" << px(x) << "\" y1=\"" << px(bottom) << "\" x2=\"" << px(x) << "\" y2=\""
      << px(bottom + kTickLength) << "\" stroke=\"" << kFrame << "\" stroke-width=\"1\"/>\n";
    if (p.x_labels)
      text(o, x, bottom + kTickLength + kTickGap, number_label(v, L.xt.decimals), kTickFont, "middle",
           " class=\"tick-x\" dy=\"0.8em\"");
  }
  if (p.x_labels && !p.x.title.empty())
    text(o, (left + right) / 2, bottom + kXLabelBand + kXTitleBand - 4, p.x.title, kAxisTitleFont, "middle",
         " class=\"axis-title\"");
  if (!p.y.title.empty()) {
    double cx = kMargin + 13, cy = (top + bottom) / 2;
    o << "<text class=\"axis-title\" x=\"" << px(cx) << "\" y=\"" << px(cy) << "\" font-size=\"" << px(kAxisTitleFont)
      << "\" text-anchor=\"middle\" transform=\"rotate(-90 " << px(cx) << " " << px(cy) << ")\">" << xml_escape(p.y.title)
      << "</text>\n";
  }
  if (!L.legend.empty()) draw_legend(o, L.legend, L.legend_x, L.legend_y);
}

}  // namespace

std::string xml_escape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (unsigned char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') break;  // not allowed in XML
        out += static_cast<char>(c);
    }
  }
  return out;
}

std::string number_label(double value, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, std::abs(value));
  std::string s = buf;
  bool zero = s.find_first_not_of("0.") == std::string::npos;
  return (value < 0 && !zero) ? kMinus + s : s;
}

const char* palette(int index) { return kPalette[((index % kPaletteSize) + kPaletteSize) % kPaletteSize]; }

Marker marker_shape(int index) { return kMarkers[index % 4]; }

Ticks nice_ticks(double lo, double hi, int max_count, bool extend) {
  Ticks t;
  if (!(hi > lo)) hi = lo + 1.0;
  max_count = std::max(max_count, 2);
  double raw = (hi - lo) / (max_count - 1);
  double mag = std::pow(10.0, std::floor(std::log10(raw)) - 1);
  const double mult[] = {1.0, 2.0, 2.5, 5.0};
  for (int decade = 0; decade < 4; ++decade, mag *= 10.0) {
    bool found = false;
    for (double m : mult) {
      double step = m * mag;
      double a = std::ceil(lo / step - 1e-9), b = std::floor(hi / step + 1e-9);
      if (extend) {
        a = std::floor(lo / step + 1e-9);
        b = std::ceil(hi / step - 1e-9);
      }
      if (b - a + 1 > max_count) continue;
      t.step = step;
      t.decimals = decimals_of(step);
      t.lo = extend ? a * step : lo;
      t.hi = extend ? b * step : hi;
      t.at.clear();
      for (int k = 0; k <= static_cast<int>(b - a); ++k) {
        double v = (a + k) * step;
        t.at.push_back(std::abs(v) < 1e-9 * step ? 0.0 : v);
      }
      found = true;
      break;
    }
    if (found) break;
  }
  return t;
}

double text_width(const std::string& s, double size) {
  // Character widths of DejaVu Sans in em, rounded up.
  double em = 0.0;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = s[i];
    if (c >= 0x80) {
      if ((c & 0xC0) == 0x80) continue;  // continuation byte
      em += (c == 0xE2) ? 0.84 : 0.68;  // math signs and dashes; Greek letters
      continue;
    }
    if (c >= '0' && c <= '9') em += 0.64;
    else if (std::string(" .,:;'!|").find(c) != std::string::npos) em += 0.34;
    else if (std::string("ijlft()[]-/").find(c) != std::string::npos) em += 0.40;
    else if (std::string("mwMW").find(c) != std::string::npos) em += 0.99;
    else if (c >= 'A' && c <= 'Z') em += 0.78;
    else if (std::string("=+<>~").find(c) != std::string::npos) em += 0.84;
    else em += 0.64;
  }
  return em * size;
}

std::string render_svg(const Figure& f) {
  std::vector<PanelLayout> layouts(f.panels.size());
  // The y ticks fix the left margin, which fixes the width of every panel.
  double ylabels = 0.0;
  for (size_t k = 0; k < f.panels.size(); ++k) {
    const Panel& p = f.panels[k];
    int count = std::max(3, static_cast<int>(p.height / kYTickSpacing) + 1);
    layouts[k].yt = axis_ticks(p.y, data_range(p, false), count);
    ylabels = std::max(ylabels, widest_label(layouts[k].yt));
  }
  double left = kMargin + kYTitleBand + ylabels + kTickGap + kTickLength + 2;
  double right = kWidth - kMinRight;
  // Stacked panels share one x scale: the data of all of them.
  Range xrange;
  for (size_t k = 0; k < f.panels.size(); ++k)
    xrange = k == 0 ? data_range(f.panels[k], true) : joined(xrange, data_range(f.panels[k], true));
  for (size_t k = 0; k < f.panels.size(); ++k) {
    const Panel& p = f.panels[k];
    Ticks xt;
    for (int count = std::max(3, static_cast<int>((right - left) / kXTickSpacing) + 1); count >= 2; --count) {
      xt = axis_ticks(p.x, xrange, count);
      double spacing = (right - left) * xt.step / (xt.hi - xt.lo);
      if (widest_label(xt) + kLabelClearance <= spacing) break;
    }
    layouts[k].xt = xt;
    // The last label is centred on the right edge: keep room for its half.
    right = std::min(right, kWidth - std::max(kMinRight, widest_label(xt) / 2 + kMargin));
  }

  double y = kMargin + (f.heading.empty() ? 0.0 : kHeadingBand) + (f.title.empty() ? 0.0 : kTitleBand) +
             (f.warning.empty() ? 0.0 : kHeadingBand);
  for (size_t k = 0; k < f.panels.size(); ++k) {
    const Panel& p = f.panels[k];
    PanelLayout& L = layouts[k];
    L.top = y;
    L.bottom = y + p.height;
    L.sx = Scale{L.xt.lo, L.xt.hi, left, right, p.x.inverted};
    L.sy = Scale{L.yt.lo, L.yt.hi, L.bottom, L.top, p.y.inverted};
    y = L.bottom + (p.x_labels ? kXLabelBand + (p.x.title.empty() ? 0.0 : kXTitleBand) : kTickLength + 2);
    L.legend = make_legend(p, right - left);
    if (!L.legend.empty()) {
      // Inside the plot area where it covers no data, else under the panel.
      double w = L.legend.width, h = L.legend.height;
      double xl = left + kLegendInset, xr = right - kLegendInset - w, xm = (left + right - w) / 2;
      double yt = L.top + kLegendInset, yb = L.bottom - kLegendInset - h, ym = (L.top + L.bottom - h) / 2;
      const std::pair<double, double> spots[] = {{xr, yt}, {xl, yt}, {xr, yb}, {xl, yb},
                                                 {xm, yt}, {xm, yb}, {xr, ym}, {xl, ym}};
      int best = -1;
      for (const auto& [sx0, sy0] : spots) {
        if (sx0 < left || sy0 < L.top) continue;
        int c = crowding(p, L.sx, L.sy, Rect{sx0, sy0, sx0 + w, sy0 + h});
        if (best < 0 || c < best) {
          best = c;
          L.legend_x = sx0;
          L.legend_y = sy0;
        }
        if (c == 0) break;
      }
      L.legend_inside = best == 0;
      if (!L.legend_inside) {
        L.legend_x = left;
        L.legend_y = y + 4;
        y += h + 8;
      }
    }
    L.block_end = y;
    if (k + 1 < f.panels.size()) y += kPanelGap;
  }

  // The section under the last panel, to the scale of its x axis.
  double section_top = y + 6, section_scale = 0, zmax = 0, section_height = 0;
  bool has_section = !f.section.empty() && !layouts.empty();
  if (has_section) {
    const PanelLayout& L = layouts.back();
    section_scale = (right - left) / (L.xt.hi - L.xt.lo);
    double zmin = std::numeric_limits<double>::infinity();
    zmax = -zmin;
    for (const Outline& ol : f.section)
      for (double z : ol.z)
        if (finite(z)) {
          zmin = std::min(zmin, z);
          zmax = std::max(zmax, z);
        }
    if (!finite(zmin)) has_section = false;
    else section_height = (zmax - zmin) * section_scale + 24;
  }
  double height = (has_section ? section_top + section_height : y) + kMargin;

  std::ostringstream o;
  o << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  o << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << px(kWidth) << "\" height=\"" << px(height)
    << "\" viewBox=\"0 0 " << px(kWidth) << " " << px(height) << "\" font-family=\"" << kFontFamily << "\" fill=\""
    << kInk << "\">\n";
  o << "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  double line = kMargin;
  if (!f.heading.empty()) {
    line += kHeadingBand;
    title_line(o, f.heading, kHeadingFont, left, right, line - 5, " class=\"heading\" fill=\"#555555\"");
  }
  if (!f.title.empty()) {
    line += kTitleBand;
    title_line(o, f.title, kTitleFont, left, right, line - 10, " class=\"title\" font-weight=\"bold\"");
  }
  if (!f.warning.empty()) {
    line += kHeadingBand;
    title_line(o, f.warning, kHeadingFont, left, right, line - 8,
               " class=\"warning\" fill=\"#b00020\" font-weight=\"bold\"");
  }
  for (size_t k = 0; k < f.panels.size(); ++k) {
    o << "<g class=\"panel\">\n";
    draw_panel(o, f.panels[k], layouts[k], left, right);
    o << "</g>\n";
  }
  if (has_section) {
    const PanelLayout& L = layouts.back();
    o << "<g class=\"section\">\n";
    if (!f.section_caption.empty())
      text(o, kMargin, section_top + 12, f.section_caption, 11.0, "start", " fill=\"#666666\"");
    for (const Outline& ol : f.section) {
      o << "<polyline fill=\"#dde3ea\" stroke=\"#333333\" stroke-width=\"1.2\" points=\"";
      bool first = true;
      for (size_t k = 0; k < ol.x.size() && k < ol.z.size(); ++k) {
        if (!finite(ol.x[k]) || !finite(ol.z[k])) continue;
        o << (first ? "" : " ") << px(L.sx(ol.x[k])) << "," << px(section_top + 12 + (zmax - ol.z[k]) * section_scale);
        first = false;
      }
      o << "\"/>\n";
    }
    o << "</g>\n";
  }
  o << "</svg>\n";
  return o.str();
}

}  // namespace tarn::plot
