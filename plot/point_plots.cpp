// Plots of one solution: the pressure distribution with the section below
// it, and the boundary layer of both surfaces and the wake.
#include <algorithm>
#include <filesystem>
#include <memory>

#include "chart.h"
#include "data.h"
#include "flow_state.h"
#include "free_stream/free_stream.h"
#include "results/results.h"

namespace tarn::plot {

namespace {

constexpr double kCpHeight = 340.0;       // plot area of the pressure plot, pixels
constexpr double kLayerHeight = 165.0;    // each boundary-layer panel
constexpr double kWakeShown = 2.0;        // the boundary-layer plot runs to this x/c behind the section
constexpr double kNoseRegion = 0.05;     // x/c of the nose region left out of the skin-friction scale
constexpr double kFrictionHeadroom = 1.25; // room above the largest skin friction behind the nose
constexpr double kCriticalReach = 0.3;    // Cp* is drawn when it lies this share of the Cp span beyond the data
constexpr const char* kUpperName = "upper surface";
constexpr const char* kLowerName = "lower surface";
constexpr const char* kWakeName = "wake";
constexpr const char* kReferenceInk = "#666666";  // the critical pressure

Style line_style(int colour, Dash dash = Dash::kSolid) {
  Style s;
  s.colour = palette(colour);
  s.dash = dash;
  return s;
}

Series series(const std::string& name, const Style& st, const std::vector<double>& x, const std::vector<double>& y) {
  Series s;
  s.name = name;
  s.style = st;
  s.x = x;
  s.y = y;
  return s;
}

// The skin friction is scaled to the layer behind the nose: the laminar
// peak near the stagnation point would flatten the rest of the curve. A
// peak that runs off the top is named in a note.
void friction_range(const PointPicture& p, Panel& panel) {
  double body = 0.0, peak = 0.0;
  for (const LayerCurve* l : {&p.upper_layer, &p.lower_layer})
    for (size_t k = 0; k < l->x.size() && k < l->cf.size(); ++k) {
      if (!std::isfinite(l->cf[k])) continue;
      peak = std::max(peak, l->cf[k]);
      if (l->x[k] >= kNoseRegion) body = std::max(body, l->cf[k]);
    }
  if (body <= 0.0 || peak <= kFrictionHeadroom * body) return;
  panel.y.fixed = true;
  panel.y.lo = 0.0;
  panel.y.hi = nice_ticks(0.0, kFrictionHeadroom * body, static_cast<int>(kLayerHeight / 34.0) + 1, true).hi;
  if (peak > panel.y.hi) {
    panel.notes.push_back("near the nose Cf rises to " + short_number(peak, 4) + ", off the top");
  }
}

}  // namespace

std::string picture_title(const std::string& lead, const PointPicture& p) {
  std::string t = lead;
  auto add = [&](const std::string& part) { t += (t.empty() ? "" : "  \xC2\xB7  ") + part; };
  if (std::isfinite(p.mach)) add("M " + short_number(p.mach, 3));
  if (std::isfinite(p.alpha)) add("\xCE\xB1 " + short_number(p.alpha, 2) + "\xC2\xB0");
  if (std::isfinite(p.cl)) add("CL " + short_number(p.cl, 4));
  return t;
}

double critical_cp(double mach) {
  auto fs = std::make_unique<FlowState>();
  fs->gas.EM = static_cast<float>(mach);
  form_gas_constants(*fs);
  return pressure_coefficient(fs->gas, critical_speed_squared(fs->gas));
}

namespace {

// The point's conditions and title from point.json, its results, transition
// and shocks from result.json, and a warning when they are not converged.
void read_point_files(const std::string& dir, PointPicture& p, std::string& lead) {
  sweep::Study study;
  sweep::Point point;
  if (file_exists(dir + "/" + sweep::kPointFile)) {
    try {
      sweep::point_from_json(sweep::read_json(dir + "/" + sweep::kPointFile), study, point);
      p.heading = study.title.empty() ? study.aerofoil : study.title;
      p.mach = point.mach;
      if (!point.lift_given) p.alpha = point.alpha;
      p.viscous = p.viscous || study.viscous;
      lead = "point " + std::to_string(point.number);
    } catch (const std::exception&) {
      // Without readable conditions the curves are still drawn, with no
      // conditions in the title and no critical pressure.
    }
  }
  if (!file_exists(dir + "/" + sweep::kResultFile)) return;
  try {
    sweep::PointResult r = sweep::read_result(dir + "/" + sweep::kResultFile);
    const sweep::Coefficients& c = r.coefficients;
    if (r.has_coefficients) {
      p.alpha = c.alpha;
      p.cl = c.cl;
      p.xtr_upper = c.xtr_upper;
      p.xtr_lower = c.xtr_lower;
    }
    p.shocks_upper.assign(r.shocks_upper.begin(), r.shocks_upper.end());
    p.shocks_lower.assign(r.shocks_lower.begin(), r.shocks_lower.end());
    if (r.status == sweep::kFailed)
      p.warning = "NOT CONVERGED: try " + std::to_string(r.result_try) +
                  " of a failed point, the last that formed surface values (" + r.reason + ")";
    else if (r.status == sweep::kNotConverged) p.warning = "NOT CONVERGED: " + r.reason;
  } catch (const std::exception&) {
    // As above: the curves are drawn without the results.
  }
}

}  // namespace

bool read_point_folder(const std::string& dir, PointPicture& out) {
  using namespace sweep;
  std::string surface_path = dir + "/" + kSurfaceCsv;
  if (!file_exists(surface_path)) return false;
  PointPicture p;
  p.cf_title = "Cf";
  Table t = read_csv(surface_path);
  auto column = [](SurfaceColumn c) { return kSurfaceColumns[c]; };
  for (size_t r = 0; r < t.rows.size(); ++r) {
    std::string side = t.text(r, column(kSurfaceSide));
    if (side != "upper" && side != "lower") continue;
    SurfaceCurve& s = side == "upper" ? p.upper : p.lower;
    LayerCurve& l = side == "upper" ? p.upper_layer : p.lower_layer;
    double x = t.number(r, column(kSurfaceX));
    s.x.push_back(x);
    s.z.push_back(t.number(r, column(kSurfaceZ)));
    s.cp.push_back(t.number(r, column(kSurfaceCp)));
    l.x.push_back(x);
    l.dstar.push_back(t.number(r, column(kSurfaceDstar)));
    l.theta.push_back(t.number(r, column(kSurfaceTheta)));
    l.h.push_back(t.number(r, column(kSurfaceH)));
    l.cf.push_back(t.number(r, column(kSurfaceCf)));
    if (std::isfinite(l.dstar.back())) p.viscous = true;
  }
  if (file_exists(dir + "/" + kWakeCsv)) {
    Table w = read_csv(dir + "/" + kWakeCsv);
    for (size_t r = 0; r < w.rows.size(); ++r) {
      p.wake.x.push_back(w.number(r, kWakeColumns[kWakeX]));
      p.wake.dstar.push_back(w.number(r, kWakeColumns[kWakeDstar]));
      p.wake.theta.push_back(w.number(r, kWakeColumns[kWakeTheta]));
      p.wake.h.push_back(w.number(r, kWakeColumns[kWakeH]));
      p.wake.cf.push_back(kNone);
    }
  }
  std::string lead;
  read_point_files(dir, p, lead);
  p.title = picture_title(lead, p);
  out = std::move(p);
  return true;
}

namespace {

// The Cp axes round the surfaces of the given solutions: x/c from 0 to 1
// or beyond, suction upward.
Panel cp_panel(const std::vector<const PointPicture*>& pictures) {
  Panel cp;
  cp.height = kCpHeight;
  cp.x.title = "x/c";
  cp.x.fixed = true;
  cp.x.lo = 0.0;
  cp.x.hi = 1.0;
  for (const PointPicture* p : pictures)
    for (const SurfaceCurve* s : {&p->upper, &p->lower})
      for (double x : s->x)
        if (std::isfinite(x)) {
          cp.x.lo = std::min(cp.x.lo, x);
          cp.x.hi = std::max(cp.x.hi, x);
        }
  cp.y.title = "Cp";
  cp.y.inverted = true;  // suction upward
  return cp;
}

// The critical pressure as a level, or a note when it lies far above the data.
void critical_level(Panel& cp, const std::vector<const PointPicture*>& pictures, double mach) {
  if (!std::isfinite(mach)) return;
  double lo = 0.0, hi = 0.0;
  for (const PointPicture* p : pictures)
    for (const SurfaceCurve* s : {&p->upper, &p->lower})
      for (double v : s->cp)
        if (std::isfinite(v)) {
          lo = std::min(lo, v);
          hi = std::max(hi, v);
        }
  double star = critical_cp(mach);
  std::string name = "critical Cp* = " + short_number(star, 3);
  if (star >= lo - kCriticalReach * (hi - lo)) {
    Level level;
    level.name = name;
    level.value = star;
    level.style = line_style(6, Dash::kDashed);
    level.style.colour = kReferenceInk;
    cp.levels.push_back(level);
  } else {
    cp.notes.push_back(name + " (above the plot)");
  }
}

// Transition (dotted, in the colour of its surface) and the shocks (dashed)
// of one solution.
void transition_and_shocks(Panel& cp, const PointPicture& p) {
  const char* names[] = {kUpperName, kLowerName};
  const double xtr[] = {p.xtr_upper, p.xtr_lower};
  const std::vector<double>* shocks[] = {&p.shocks_upper, &p.shocks_lower};
  for (int side = 0; side < 2; ++side) {
    if (std::isfinite(xtr[side])) {
      Mark m;
      m.name = std::string("transition, ") + names[side] + ", x/c " + short_number(xtr[side], 3);
      m.at = xtr[side];
      m.style = line_style(side, Dash::kDotted);
      cp.marks.push_back(m);
    }
    for (double x : *shocks[side]) {
      Mark m;
      m.name = std::string("shock, ") + names[side] + ", x/c " + short_number(x, 3);
      m.at = x;
      m.style = line_style(side, Dash::kDashDot);
      cp.marks.push_back(m);
    }
  }
}

void measured_series(Panel& cp, const std::vector<MeasuredCp>& measured) {
  for (size_t k = 0; k < measured.size(); ++k) {
    Series m = series("measured: " + measured[k].name, line_style(6 - static_cast<int>(k)), measured[k].x, measured[k].cp);
    m.style.line = false;
    m.style.marker = marker_shape(static_cast<int>(k));
    cp.series.push_back(m);
  }
}

}  // namespace

std::string cp_svg(const PointPicture& p) {
  Figure f;
  f.heading = p.heading;
  f.title = p.title;
  f.warning = p.warning;
  Panel cp = cp_panel({&p});
  cp.series.push_back(series(kUpperName, line_style(0), p.upper.x, p.upper.cp));
  cp.series.push_back(series(kLowerName, line_style(1), p.lower.x, p.lower.cp));
  measured_series(cp, p.measured);
  critical_level(cp, {&p}, p.mach);
  transition_and_shocks(cp, p);
  f.panels.push_back(cp);

  // The section: lower surface from the trailing edge to the nose, then the
  // upper surface back to the trailing edge.
  Outline ol;
  for (size_t k = p.lower.x.size(); k-- > 0;) {
    ol.x.push_back(p.lower.x[k]);
    ol.z.push_back(p.lower.z[k]);
  }
  for (size_t k = 0; k < p.upper.x.size(); ++k) {
    ol.x.push_back(p.upper.x[k]);
    ol.z.push_back(p.upper.z[k]);
  }
  if (!ol.x.empty()) {
    f.section.push_back(ol);
    f.section_caption = "section, to scale";
  }
  return render_svg(f);
}

std::string cp_overlay_svg(const std::string& heading, const std::string& title,
                           const std::vector<std::pair<std::string, PointPicture>>& pictures, double mach) {
  Figure f;
  f.heading = heading;
  f.title = title;
  std::vector<const PointPicture*> all;
  for (const auto& [label, p] : pictures) all.push_back(&p);
  Panel cp = cp_panel(all);
  std::vector<std::string> unconverged;
  for (size_t k = 0; k < pictures.size(); ++k) {
    const auto& [label, p] = pictures[k];
    std::string name = label + (p.warning.empty() ? "" : " (not converged)");
    cp.series.push_back(series(name, line_style(static_cast<int>(k)), p.upper.x, p.upper.cp));
    cp.series.push_back(series("", line_style(static_cast<int>(k), Dash::kDashed), p.lower.x, p.lower.cp));
    for (const MeasuredCp& m : p.measured)
      if (std::none_of(cp.series.begin(), cp.series.end(), [&](const Series& s) { return s.name == "measured: " + m.name; }))
        measured_series(cp, {m});
  }
  critical_level(cp, all, mach);
  cp.notes.push_back("upper surface solid, lower surface dashed");
  f.panels.push_back(cp);
  return render_svg(f);
}

std::string bl_svg(const PointPicture& p) {
  Figure f;
  f.heading = p.heading;
  f.title = p.title;
  struct Quantity {
    const char* title;
    std::vector<double> LayerCurve::*values;
  };
  const Quantity quantities[] = {{"\xCE\xB4*/c", &LayerCurve::dstar},
                                 {"\xCE\xB8/c", &LayerCurve::theta},
                                 {"H", &LayerCurve::h},
                                 {"", &LayerCurve::cf}};
  bool wake = !p.wake.x.empty();
  for (size_t q = 0; q < 4; ++q) {
    Panel panel;
    panel.height = kLayerHeight;
    panel.y.title = q == 3 ? p.cf_title : quantities[q].title;
    panel.x.title = "x/c";
    panel.x.fixed = true;
    panel.x.lo = 0.0;
    panel.x.hi = wake ? kWakeShown : 1.0;
    panel.x_labels = q == 3;
    panel.legend = q == 0;
    auto values = quantities[q].values;
    panel.series.push_back(series(kUpperName, line_style(0), p.upper_layer.x, p.upper_layer.*values));
    panel.series.push_back(series(kLowerName, line_style(1), p.lower_layer.x, p.lower_layer.*values));
    if (wake) panel.series.push_back(series(kWakeName, line_style(2), p.wake.x, p.wake.*values));
    if (values == &LayerCurve::cf) friction_range(p, panel);
    f.panels.push_back(panel);
  }
  return render_svg(f);
}

}  // namespace tarn::plot
