// Writing the plots of a point, of a study with its report, and of an
// ordinary run.
#include "plot.h"

#include <filesystem>
#include <map>
#include <stdexcept>

#include "data.h"

namespace tarn::plot {

namespace fs = std::filesystem;

namespace {

// Plot files of an earlier report that this one may not draw again.
const char* const kDrawnPerReport[] = {"cp_M", "compare_"};

// A point's pictures are drawn from its present results only: pictures of an
// earlier run of the point that this one cannot draw again are removed, so
// that a rerun which failed never shows the flow of the run before it.
bool draw_point(const std::string& point_dir, const std::vector<MeasuredCp>& measured) {
  const std::string cp = point_dir + "/cp.svg", bl = point_dir + "/bl.svg";
  std::error_code ec;
  PointPicture p;
  if (!read_point_folder(point_dir, p)) {
    fs::remove(cp, ec);
    fs::remove(bl, ec);
    return false;
  }
  p.measured = measured;
  write_text(cp, cp_svg(p));
  if (p.viscous)
    write_text(bl, bl_svg(p));
  else
    fs::remove(bl, ec);
  return true;
}

// Measured pressures by the point they go with; the measured polars.
std::map<int, std::vector<MeasuredCp>> sort_overlays(const StudyFolder& s, const std::vector<std::string>& given,
                                                     std::vector<MeasuredPolar>& polars) {
  std::map<int, std::vector<MeasuredCp>> by_point;
  for (const std::string& file : given) {
    Overlay o = read_overlay(file);
    if (o.polar) {
      polars.push_back(o.measured);
      continue;
    }
    int point = o.point;
    if (point == 0 && s.points.size() == 1) point = s.points.front().point.number;
    if (point == 0)
      throw std::runtime_error("--overlay " + file + ": the study has " + std::to_string(s.points.size()) +
                               " points; give the point as N:" + file);
    if (point < 1 || point > static_cast<int>(s.points.size()))
      throw std::runtime_error("--overlay " + file + ": the study has no point " + std::to_string(point));
    by_point[point].push_back(o.cp);
  }
  return by_point;
}

void remove_earlier_plots(const std::string& plots) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(plots, ec)) {
    std::string name = e.path().filename().string();
    for (const char* head : kDrawnPerReport)
      if (name.rfind(head, 0) == 0 && e.path().extension() == ".svg") fs::remove(e.path(), ec);
  }
}

// The pressures of every point of each Mach number in one plot.
std::vector<std::string> write_cp_by_mach(const StudyFolder& s) {
  std::vector<std::string> files;
  for (float mach : s.machs) {
    std::vector<std::pair<std::string, PointPicture>> pictures;
    for (const sweep::PointRecord& r : s.points) {
      PointPicture p;
      if (r.point.mach != mach || !read_point_folder(s.dir + "/" + r.point.folder, p)) continue;
      std::string label = r.point.lift_given ? "CL " + short_number(r.point.cl, 3)
                                             : "\xCE\xB1 " + short_number(r.point.alpha, 2) + "\xC2\xB0";
      pictures.emplace_back(label, p);
    }
    if (pictures.empty()) continue;
    files.push_back("plots/cp_M" + sweep::decimal(mach) + ".svg");
    write_text(s.dir + "/" + files.back(),
               cp_overlay_svg(s.study.title, "Pressure distributions at M " + short_number(mach, 3), pictures, mach));
  }
  return files;
}

// The pressures of each point with those of the same conditions in the
// compared studies.
std::vector<std::pair<int, std::string>> write_compared_cp(const std::vector<StudyFolder>& studies) {
  std::vector<std::pair<int, std::string>> files;
  const StudyFolder& s = studies.front();
  for (const sweep::PointRecord& r : s.points) {
    std::vector<std::pair<std::string, PointPicture>> pictures;
    PointPicture p;
    if (!read_point_folder(s.dir + "/" + r.point.folder, p)) continue;
    pictures.emplace_back(s.label, p);
    for (size_t k = 1; k < studies.size(); ++k)
      for (const sweep::PointRecord& q : studies[k].points) {
        bool same = q.point.mach == r.point.mach && q.point.lift_given == r.point.lift_given &&
                    (r.point.lift_given ? q.point.cl == r.point.cl : q.point.alpha == r.point.alpha);
        PointPicture other;
        if (same && read_point_folder(studies[k].dir + "/" + q.point.folder, other))
          pictures.emplace_back(studies[k].label, other);
      }
    if (pictures.size() < 2) continue;
    char name[32];
    std::snprintf(name, sizeof name, "plots/compare_%03d.svg", r.point.number);
    files.emplace_back(r.point.number, name);
    write_text(s.dir + "/" + name, cp_overlay_svg(s.study.title, "Compared: " + point_name(r.point), pictures,
                                                  r.point.mach));
  }
  return files;
}

}  // namespace

bool write_point_plots(const std::string& point_dir, const std::vector<std::string>& overlays) {
  std::vector<MeasuredCp> measured;
  for (const std::string& file : overlays) measured.push_back(read_overlay(file).cp);
  return draw_point(point_dir, measured);
}

std::string write_study_report(const std::string& dir, bool redraw_points, const Comparison& with) {
  StudyPlots plots;
  plots.studies.push_back(read_study_folder(dir));
  for (const std::string& other : with.studies) plots.studies.push_back(read_study_folder(other));
  const StudyFolder& s = plots.studies.front();
  auto measured = sort_overlays(s, with.overlays, plots.measured);
  ReportFiles files;
  for (const sweep::PointRecord& p : s.points) {
    if (!redraw_points && measured.count(p.point.number) == 0) continue;
    try {
      draw_point(dir + "/" + p.point.folder, measured[p.point.number]);
    } catch (const std::exception& e) {
      // The report says so; the other points are drawn.
      files.problems.push_back("The plots of point " + std::to_string(p.point.number) + " are not drawn: " + e.what());
    }
  }
  std::string plots_dir = dir + "/plots";
  fs::create_directories(plots_dir);
  remove_earlier_plots(plots_dir);
  write_text(plots_dir + "/cl_alpha.svg", cl_alpha_svg(plots));
  write_text(plots_dir + "/polar.svg", polar_svg(plots));
  write_text(plots_dir + "/drag_breakdown.svg", drag_breakdown_svg(s));
  write_text(plots_dir + "/cm_alpha.svg", cm_alpha_svg(plots));
  std::string rise = plots_dir + "/drag_rise.svg";
  if (s.machs.size() > 1) {
    write_text(rise, drag_rise_svg(plots));
  } else {
    std::error_code ec;
    fs::remove(rise, ec);  // left from an earlier study in the folder
  }
  files.cp_by_mach = write_cp_by_mach(s);
  if (plots.studies.size() > 1) files.compared_cp = write_compared_cp(plots.studies);
  std::string report = dir + "/report.html";
  write_text(report, report_html(plots, files));
  return report;
}

std::vector<std::string> plot_run(const std::string& name) {
  PointPicture p = read_run_listings(name);
  std::vector<std::string> written{name + "-cp.svg"};
  write_text(written.back(), cp_svg(p));
  if (p.viscous) {
    written.push_back(name + "-bl.svg");
    write_text(written.back(), bl_svg(p));
  }
  return written;
}

}  // namespace tarn::plot
