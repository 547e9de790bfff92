// A study read from its folder, and its plots: lift curve, drag polar,
// pitching moment and drag rise.
#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>

#include "chart.h"
#include "data.h"

namespace tarn::plot {

namespace {

constexpr double kSameValue = 1.0e-6;   // conditions closer than this are the same
constexpr double kStudyHeight = 360.0;  // plot area of a study plot, pixels
constexpr double kPolarPanelHeight = 210.0;  // each panel of a polar of several Mach numbers
constexpr size_t kNamedPoints = 6;      // points named in a legend note before the list is cut short
constexpr const char* kHollow = "\xE2\x97\x8B";  // U+25CB white circle
constexpr const char* kAlpha = "\xCE\xB1";
constexpr const char* kDegree = "\xC2\xB0";

nlohmann::json read_json(const std::string& path) {
  try {
    return nlohmann::json::parse(read_text(path));
  } catch (const nlohmann::json::exception& e) {
    throw std::runtime_error(path + " is not valid JSON: " + e.what());
  }
}

std::string point_folder(int point) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "points/%03d", point);
  return buf;
}

void fill(double& v, double from) {
  if (!std::isfinite(v)) v = from;
}

void take_polar_row(StudyPoint& p, const Table& t, size_t r) {
  fill(p.mach, t.number(r, "mach"));
  fill(p.alpha, t.number(r, "alpha"));
  fill(p.cl, t.number(r, "cl"));
  fill(p.cm, t.number(r, "cm"));
  fill(p.cdp, t.number(r, "cdp"));
  fill(p.cdf, t.number(r, "cdf"));
  fill(p.cdv, t.number(r, "cdv"));
  fill(p.cd1, t.number(r, "cd1"));
  fill(p.cd2, t.number(r, "cd2"));
  fill(p.cd, t.number(r, "cd"));
  if (p.verdict.empty()) p.verdict = t.text(r, "verdict");
  double tries = t.number(r, "tries");
  if (p.tries == 0 && std::isfinite(tries)) p.tries = static_cast<int>(tries);
}

void take_result(StudyPoint& p, const nlohmann::json& j) {
  p.result = j;
  const auto& cond = j.value("conditions", nlohmann::json::object());
  fill(p.mach, json_number(cond, "mach"));
  fill(p.alpha_set, json_number(cond, "alpha"));
  fill(p.cl_set, json_number(cond, "cl"));
  const auto& c = j.value("coefficients", nlohmann::json());
  fill(p.alpha, json_number(c, "alpha"));
  fill(p.cl, json_number(c, "cl"));
  fill(p.cm, json_number(c, "cm"));
  fill(p.cdp, json_number(c, "cdp"));
  fill(p.cdf, json_number(c, "cdf"));
  fill(p.cdv, json_number(c, "cdv"));
  fill(p.cd1, json_number(c, "cd1"));
  fill(p.cd2, json_number(c, "cd2"));
  fill(p.cd, json_number(c, "cd"));
  if (p.verdict.empty()) p.verdict = json_text(j.value("verdict", nlohmann::json::object()), "status");
  if (p.tries == 0 && j.contains("tries") && j["tries"].is_array()) p.tries = static_cast<int>(j["tries"].size());
}

// Points of one Mach number (or of one other condition), in order of incidence.
std::vector<const StudyPoint*> points_where(const Study& s, double StudyPoint::*key, double value) {
  std::vector<const StudyPoint*> out;
  for (const StudyPoint& p : s.points)
    if (std::abs(p.*key - value) < kSameValue) out.push_back(&p);
  std::stable_sort(out.begin(), out.end(), [](const StudyPoint* a, const StudyPoint* b) {
    double x = std::isfinite(a->alpha) ? a->alpha : a->alpha_set, y = std::isfinite(b->alpha) ? b->alpha : b->alpha_set;
    return x < y;
  });
  return out;
}

Series series_of(const std::string& name, const Style& st, const std::vector<const StudyPoint*>& pts,
                 double StudyPoint::*x, double StudyPoint::*y) {
  Series s;
  s.name = name;
  s.style = st;
  for (const StudyPoint* p : pts) {
    if (!std::isfinite(p->*x) || !std::isfinite(p->*y)) continue;
    s.x.push_back(p->*x);
    s.y.push_back(p->*y);
    s.hollow.push_back(!p->converged());
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

std::string mach_name(double m) { return "M " + short_number(m, 3); }

std::string list_of(const std::vector<const StudyPoint*>& pts, bool by_cl) {
  std::string out;
  for (size_t k = 0; k < pts.size(); ++k) {
    if (k == kNamedPoints) {
      out += ", and " + std::to_string(pts.size() - k) + " more";
      break;
    }
    out += (k ? ", " : "") + point_name(*pts[k], by_cl);
  }
  return out;
}

// Legend notes naming the points drawn hollow and those with nothing to draw.
std::vector<std::string> verdict_notes(const std::vector<const StudyPoint*>& pts, double StudyPoint::*y, bool by_cl) {
  std::vector<const StudyPoint*> hollow, failed, waiting;
  for (const StudyPoint* p : pts) {
    bool drawn = std::isfinite(p->*y);
    if (drawn && !p->converged()) hollow.push_back(p);
    else if (!drawn && p->verdict.empty()) waiting.push_back(p);
    else if (!drawn) failed.push_back(p);
  }
  std::vector<std::string> notes;
  if (!hollow.empty()) notes.push_back(std::string(kHollow) + " hollow, not converged: " + list_of(hollow, by_cl));
  if (!failed.empty()) notes.push_back("no result: " + list_of(failed, by_cl));
  if (!waiting.empty()) notes.push_back("not run yet: " + list_of(waiting, by_cl));
  return notes;
}

std::vector<std::string> verdict_notes(const Study& s, double StudyPoint::*y) {
  std::vector<const StudyPoint*> all;
  for (const StudyPoint& p : s.points) all.push_back(&p);
  return verdict_notes(all, y, s.by_cl);
}

Figure study_figure(const Study& s, const std::string& what) {
  Figure f;
  f.heading = s.title;
  f.title = what;
  Panel p;
  p.height = kStudyHeight;
  f.panels.push_back(p);
  return f;
}

std::string against_alpha(const Study& s, double StudyPoint::*y, const std::string& what, const std::string& ytitle) {
  Figure f = study_figure(s, what);
  Panel& p = f.panels[0];
  p.x.title = std::string(kAlpha) + " (degrees)";
  p.y.title = ytitle;
  for (size_t m = 0; m < s.machs.size(); ++m)
    p.series.push_back(
        series_of(mach_name(s.machs[m]), study_style(m), points_where(s, &StudyPoint::mach, s.machs[m]), &StudyPoint::alpha, y));
  p.notes = verdict_notes(s, y);
  return render_svg(f);
}

}  // namespace

Study read_study(const std::string& dir) {
  Study s;
  s.dir = dir;
  bool has_asked = file_exists(dir + "/study.json"), has_polar = file_exists(dir + "/polar.csv");
  if (!has_asked && !has_polar) throw std::runtime_error(dir + " is not a study folder (no study.json, no polar.csv)");
  if (has_asked) s.asked = read_json(dir + "/study.json");
  s.title = json_text(s.asked, "title");
  if (s.title.empty()) s.title = json_text(s.asked, "aerofoil");
  if (s.title.empty()) s.title = dir;
  s.by_cl = s.asked.is_object() && s.asked.contains("cl") && s.asked["cl"].is_array();

  if (s.asked.is_object() && s.asked.contains("points") && s.asked["points"].is_array()) {
    for (const auto& j : s.asked["points"]) {
      StudyPoint p;
      p.point = j.value("point", 0);
      p.folder = json_text(j, "folder");
      if (p.folder.empty()) p.folder = point_folder(p.point);
      p.mach = json_number(j, "mach");
      p.alpha_set = json_number(j, "alpha");
      p.cl_set = json_number(j, "cl");
      s.points.push_back(p);
    }
  }
  if (has_polar) {
    Table t = read_csv(dir + "/polar.csv");
    for (size_t r = 0; r < t.rows.size(); ++r) {
      double n = t.number(r, "point");
      int number = std::isfinite(n) ? static_cast<int>(n) : static_cast<int>(r) + 1;
      auto it = std::find_if(s.points.begin(), s.points.end(), [&](const StudyPoint& p) { return p.point == number; });
      if (it == s.points.end()) {
        StudyPoint p;
        p.point = number;
        p.folder = point_folder(number);
        s.points.push_back(p);
        it = s.points.end() - 1;
      }
      take_polar_row(*it, t, r);
    }
  }
  for (StudyPoint& p : s.points) {
    std::string path = dir + "/" + p.folder + "/result.json";
    try {
      if (file_exists(path)) take_result(p, read_json(path));
    } catch (const std::exception& e) {
      // One unreadable point file does not cost the study its report.
      p.problem = e.what();
      if (p.verdict.empty()) p.verdict = "unreadable";
    }
    if (!s.by_cl) fill(p.alpha_set, p.alpha);
  }
  for (const StudyPoint& p : s.points) {
    if (!std::isfinite(p.mach)) continue;
    bool known = std::any_of(s.machs.begin(), s.machs.end(), [&](double m) { return std::abs(m - p.mach) < kSameValue; });
    if (!known) s.machs.push_back(p.mach);
  }
  std::sort(s.machs.begin(), s.machs.end());
  return s;
}

std::string cl_alpha_svg(const Study& s) { return against_alpha(s, &StudyPoint::cl, "Lift curve", "CL"); }

std::string cm_alpha_svg(const Study& s) {
  return against_alpha(s, &StudyPoint::cm, "Pitching moment", "CM (about the quarter chord)");
}

// CL against the total drag and its parts. Several Mach numbers get a panel
// each, on one drag scale, so that every panel reads like a one-Mach polar.
std::string polar_svg(const Study& s) {
  Figure f = study_figure(s, "Drag polar");
  const Panel one = f.panels[0];
  struct Part {
    const char* name;
    double StudyPoint::*value;
    Dash dash;
  };
  const Part parts[] = {{"CD total (CDV + CD2)", &StudyPoint::cd, Dash::kSolid},
                        {"CDP pressure", &StudyPoint::cdp, Dash::kDashed},
                        {"CDF friction", &StudyPoint::cdf, Dash::kDotted},
                        {"CD2 wave", &StudyPoint::cd2, Dash::kDashDot}};
  size_t panels = std::max<size_t>(s.machs.size(), 1);
  f.panels.assign(panels, one);
  for (size_t m = 0; m < panels; ++m) {
    Panel& p = f.panels[m];
    bool last = m + 1 == panels;
    p.height = panels == 1 ? kStudyHeight : kPolarPanelHeight;
    p.x.title = "drag coefficient";
    p.x_labels = last;
    p.legend = m == 0;
    p.y.title = panels == 1 ? "CL" : "CL at " + mach_name(s.machs[m]);
    if (s.machs.empty()) {
      p.notes = verdict_notes(s, &StudyPoint::cd);
      continue;
    }
    auto pts = points_where(s, &StudyPoint::mach, s.machs[m]);
    for (size_t k = 0; k < 4; ++k)
      p.series.push_back(series_of(parts[k].name, study_style(k, parts[k].dash), pts, parts[k].value, &StudyPoint::cl));
    p.notes = verdict_notes(pts, &StudyPoint::cd, s.by_cl);
  }
  return render_svg(f);
}

std::string drag_rise_svg(const Study& s) {
  Figure f = study_figure(s, "Drag rise");
  Panel& p = f.panels[0];
  p.x.title = "Mach number";
  p.y.title = "CD";
  double StudyPoint::*key = s.by_cl ? &StudyPoint::cl_set : &StudyPoint::alpha_set;
  std::vector<double> values;
  for (const StudyPoint& q : s.points)
    if (std::isfinite(q.*key) &&
        std::none_of(values.begin(), values.end(), [&](double v) { return std::abs(v - q.*key) < kSameValue; }))
      values.push_back(q.*key);
  std::sort(values.begin(), values.end());
  for (size_t k = 0; k < values.size(); ++k) {
    auto pts = points_where(s, key, values[k]);
    std::stable_sort(pts.begin(), pts.end(), [](const StudyPoint* a, const StudyPoint* b) { return a->mach < b->mach; });
    std::string name = s.by_cl ? "CL " + short_number(values[k], 3)
                               : std::string(kAlpha) + " " + short_number(values[k], 2) + kDegree;
    p.series.push_back(series_of(name, study_style(k), pts, &StudyPoint::mach, &StudyPoint::cd));
  }
  p.notes = verdict_notes(s, &StudyPoint::cd);
  return render_svg(f);
}

}  // namespace tarn::plot
