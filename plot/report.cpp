// The study report: one HTML page holding the conditions, the polar table,
// every plot (inline SVG) and each point's verdict and tries. It needs no
// server, no network and no other file, and is well-formed XML.
#include <cstdio>
#include <sstream>

#include "chart.h"
#include "data.h"

namespace tarn::plot {

namespace {

constexpr size_t kOpenPointsUpTo = 12;  // point plots shown unfolded in studies up to this size

const char* const kStyle = R"(
body { font-family: 'DejaVu Sans', Verdana, Arial, sans-serif; color: #222; margin: 24px auto; max-width: 1000px; padding: 0 16px; }
h1 { font-size: 22px; margin-bottom: 4px; }
h2 { font-size: 18px; margin-top: 32px; border-bottom: 1px solid #ccc; padding-bottom: 4px; }
h3 { font-size: 15px; margin: 24px 0 6px; }
p.lead { color: #555; margin-top: 0; }
table { border-collapse: collapse; font-size: 13px; margin: 8px 0; }
th, td { padding: 3px 9px; border-bottom: 1px solid #e4e4e4; text-align: right; white-space: nowrap; }
th { background: #f2f2f2; font-weight: bold; }
td.text, th.text { text-align: left; white-space: normal; }
table.conditions th { text-align: left; }
.converged { color: #0b6e31; }
.not-converged { color: #b35900; font-weight: bold; }
.failed { color: #b00020; font-weight: bold; }
.waiting { color: #777; }
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

std::string verdict_text(const std::string& v) { return v.empty() ? "not run" : v; }

std::string json_value_text(const nlohmann::json& v) {
  if (v.is_string()) return v.get<std::string>();
  if (v.is_number_float()) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4g", v.get<double>());
    return buf;
  }
  return v.dump();
}

std::string numbers_text(const nlohmann::json& list) {
  if (!list.is_array()) return json_value_text(list);
  std::string out;
  for (const auto& v : list) out += (out.empty() ? "" : ", ") + (v.is_number() ? short_number(v.get<double>(), 4) : json_value_text(v));
  return out;
}

std::string pairs_text(const nlohmann::json& obj) {
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

void conditions(std::ostringstream& o, const Study& s) {
  const nlohmann::json& j = s.asked;
  auto row = [&](const std::string& name, const std::string& value) {
    if (!value.empty()) o << "<tr><th>" << esc(name) << "</th><td class=\"text\">" << esc(value) << "</td></tr>\n";
  };
  auto get = [&](const char* key) { return j.is_object() && j.contains(key) ? j[key] : nlohmann::json(); };
  o << "<h2>Conditions</h2>\n<table class=\"conditions\">\n";
  std::string aerofoil = get("aerofoil").is_string() ? get("aerofoil").get<std::string>() : std::string();
  if (get("source").is_string()) aerofoil += " (from " + get("source").get<std::string>() + ")";
  row("Aerofoil", aerofoil);
  row("Mach numbers", get("mach").is_null() ? std::string() : numbers_text(get("mach")));
  if (s.by_cl) row("Required lift coefficients", numbers_text(get("cl")));
  else if (!get("alpha").is_null()) row("Incidences (degrees)", numbers_text(get("alpha")));
  if (get("viscous").is_boolean()) {
    bool viscous = get("viscous").get<bool>();
    row("Flow", viscous ? "viscous" : "inviscid");
    if (viscous && get("re").is_number()) row("Reynolds number", short_number(get("re").get<double>() / 1.0e6, 3) + " million");
    if (viscous && get("xtu").is_number() && get("xtl").is_number())
      row("Transition (x/c)", "upper " + short_number(get("xtu").get<double>(), 4) + ", lower " +
                                  short_number(get("xtl").get<double>(), 4));
  }
  if (get("grid").is_number()) row("Grid lines round the aerofoil", json_value_text(get("grid")));
  if (get("set").is_object() && !get("set").empty()) row("Numerical parameters set", pairs_text(get("set")));
  o << "</table>\n";
}

void polar_table(std::ostringstream& o, const Study& s) {
  o << "<h2>Polar</h2>\n<table class=\"polar\">\n<tr><th>point</th><th>M</th><th>\xCE\xB1 (\xC2\xB0)</th><th>CL</th>"
       "<th>CM</th><th>CDP</th><th>CDF</th><th>CDV</th><th>CD1</th><th>CD2</th><th>CD</th>"
       "<th class=\"text\">verdict</th><th>tries</th></tr>\n";
  for (const StudyPoint& p : s.points) {
    o << "<tr><td><a href=\"#point-" << p.point << "\">" << p.point << "</a></td><td>" << fixed(p.mach, 3) << "</td><td>"
      << fixed(p.alpha, 3) << "</td><td>" << fixed(p.cl, 4) << "</td><td>" << fixed(p.cm, 4) << "</td>";
    for (double v : {p.cdp, p.cdf, p.cdv, p.cd1, p.cd2, p.cd}) o << "<td>" << fixed(v, 5) << "</td>";
    o << "<td class=\"text " << verdict_class(p.verdict) << "\">" << esc(verdict_text(p.verdict)) << "</td><td>"
      << (p.tries > 0 ? std::to_string(p.tries) : std::string()) << "</td></tr>\n";
  }
  o << "</table>\n<p class=\"lead\">Coefficients on the chord; CM about the quarter chord; CDP pressure, CDF skin-friction "
       "and CDV viscous drag; CD1 and CD2 wave drag by the first-order and the improved estimate; CD = CDV + CD2.</p>\n";
}

void point_section(std::ostringstream& o, const Study& s, const StudyPoint& p) {
  o << "<section id=\"point-" << p.point << "\">\n<h3>Point " << p.point << ": " << esc(point_conditions(p, s.by_cl))
    << " \xE2\x80\x94 <span class=\"" << verdict_class(p.verdict) << "\">" << esc(verdict_text(p.verdict))
    << "</span></h3>\n";
  const nlohmann::json& r = p.result;
  if (r.is_object()) {
    const auto& verdict = r.value("verdict", nlohmann::json::object());
    if (verdict.is_object() && verdict.contains("reason") && verdict["reason"].is_string())
      o << "<p>" << esc(verdict["reason"].get<std::string>()) << "</p>\n";
    if (verdict.is_object() && verdict.contains("figures"))
      o << "<p class=\"lead\">Figures of the verdict: " << esc(pairs_text(verdict["figures"])) << "</p>\n";
    if (r.contains("tries") && r["tries"].is_array() && !r["tries"].empty()) {
      o << "<table class=\"tries\">\n<tr><th>try</th><th class=\"text\">changes</th><th class=\"text\">status</th>"
           "<th class=\"text\">reason</th><th>seconds</th></tr>\n";
      for (const auto& t : r["tries"]) {
        auto field = [&](const char* key) { return t.contains(key) ? json_value_text(t[key]) : std::string(); };
        double seconds = t.contains("seconds") && t["seconds"].is_number() ? t["seconds"].get<double>() : kNone;
        o << "<tr><td>" << esc(field("try")) << "</td><td class=\"text\">"
          << esc(pairs_text(t.value("changes", nlohmann::json::object()))) << "</td><td class=\"text\">"
          << esc(field("status")) << "</td><td class=\"text\">" << esc(field("reason")) << "</td><td>" << fixed(seconds, 2)
          << "</td></tr>\n";
      }
      o << "</table>\n";
    }
  } else {
    o << "<p class=\"lead\">No result.json: the point has not run.</p>\n";
  }
  if (!p.problem.empty()) o << "<p class=\"failed\">" << esc(p.problem) << "</p>\n";
  std::string dir = s.dir + "/" + p.folder;
  std::string cp = inline_svg(dir + "/cp.svg"), bl = inline_svg(dir + "/bl.svg");
  if (cp.empty() && bl.empty()) {
    if (r.is_object()) o << "<p class=\"lead\">No surface results to plot.</p>\n";
  } else {
    o << "<details" << (s.points.size() <= kOpenPointsUpTo ? " open=\"open\"" : "")
      << "><summary>Pressure distribution" << (bl.empty() ? "" : " and boundary layer") << "</summary>\n";
    for (const std::string* svg : {&cp, &bl})
      if (!svg->empty()) o << "<figure>\n" << *svg << "</figure>\n";
    o << "</details>\n";
  }
  o << "</section>\n";
}

}  // namespace

std::string report_html(const Study& s) {
  std::ostringstream o;
  int converged = 0, unconverged = 0, failed = 0, waiting = 0;
  for (const StudyPoint& p : s.points) {
    std::string c = verdict_class(p.verdict);
    converged += c == "converged";
    unconverged += c == "not-converged";
    failed += c == "failed";
    waiting += c == "waiting";
  }
  o << "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n"
    << "<title>" << esc("Study: " + s.title) << "</title>\n<style>" << kStyle << "</style>\n</head>\n<body>\n";
  o << "<h1>" << esc("Study: " + s.title) << "</h1>\n<p class=\"lead\">" << s.points.size() << " points: " << converged
    << " converged, " << unconverged << " not converged, " << failed << " failed";
  if (waiting) o << ", " << waiting << " not run";
  o << ".</p>\n";
  conditions(o, s);
  polar_table(o, s);
  o << "<h2>Plots</h2>\n";
  for (const char* name : {"cl_alpha", "polar", "cm_alpha", "drag_rise"}) {
    std::string svg = inline_svg(s.dir + "/plots/" + name + ".svg");
    if (!svg.empty()) o << "<figure id=\"" << name << "\">\n" << svg << "</figure>\n";
  }
  o << "<h2>Points</h2>\n";
  for (const StudyPoint& p : s.points) point_section(o, s, p);
  o << "</body>\n</html>\n";
  return o.str();
}

}  // namespace tarn::plot
