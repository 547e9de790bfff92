// Writing the plots of a point, of a study with its report, and of an
// ordinary run.
#include "plot.h"

#include <filesystem>

#include "data.h"

namespace tarn::plot {

bool write_point_plots(const std::string& point_dir) {
  PointPicture p;
  if (!read_point_folder(point_dir, p)) return false;
  write_text(point_dir + "/cp.svg", cp_svg(p));
  if (p.viscous) write_text(point_dir + "/bl.svg", bl_svg(p));
  return true;
}

std::string write_study_report(const std::string& dir, bool redraw_points) {
  Study s = read_study(dir);
  for (StudyPoint& p : s.points) {
    if (!redraw_points) continue;
    try {
      write_point_plots(dir + "/" + p.folder);
    } catch (const std::exception& e) {
      p.problem = e.what();  // the report says so; the other points are drawn
    }
  }
  std::filesystem::create_directories(dir + "/plots");
  write_text(dir + "/plots/cl_alpha.svg", cl_alpha_svg(s));
  write_text(dir + "/plots/polar.svg", polar_svg(s));
  write_text(dir + "/plots/cm_alpha.svg", cm_alpha_svg(s));
  std::string rise = dir + "/plots/drag_rise.svg";
  if (s.machs.size() > 1) {
    write_text(rise, drag_rise_svg(s));
  } else {
    std::error_code ec;
    std::filesystem::remove(rise, ec);  // left from an earlier study in the folder
  }
  std::string report = dir + "/report.html";
  write_text(report, report_html(s));
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
