// Pictures of solutions and studies: SVG plots of the pressures and the
// boundary layer of a point, the lift, moment, drag-polar, drag-breakdown,
// drag-rise and pressure plots of a study, and a study report that opens in
// a browser from disk.
#pragma once

#include <string>
#include <vector>

namespace tarn::plot {

// cp.svg, and bl.svg on viscous runs, in a study point folder, drawn from
// its surface.csv, wake.csv, point.json and result.json, with measured
// pressures from the given overlay files (columns x,cp). Returns false when
// the point has no surface.csv (it has not run, or stopped before forming
// any surface values).
bool write_point_plots(const std::string& point_dir, const std::vector<std::string>& overlays = {});

// What --report draws besides the study itself: other study folders drawn
// with it, and measured data ([N:]FILE.csv: columns x,cp for the pressures
// of point N, or alpha,cl,cd,cm for a polar).
struct Comparison {
  std::vector<std::string> studies;
  std::vector<std::string> overlays;
};

// The study plots in DIR/plots (cl_alpha.svg, polar.svg, drag_breakdown.svg,
// cm_alpha.svg, drag_rise.svg when there is more than one Mach number, and
// cp_M*.svg, the pressures of every point of one Mach number; compare_NNN.svg
// for points that the compared studies also hold) and DIR/report.html, all
// from the files on disk; with `redraw_points` every point's plots are drawn
// again first. Points that failed or have not run are reported as such.
// Returns the report's path; throws std::runtime_error when a folder holds
// no study or an overlay file cannot be used.
std::string write_study_report(const std::string& dir, bool redraw_points, const Comparison& with = {});

// Plots of an ordinary tarn run, given as [FOLDER/]NAME, from its listings
// NAME.FUL and NAME.BRF: NAME-cp.svg and, on viscous runs, NAME-bl.svg
// beside them. Returns the files written; throws std::runtime_error with a
// message for the user when the listings hold no results.
std::vector<std::string> plot_run(const std::string& name);

}  // namespace tarn::plot
