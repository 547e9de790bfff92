// What the plots are drawn from: the files of a study and of its points,
// read through the study's own schema (sweep/files.h), the listings of an
// ordinary run, and measured data given for comparison.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "files.h"
#include "text_files.h"

namespace tarn::plot {

constexpr double kNone = NAN;  // a value that is not there (empty field, null)

// A CSV file: the header line names the columns; lines that begin with '#'
// are comments.
struct Table {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  int column(const std::string& name) const;  // -1 when absent
  std::string text(size_t row, const std::string& name) const;
  double number(size_t row, const std::string& name) const;  // kNone when absent, empty or not a number
};
// Throws std::runtime_error when the file cannot be read or has no header.
Table read_csv(const std::string& path);

// Pressure along one surface, leading edge to trailing edge.
struct SurfaceCurve {
  std::vector<double> x, z, cp;
};
// Boundary layer along one surface, or along the wake.
struct LayerCurve {
  std::vector<double> x, dstar, theta, h, cf;
};

// Measured pressures, x/c and Cp (columns x,cp of an overlay file).
struct MeasuredCp {
  std::string name;
  std::vector<double> x, cp;
};
// A measured polar (columns alpha,cl,cd,cm of an overlay file; alpha in degrees).
struct MeasuredPolar {
  std::string name;
  std::vector<double> alpha, cl, cd, cm;
};
// Data given with --overlay: the file as [N:]FILE.csv, read by its columns.
struct Overlay {
  int point = 0;  // the point whose Cp it goes with; 0: the only point of the study
  bool polar = false;
  MeasuredCp cp;
  MeasuredPolar measured;
};
// Throws std::runtime_error naming the file when it holds neither form.
Overlay read_overlay(const std::string& given);

// One solution, from a study point folder or from a run's listings.
struct PointPicture {
  std::string heading;     // the aerofoil or the run
  std::string title;       // the point and its conditions
  std::string warning;     // the solution is not a converged one
  double mach = kNone, alpha = kNone, cl = kNone;
  bool viscous = false;
  std::string cf_title;    // axis title of the skin friction
  SurfaceCurve upper, lower;
  LayerCurve upper_layer, lower_layer, wake;
  double xtr_upper = kNone, xtr_lower = kNone;     // transition, x/c
  std::vector<double> shocks_upper, shocks_lower;  // shocks of the wave-drag step, x/c
  std::vector<MeasuredCp> measured;
};

// Reads surface.csv (needed), wake.csv, point.json and result.json.
// Returns false when the folder has no surface.csv.
bool read_point_folder(const std::string& dir, PointPicture& out);
// Reads [FOLDER/]NAME.FUL and NAME.BRF of an ordinary run: the last surface
// table and boundary-layer tables of the results listing and the last
// summary of the second listing. Throws std::runtime_error with a message
// for the user when they are missing.
PointPicture read_run_listings(const std::string& base);

// A title of the solution: the given lead, then Mach number, incidence and lift.
std::string picture_title(const std::string& lead, const PointPicture& p);

std::string cp_svg(const PointPicture& p);
std::string bl_svg(const PointPicture& p);  // viscous solutions only
// The Cp of several solutions in one plot, each in its own colour, upper
// surface solid and lower dashed, named by their labels.
std::string cp_overlay_svg(const std::string& heading, const std::string& title,
                           const std::vector<std::pair<std::string, PointPicture>>& pictures, double mach);

// Critical pressure coefficient: Cp where the flow reaches sonic speed.
double critical_cp(double mach);

// A study folder read through the study's schema: what was asked, and every
// point with its result when it has one.
struct StudyFolder {
  std::string dir;
  std::string label;  // how plots comparing studies name it: the folder's name
  sweep::Study study;
  std::vector<sweep::PointRecord> points;
  std::vector<float> machs;  // in increasing order
  bool by_cl() const { return !study.cl.empty(); }
};
// Throws std::runtime_error when the folder holds no study.
StudyFolder read_study_folder(const std::string& dir);

// The study plots, of the first study with the others compared and the
// measured polars overlaid.
struct StudyPlots {
  std::vector<StudyFolder> studies;
  std::vector<MeasuredPolar> measured;
};
std::string cl_alpha_svg(const StudyPlots& s);
std::string polar_svg(const StudyPlots& s);
std::string cm_alpha_svg(const StudyPlots& s);
std::string drag_rise_svg(const StudyPlots& s);  // more than one Mach number
std::string drag_breakdown_svg(const StudyFolder& s);

// Files of the report beside the study plots: what the report shows or links.
struct ReportFiles {
  std::vector<std::string> cp_by_mach;  // plots/cp_M*.svg, one per Mach number
  std::vector<std::pair<int, std::string>> compared_cp;  // point and plots/compare_NNN.svg
  std::vector<std::string> problems;    // pictures that could not be drawn
};
std::string report_html(const StudyPlots& s, const ReportFiles& files);

// Short forms used in titles and legends: "0.729", "2.5".
std::string short_number(double v, int max_decimals);
// "M 0.729, α 2°" (or the required CL), and "point 3 (M 0.729, α 2°)".
std::string point_conditions(const sweep::Point& p);
std::string point_name(const sweep::Point& p);

// Files are read whole and written whole or not at all (text_files.h).
bool file_exists(const std::string& path);

}  // namespace tarn::plot
