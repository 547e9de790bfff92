// A study read from its folder, and its plots: lift curve, drag polar,
// drag breakdown, pitching moment and drag rise, with other studies and
// measured polars drawn with it.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdexcept>

#include "chart.h"
#include "data.h"

namespace tarn::plot {

namespace {

using sweep::Coefficients;
using sweep::PointRecord;

constexpr double kStudyHeight = 360.0;       // plot area of a study plot, pixels
constexpr double kBreakdownHeight = 170.0;   // each panel of the drag breakdown
constexpr size_t kNamedPoints = 6;           // points named in a legend note before the list is cut short
constexpr const char* kHollow = "\xE2\x97\x8B";  // U+25CB white circle
constexpr const char* kAlpha = "\xCE\xB1";
constexpr const char* kDegree = "\xC2\xB0";

// A quantity of a point, kNone when it has none.
using Quantity = std::function<double(const PointRecord&)>;

Quantity coefficient(float Coefficients::*c) {
  return [c](const PointRecord& r) {
    return r.finished && r.result.has_coefficients ? static_cast<double>(r.result.coefficients.*c) : kNone;
  };
}
const Quantity kMach = [](const PointRecord& r) { return static_cast<double>(r.point.mach); };
// The incidence reached (the asked one of a point with no result).
const Quantity kAlphaReached = [](const PointRecord& r) {
  double a = coefficient(&Coefficients::alpha)(r);
  return std::isfinite(a) || r.point.lift_given ? a : static_cast<double>(r.point.alpha);
};

bool converged(const PointRecord& r) { return r.finished && r.result.status == sweep::kConverged; }

// The swept value of a point: its incidence or its required lift.
float swept(const sweep::Point& p) { return p.lift_given ? p.cl : p.alpha; }

// Points of one Mach number, in order of incidence or lift.
std::vector<const PointRecord*> at_mach(const StudyFolder& s, float mach) {
  std::vector<const PointRecord*> out;
  for (const PointRecord& r : s.points)
    if (r.point.mach == mach) out.push_back(&r);
  std::stable_sort(out.begin(), out.end(),
                   [](const PointRecord* a, const PointRecord* b) { return swept(a->point) < swept(b->point); });
  return out;
}

Series series_of(const std::string& name, const Style& st, const std::vector<const PointRecord*>& pts, const Quantity& x,
                 const Quantity& y) {
  Series s;
  s.name = name;
  s.style = st;
  for (const PointRecord* p : pts) {
    double a = x(*p), b = y(*p);
    if (!std::isfinite(a) || !std::isfinite(b)) continue;
    s.x.push_back(a);
    s.y.push_back(b);
    s.hollow.push_back(!converged(*p));
  }
  return s;
}

Style study_style(int index, Dash dash = Dash::kSolid) {
  Style st;
  st.colour = palette(index);
  st.dash = dash;
  st.marker = marker_shape(index);
  return st;
}

// Compared studies are told apart by the dash of their lines.
Dash study_dash(size_t study) {
  const Dash dashes[] = {Dash::kSolid, Dash::kDashed, Dash::kDotted, Dash::kDashDot};
  return dashes[study % 4];
}

std::string mach_name(double m) { return "M " + short_number(m, 3); }

std::string curve_name(const StudyPlots& s, size_t study, const std::string& name) {
  return s.studies.size() > 1 ? s.studies[study].label + ": " + name : name;
}

std::string list_of(const std::vector<const PointRecord*>& pts) {
  std::string out;
  for (size_t k = 0; k < pts.size(); ++k) {
    if (k == kNamedPoints) {
      out += ", and " + std::to_string(pts.size() - k) + " more";
      break;
    }
    out += (k ? ", " : "") + point_name(pts[k]->point);
  }
  return out;
}

// Legend notes naming the points drawn hollow and those with nothing to draw.
std::vector<std::string> verdict_notes(const StudyFolder& s, const Quantity& y) {
  std::vector<const PointRecord*> hollow, failed, waiting;
  for (const PointRecord& p : s.points) {
    bool drawn = std::isfinite(y(p));
    if (drawn && !converged(p)) hollow.push_back(&p);
    else if (!drawn && !p.finished) waiting.push_back(&p);
    else if (!drawn) failed.push_back(&p);
  }
  std::vector<std::string> notes;
  if (!hollow.empty()) notes.push_back(std::string(kHollow) + " hollow, not converged: " + list_of(hollow));
  if (!failed.empty()) notes.push_back("no result: " + list_of(failed));
  if (!waiting.empty()) notes.push_back("pending, no result yet: " + list_of(waiting));
  return notes;
}

Figure study_figure(const StudyFolder& s, const std::string& what) {
  Figure f;
  f.heading = s.study.title.empty() ? s.study.aerofoil : s.study.title;
  f.title = what;
  Panel p;
  p.height = kStudyHeight;
  f.panels.push_back(p);
  return f;
}

// Curves of every Mach number of every study against x, with the measured
// polars as markers.
std::string per_mach(const StudyPlots& s, const std::string& what, const Quantity& x, const Quantity& y,
                     const std::string& xtitle, const std::string& ytitle,
                     std::vector<double> MeasuredPolar::*mx, std::vector<double> MeasuredPolar::*my) {
  Figure f = study_figure(s.studies.front(), what);
  Panel& p = f.panels[0];
  p.x.title = xtitle;
  p.y.title = ytitle;
  for (size_t k = 0; k < s.studies.size(); ++k) {
    const StudyFolder& st = s.studies[k];
    for (size_t m = 0; m < st.machs.size(); ++m) {
      Style style = study_style(m, study_dash(k));
      if (s.studies.size() > 1) style.marker = marker_shape(k);  // compared studies: a shape each
      Series one = series_of(curve_name(s, k, mach_name(st.machs[m])), style, at_mach(st, st.machs[m]), x, y);
      if (!one.x.empty()) p.series.push_back(one);  // a Mach number with no result is named in the notes
    }
  }
  for (size_t k = 0; k < s.measured.size(); ++k) {
    Series m;
    m.name = "measured: " + s.measured[k].name;
    m.style = study_style(6 - static_cast<int>(k));
    m.style.line = false;
    m.style.marker = Marker::kDiamond;
    m.x = s.measured[k].*mx;
    m.y = s.measured[k].*my;
    p.series.push_back(m);
  }
  p.notes = verdict_notes(s.studies.front(), y);
  return render_svg(f);
}

}  // namespace

StudyFolder read_study_folder(const std::string& dir) {
  StudyFolder s;
  s.dir = dir;
  s.study = sweep::read_study(dir);
  s.label = std::filesystem::path(dir).lexically_normal().filename().string();
  if (s.label.empty() || s.label == ".") s.label = std::filesystem::absolute(dir).lexically_normal().parent_path().filename().string();
  s.points = sweep::read_points(dir, s.study);
  s.machs = s.study.mach;
  std::sort(s.machs.begin(), s.machs.end());
  s.machs.erase(std::unique(s.machs.begin(), s.machs.end()), s.machs.end());
  return s;
}

std::string cl_alpha_svg(const StudyPlots& s) {
  return per_mach(s, "Lift curve", kAlphaReached, coefficient(&Coefficients::cl),
                  std::string(kAlpha) + " (degrees)", "CL", &MeasuredPolar::alpha, &MeasuredPolar::cl);
}

std::string cm_alpha_svg(const StudyPlots& s) {
  return per_mach(s, "Pitching moment", kAlphaReached, coefficient(&Coefficients::cm),
                  std::string(kAlpha) + " (degrees)", "CM (about the quarter chord)", &MeasuredPolar::alpha,
                  &MeasuredPolar::cm);
}

// CL against the drag of the section, CD = CDV + CD2, every Mach number in
// one panel.
std::string polar_svg(const StudyPlots& s) {
  return per_mach(s, "Drag polar", coefficient(&Coefficients::cd), coefficient(&Coefficients::cl),
                  "CD = CDV + CD2", "CL", &MeasuredPolar::cd, &MeasuredPolar::cl);
}

// The parts of the drag that add up to it, CDV + CD2 = CD, against CL, a
// panel for each Mach number with results, on one drag scale; CDP + CDF,
// the drag integrated over the surface, is drawn as a check on CD.
std::string drag_breakdown_svg(const StudyFolder& s) {
  Figure f = study_figure(s, "Drag breakdown: CD = CDV + CD2");
  const Panel one = f.panels[0];
  struct Part {
    const char* name;
    float Coefficients::*value;
    Dash dash;
    bool line;
  };
  const Part parts[] = {{"CD = CDV + CD2", &Coefficients::cd, Dash::kSolid, true},
                        {"CDV viscous (wake momentum)", &Coefficients::cdv, Dash::kDashed, true},
                        {"CD2 wave", &Coefficients::cd2, Dash::kDashDot, true},
                        {"CDP + CDF, surface-integration check of CD", &Coefficients::cdp_cdf, Dash::kSolid, false}};
  const Quantity drag = coefficient(&Coefficients::cd);
  std::vector<float> machs;
  for (float mach : s.machs) {
    auto pts = at_mach(s, mach);
    if (std::any_of(pts.begin(), pts.end(), [&](const PointRecord* r) { return std::isfinite(drag(*r)); }))
      machs.push_back(mach);
  }
  size_t panels = std::max<size_t>(machs.size(), 1);
  f.panels.assign(panels, one);
  for (size_t m = 0; m < panels; ++m) {
    Panel& p = f.panels[m];
    p.height = panels == 1 ? kStudyHeight : kBreakdownHeight;
    p.x.title = "drag coefficient";
    p.x_labels = m + 1 == panels;
    p.legend = m == 0;
    p.y.title = machs.size() <= 1 ? "CL" : "CL at " + mach_name(machs[m]);
    if (machs.empty()) continue;
    auto pts = at_mach(s, machs[m]);
    for (size_t k = 0; k < std::size(parts); ++k) {
      Style st = study_style(k, parts[k].dash);
      st.line = parts[k].line;
      if (!st.line) st.marker = Marker::kDiamond;
      p.series.push_back(series_of(parts[k].name, st, pts, coefficient(parts[k].value), coefficient(&Coefficients::cl)));
    }
  }
  f.panels.front().notes = verdict_notes(s, drag);
  if (machs.size() == 1 && s.machs.size() > 1) f.panels.front().y.title = "CL at " + mach_name(machs[0]);
  return render_svg(f);
}

// CD against Mach number, a curve for each incidence or required lift,
// every study in one panel.
std::string drag_rise_svg(const StudyPlots& s) {
  Figure f = study_figure(s.studies.front(), "Drag rise");
  Panel& p = f.panels[0];
  p.x.title = "Mach number";
  p.y.title = "CD = CDV + CD2";
  for (size_t k = 0; k < s.studies.size(); ++k) {
    const StudyFolder& st = s.studies[k];
    std::vector<float> values = st.by_cl() ? st.study.cl : st.study.alpha;
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    for (size_t v = 0; v < values.size(); ++v) {
      std::vector<const PointRecord*> pts;
      for (const PointRecord& r : st.points)
        if (swept(r.point) == values[v]) pts.push_back(&r);
      std::stable_sort(pts.begin(), pts.end(),
                       [](const PointRecord* a, const PointRecord* b) { return a->point.mach < b->point.mach; });
      std::string name = st.by_cl() ? "CL " + short_number(values[v], 3)
                                    : std::string(kAlpha) + " " + short_number(values[v], 2) + kDegree;
      Style style = study_style(v, study_dash(k));
      if (s.studies.size() > 1) style.marker = marker_shape(k);
      p.series.push_back(series_of(curve_name(s, k, name), style, pts, kMach, coefficient(&Coefficients::cd)));
    }
  }
  p.notes = verdict_notes(s.studies.front(), coefficient(&Coefficients::cd));
  return render_svg(f);
}

}  // namespace tarn::plot
