// The study report: one HTML page holding the conditions, the polar table,
// the study plots (inline SVG) and each point's verdict and tries. A study
// of a few dozen points has its point plots inline too and needs no other
// file; a larger one links them, so that the page stays small. It needs no
// server and no network, and is well-formed XML.
#include <cstdio>
#include <sstream>

#include "chart.h"
#include "data.h"
#include "point.h"

namespace tarn::plot {

namespace {

constexpr size_t kOpenPointsUpTo = 12;    // point plots shown unfolded in studies up to this size
constexpr size_t kInlinePointsUpTo = 36;  // point plots inline in studies up to this size, else linked
constexpr size_t kInlineBreakdownUpTo = 6;  // Mach numbers of a drag breakdown drawn inline

const char* const kStyle = R"(
body { font-family: 'DejaVu Sans', Verdana, Arial, sans-serif; color: #222; margin: 24px auto; max-width: 1000px; padding: 0 16px; }
h1 { font-size: 22px; margin-bottom: 4px; }
h2 { font-size: 18px; margin-top: 32px; border-bottom: 1px solid #ccc; padding-bottom: 4px; }
h3 { font-size: 15px; margin: 24px 0 6px; }
p.lead { color: #555; margin-top: 0; }
table { border-collapse: collapse; font-size: 13px; margin: 8px 0; }
div.wide { overflow-x: auto; }
th, td { padding: 3px 6px; border-bottom: 1px solid #e4e4e4; text-align: right; white-space: nowrap; }
th { background: #f2f2f2; font-weight: bold; }
td.text, th.text { text-align: left; white-space: normal; }
table.conditions th { text-align: left; }
.converged { color: #0b6e31; }
.not-converged { color: #b35900; font-weight: bold; }
.failed { color: #b00020; font-weight: bold; }
.waiting { color: #777; }
.advice { background: #fff6e0; border-left: 3px solid #e6a000; padding: 4px 8px; }
ul.links { columns: 3; font-size: 13px; }
figure { margin: 16px 0; }
svg { max-width: 100%; height: auto; }
details summary { cursor: pointer; color: #333; margin: 6px 0; }
a { color: #0b4f8a; }
)";

std::string esc(const std::string& s) { return xml_escape(s); }

std::string fixed(double v, int decimals) {
  if (!std::isfinite(v)) return std::string();
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

std::string verdict_class(const std::string& v) {
  if (v == "converged") return "converged";
  if (v == "not converged") return "not-converged";
  if (v.empty()) return "waiting";
  return "failed";
}

std::string verdict_text(const std::string& v) { return v.empty() ? "pending" : v; }

std::string json_value_text(const sweep::Json& v) {
  if (v.is_string()) return v.get<std::string>();
  if (v.is_number_float()) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4g", v.get<double>());
    return buf;
  }
  return v.dump();
}

std::string pairs_text(const sweep::Json& obj) {
  if (!obj.is_object() || obj.empty()) return "-";
  std::string out;
  for (auto it = obj.begin(); it != obj.end(); ++it) out += (out.empty() ? "" : ", ") + it.key() + " = " + json_value_text(*it);
  return out;
}

// An SVG file ready to sit inside the page: without its XML declaration.
std::string inline_svg(const std::string& path) {
  if (!file_exists(path)) return std::string();
  std::string svg = read_text(path);
  size_t start = svg.find("<svg");
  return start == std::string::npos ? std::string() : svg.substr(start);
}

void conditions(std::ostringstream& o, const StudyFolder& f) {
  const sweep::Study& s = f.study;
  auto row = [&](const std::string& name, const std::string& value) {
    if (!value.empty()) o << "<tr><th>" << esc(name) << "</th><td class=\"text\">" << esc(value) << "</td></tr>\n";
  };
  auto list = [](const std::vector<float>& v) {
    std::string out;
    for (float x : v) out += (out.empty() ? "" : ", ") + short_number(x, 4);
    return out;
  };
  o << "<h2>Conditions</h2>\n<table class=\"conditions\">\n";
  row("Aerofoil", s.aerofoil + (s.source.empty() ? "" : " (from " + s.source + ")"));
  row("Mach numbers", list(s.mach));
  if (f.by_cl()) row("Required lift coefficients", list(s.cl));
  else row("Incidences (degrees)", list(s.alpha));
  row("Flow", s.viscous ? "viscous" : "inviscid");
  if (s.viscous) {
    row("Reynolds number", short_number(s.re / 1.0e6, 3) + " million");
    row("Transition (x/c)", "upper " + short_number(s.xtu, 4) + ", lower " + short_number(s.xtl, 4));
  }
  row("Grid lines round the aerofoil", std::to_string(s.grid));
  std::string set;
  for (const auto& [name, value] : s.set) set += (set.empty() ? "" : ", ") + name + " = " + short_number(value, 6);
  row("Numerical parameters set", set);
  o << "</table>\n";
}

void polar_table(std::ostringstream& o, const StudyFolder& s) {
  o << "<h2>Polar</h2>\n<div class=\"wide\">\n<table class=\"polar\">\n<tr><th>point</th><th>M</th><th>\xCE\xB1 (\xC2\xB0)</th><th>CL</th>"
       "<th>CM</th><th>CDP</th><th>CDF</th><th>CDV</th><th>CD1</th><th>CD2</th><th>CD</th><th>xtr upper</th>"
       "<th>xtr lower</th><th class=\"text\">verdict</th><th>tries</th></tr>\n";
  for (const sweep::PointRecord& r : s.points) {
    const sweep::Coefficients& c = r.result.coefficients;
    bool has = r.finished && r.result.has_coefficients;
    auto value = [&](float v, int decimals) { return has ? fixed(v, decimals) : std::string(); };
    std::string verdict = r.finished ? r.result.status : std::string();
    o << "<tr><td><a href=\"#point-" << r.point.number << "\">" << r.point.number << "</a></td><td>"
      << fixed(r.point.mach, 3) << "</td><td>" << value(c.alpha, 3) << "</td><td>" << value(c.cl, 4) << "</td><td>"
      << value(c.cm, 4) << "</td>";
    for (float v : {c.cdp, c.cdf, c.cdv, c.cd1, c.cd2, c.cd}) o << "<td>" << value(v, 5) << "</td>";
    for (float v : {c.xtr_upper, c.xtr_lower}) o << "<td>" << value(v, 4) << "</td>";
    o << "<td class=\"text " << verdict_class(verdict) << "\">" << esc(verdict_text(verdict)) << "</td><td>"
      << (r.finished && !r.result.tries.empty() ? std::to_string(r.result.tries.size()) : std::string())
      << "</td></tr>\n";
  }
  o << "</table>\n</div>\n<p class=\"lead\">Coefficients on the chord; CM about the quarter chord; CDP pressure, CDF "
       "skin-friction and CDV viscous drag; CD1 and CD2 wave drag by the first-order and the improved estimate; "
       "CD = CDV + CD2; xtr the transition position of the last boundary-layer calculation (x/c).</p>\n";
}

// An SVG of the study folder inline, or a link to it.
void figure(std::ostringstream& o, const std::string& dir, const std::string& file, const std::string& caption,
            bool inline_it) {
  if (inline_it) {
    std::string svg = inline_svg(dir + "/" + file);
    if (!svg.empty()) o << "<figure>\n" << svg << "</figure>\n";
  } else if (file_exists(dir + "/" + file)) {
    o << "<p><a href=\"" << esc(file) << "\">" << esc(caption) << "</a></p>\n";
  }
}

void point_section(std::ostringstream& o, const StudyFolder& s, const sweep::PointRecord& rec) {
  const sweep::Point& p = rec.point;
  const sweep::PointResult& r = rec.result;
  std::string verdict = rec.finished ? r.status : std::string();
  o << "<section id=\"point-" << p.number << "\">\n<h3>Point " << p.number << ": " << esc(point_conditions(p))
    << " \xE2\x80\x94 <span class=\"" << verdict_class(verdict) << "\">" << esc(verdict_text(verdict))
    << "</span></h3>\n";
  if (rec.finished) {
    if (!r.reason.empty()) o << "<p>" << esc(r.reason) << "</p>\n";
    if (!r.advice.empty()) o << "<p class=\"advice\">" << esc(r.advice) << "</p>\n";
    if (!r.figures.empty()) o << "<p class=\"lead\">Figures of the verdict: " << esc(pairs_text(r.figures)) << "</p>\n";
    if (!r.tries.empty()) {
      o << "<table class=\"tries\">\n<tr><th>try</th><th class=\"text\">changes</th><th class=\"text\">status</th>"
           "<th class=\"text\">reason</th><th>seconds</th></tr>\n";
      for (const sweep::TryResult& t : r.tries)
        o << "<tr><td>" << t.number << "</td><td class=\"text\">" << esc(pairs_text(t.changes))
          << "</td><td class=\"text\">" << esc(t.status) << "</td><td class=\"text\">" << esc(t.reason) << "</td><td>"
          << fixed(t.seconds, 2) << "</td></tr>\n";
      o << "</table>\n";
      if (r.result_try != r.tries.back().number && r.result_try > 0)
        o << "<p class=\"lead\">The results and plots are those of try " << r.result_try << ", the best.</p>\n";
    }
  } else if (rec.problem.empty()) {
    o << "<p class=\"lead\">Pending, no result yet: " << esc(sweep::pending_reason(s.dir + "/" + p.folder))
      << ".</p>\n";
  }
  if (!rec.problem.empty()) o << "<p class=\"failed\">" << esc(rec.problem) << "</p>\n";
  std::string cp = p.folder + "/cp.svg", bl = p.folder + "/bl.svg";
  bool has_cp = file_exists(s.dir + "/" + cp), has_bl = file_exists(s.dir + "/" + bl);
  if (!has_cp && !has_bl) {
    if (rec.finished) o << "<p class=\"lead\">No surface values to plot: the run stopped before forming any.</p>\n";
  } else if (s.points.size() > kInlinePointsUpTo) {
    o << "<p>";
    if (has_cp) o << "<a href=\"" << esc(cp) << "\">pressure distribution</a>";
    if (has_bl) o << (has_cp ? " \xC2\xB7 " : "") << "<a href=\"" << esc(bl) << "\">boundary layer</a>";
    o << "</p>\n";
  } else {
    o << "<details" << (s.points.size() <= kOpenPointsUpTo ? " open=\"open\"" : "")
      << "><summary>Pressure distribution" << (has_bl ? " and boundary layer" : "") << "</summary>\n";
    for (const std::string* f : {&cp, &bl}) figure(o, s.dir, *f, *f, true);
    o << "</details>\n";
  }
  o << "</section>\n";
}

}  // namespace

std::string report_html(const StudyPlots& plots, const ReportFiles& files) {
  const StudyFolder& s = plots.studies.front();
  std::ostringstream o;
  int converged = 0, unconverged = 0, failed = 0, waiting = 0;
  for (const sweep::PointRecord& p : s.points) {
    std::string c = verdict_class(p.finished ? p.result.status : std::string());
    converged += c == "converged";
    unconverged += c == "not-converged";
    failed += c == "failed";
    waiting += c == "waiting";
  }
  std::string title = "Study: " + (s.study.title.empty() ? s.study.aerofoil : s.study.title);
  o << "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n"
    << "<title>" << esc(title) << "</title>\n<style>" << kStyle << "</style>\n</head>\n<body>\n";
  o << "<h1>" << esc(title) << "</h1>\n<p class=\"lead\">" << s.points.size() << " points: " << converged
    << " converged, " << unconverged << " not converged, " << failed << " failed";
  if (waiting) o << ", " << waiting << " pending";
  o << ".</p>\n";
  for (const std::string& problem : files.problems) o << "<p class=\"failed\">" << esc(problem) << "</p>\n";
  conditions(o, s);
  polar_table(o, s);
  o << "<h2>Plots</h2>\n";
  if (plots.studies.size() > 1) {
    o << "<p class=\"lead\">Compared with:";
    for (size_t k = 1; k < plots.studies.size(); ++k)
      o << (k > 1 ? "," : "") << " " << esc(plots.studies[k].label) << " (" << esc(plots.studies[k].dir) << ")";
    o << "; their curves are drawn dashed or dotted, named by their folder.</p>\n";
  }
  for (const char* name : {"cl_alpha", "polar", "drag_breakdown", "cm_alpha", "drag_rise"}) {
    bool inline_it = std::string(name) != "drag_breakdown" || s.machs.size() <= kInlineBreakdownUpTo;
    std::string file = std::string("plots/") + name + ".svg";
    o << "<div id=\"" << name << "\">\n";
    figure(o, s.dir, file, name == std::string("drag_breakdown") ? "drag breakdown, a panel per Mach number" : file,
           inline_it);
    o << "</div>\n";
  }
  if (!files.cp_by_mach.empty()) {
    bool inline_cp = s.points.size() <= kInlinePointsUpTo;
    o << "<h2>Pressure distributions by Mach number</h2>\n" << (inline_cp ? "" : "<ul class=\"links\">\n");
    for (const std::string& file : files.cp_by_mach) {
      if (inline_cp) figure(o, s.dir, file, file, true);
      else o << "<li><a href=\"" << esc(file) << "\">" << esc(file) << "</a></li>\n";
    }
    o << (inline_cp ? "" : "</ul>\n");
  }
  if (!files.compared_cp.empty()) {
    bool inline_cp = files.compared_cp.size() <= kOpenPointsUpTo;
    o << "<h2>Pressure distributions compared</h2>\n" << (inline_cp ? "" : "<ul class=\"links\">\n");
    for (const auto& [point, file] : files.compared_cp) {
      if (inline_cp) figure(o, s.dir, file, file, true);
      else o << "<li><a href=\"" << esc(file) << "\">point " << point << "</a></li>\n";
    }
    o << (inline_cp ? "" : "</ul>\n");
  }
  o << "<h2>Points</h2>\n";
  for (const sweep::PointRecord& p : s.points) point_section(o, s, p);
  o << "</body>\n</html>\n";
  return o.str();
}

}  // namespace tarn::plot
