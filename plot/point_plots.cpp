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

std::string study_title_above(const std::string& point_dir) {
  namespace fs = std::filesystem;
  fs::path study = fs::path(point_dir).lexically_normal();
  if (study.filename().empty()) study = study.parent_path();
  std::string path = (study.parent_path().parent_path() / "study.json").string();
  if (!file_exists(path)) return std::string();
  try {
    auto j = nlohmann::json::parse(read_text(path));
    std::string title = json_text(j, "title");
    return title.empty() ? json_text(j, "aerofoil") : title;
  } catch (const std::exception&) {
    // A study file that does not read leaves the point plots without the study's title.
  }
  return std::string();
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

bool read_point_folder(const std::string& dir, PointPicture& out) {
  std::string surface_path = dir + "/surface.csv";
  if (!file_exists(surface_path)) return false;
  PointPicture p;
  p.cf_title = "Cf";
  Table t = read_csv(surface_path);
  for (size_t r = 0; r < t.rows.size(); ++r) {
    std::string side = t.text(r, "surface");
    if (side != "upper" && side != "lower") continue;
    SurfaceCurve& s = side == "upper" ? p.upper : p.lower;
    LayerCurve& l = side == "upper" ? p.upper_layer : p.lower_layer;
    double x = t.number(r, "x");
    s.x.push_back(x);
    s.z.push_back(t.number(r, "z"));
    s.cp.push_back(t.number(r, "cp"));
    l.x.push_back(x);
    l.dstar.push_back(t.number(r, "dstar"));
    l.theta.push_back(t.number(r, "theta"));
    l.h.push_back(t.number(r, "h"));
    l.cf.push_back(t.number(r, "cf"));
    if (std::isfinite(l.dstar.back())) p.viscous = true;
  }
  if (file_exists(dir + "/wake.csv")) {
    Table w = read_csv(dir + "/wake.csv");
    for (size_t r = 0; r < w.rows.size(); ++r) {
      p.wake.x.push_back(w.number(r, "x"));
      p.wake.dstar.push_back(w.number(r, "dstar"));
      p.wake.theta.push_back(w.number(r, "theta"));
      p.wake.h.push_back(w.number(r, "h"));
      p.wake.cf.push_back(kNone);
    }
  }
  p.heading = study_title_above(dir);
  std::string lead;
  nlohmann::json j;
  if (file_exists(dir + "/result.json")) {
    // Without a readable result the curves are still drawn, with no
    // conditions in the title and no critical pressure.
    j = nlohmann::json::parse(read_text(dir + "/result.json"), nullptr, false);
  }
  if (j.is_object()) {
    const auto& cond = j.value("conditions", nlohmann::json::object());
    const auto& coef = j.value("coefficients", nlohmann::json());
    p.mach = json_number(cond, "mach");
    p.alpha = json_number(coef, "alpha");
    if (!std::isfinite(p.alpha)) p.alpha = json_number(cond, "alpha");
    p.cl = json_number(coef, "cl");
    if (cond.is_object() && cond.contains("viscous") && cond["viscous"].is_boolean())
      p.viscous = p.viscous || cond["viscous"].get<bool>();
    if (j.contains("point") && j["point"].is_number_integer()) lead = "point " + std::to_string(j["point"].get<int>());
  }
  p.title = picture_title(lead, p);
  out = std::move(p);
  return true;
}

std::string cp_svg(const PointPicture& p) {
  Figure f;
  f.heading = p.heading;
  f.title = p.title;
  Panel cp;
  cp.height = kCpHeight;
  cp.x.title = "x/c";
  cp.x.fixed = true;
  cp.x.lo = 0.0;
  cp.x.hi = 1.0;
  for (const SurfaceCurve* s : {&p.upper, &p.lower})
    for (double x : s->x)
      if (std::isfinite(x)) {
        cp.x.lo = std::min(cp.x.lo, x);
        cp.x.hi = std::max(cp.x.hi, x);
      }
  cp.y.title = "Cp";
  cp.y.inverted = true;  // suction upward
  cp.series.push_back(series(kUpperName, line_style(0), p.upper.x, p.upper.cp));
  cp.series.push_back(series(kLowerName, line_style(1), p.lower.x, p.lower.cp));

  if (std::isfinite(p.mach)) {
    double lo = 0.0, hi = 0.0;
    for (const SurfaceCurve* s : {&p.upper, &p.lower})
      for (double v : s->cp)
        if (std::isfinite(v)) {
          lo = std::min(lo, v);
          hi = std::max(hi, v);
        }
    double star = critical_cp(p.mach);
    std::string name = "critical Cp* = " + short_number(star, 3);
    if (star >= lo - kCriticalReach * (hi - lo)) {
      Level level;
      level.name = name;
      level.value = star;
      level.style = line_style(6, Dash::kDashed);
      level.style.colour = "#666666";
      cp.levels.push_back(level);
    } else {
      cp.notes.push_back(name + " (above the plot)");
    }
  }
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
