// Pictures of solutions and studies: SVG plots of the pressures and the
// boundary layer of a point, the lift, moment, drag-polar and drag-rise
// plots of a study, and a study report that opens in a browser from disk.
#pragma once

#include <string>
#include <vector>

namespace tarn::plot {

// cp.svg, and bl.svg on viscous runs, in a study point folder, drawn from
// its surface.csv, wake.csv and result.json. Returns false when the point
// has no surface.csv (it failed or has not run).
bool write_point_plots(const std::string& point_dir);

// The study plots in DIR/plots (cl_alpha.svg, polar.svg, cm_alpha.svg, and
// drag_rise.svg when there is more than one Mach number) and DIR/report.html,
// all from the files on disk; with `redraw_points` every point's plots are
// drawn again first. Points that failed or have not run are reported as
// such. Returns the report's path.
std::string write_study_report(const std::string& dir, bool redraw_points);

// Plots of an ordinary tarn run, given as [FOLDER/]NAME, from its listings
// NAME.FUL and NAME.BRF: NAME-cp.svg and, on viscous runs, NAME-bl.svg
// beside them. Returns the files written; throws std::runtime_error with a
// message for the user when the listings hold no results.
std::vector<std::string> plot_run(const std::string& name);

}  // namespace tarn::plot
