// What the plots are drawn from: the files of a study and of its points, or
// the listings of an ordinary run, read into plain tables and curves.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

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

// One solution, from a study point folder or from a run's listings.
struct PointPicture {
  std::string heading;     // the aerofoil or the run
  std::string title;       // the point and its conditions
  double mach = kNone, alpha = kNone, cl = kNone;
  bool viscous = false;
  std::string cf_title;    // axis title of the skin friction
  SurfaceCurve upper, lower;
  LayerCurve upper_layer, lower_layer, wake;
};

// Reads surface.csv (needed), wake.csv, result.json and the study's title.
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

// Critical pressure coefficient: Cp where the flow reaches sonic speed.
double critical_cp(double mach);

// One point of a study with its conditions, results and verdict.
struct StudyPoint {
  int point = 0;
  std::string folder;                       // relative to the study folder
  double mach = kNone, alpha_set = kNone, cl_set = kNone;  // as asked
  double alpha = kNone, cl = kNone, cm = kNone, cdp = kNone, cdf = kNone, cdv = kNone;
  double cd1 = kNone, cd2 = kNone, cd = kNone;
  std::string verdict;                      // converged, not converged, failed; empty: not run
  int tries = 0;
  nlohmann::json result;                    // result.json, null when absent
  std::string problem;                      // why a file of the point could not be read or drawn
  bool has_results() const { return std::isfinite(cl); }
  bool converged() const { return verdict == "converged"; }
};

struct Study {
  std::string dir;
  nlohmann::json asked;         // study.json: the study as asked; null when absent
  std::string title;
  bool by_cl = false;           // a lift coefficient was required instead of an incidence
  std::vector<double> machs;    // in increasing order
  std::vector<StudyPoint> points;
};

// Reads study.json, polar.csv and every point's result.json; whatever is
// missing stays empty, so a study with failed or unfinished points reads.
Study read_study(const std::string& dir);

std::string cl_alpha_svg(const Study& s);
std::string polar_svg(const Study& s);
std::string cm_alpha_svg(const Study& s);
std::string drag_rise_svg(const Study& s);  // more than one Mach number
std::string report_html(const Study& s);

// A member of a JSON object: kNone or an empty string when it is absent,
// null or of another type.
double json_number(const nlohmann::json& j, const char* key);
std::string json_text(const nlohmann::json& j, const char* key);

// Short forms used in titles and legends: "0.729", "2.5".
std::string short_number(double v, int max_decimals);
// "M 0.729, α 2°" (or the required CL), and "point 3 (M 0.729, α 2°)".
std::string point_conditions(const StudyPoint& p, bool by_cl);
std::string point_name(const StudyPoint& p, bool by_cl);

// Files are read whole and written whole or not at all (text_files.h).
bool file_exists(const std::string& path);

}  // namespace tarn::plot
