// The files of a study folder and of its point folders, and the numbers
// written into them: the one schema of study.json, point.json, result.json,
// polar.csv, surface.csv and wake.csv, used by the study program that writes
// them and by the pictures that read them.
#pragma once

#include <cmath>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "sweep.h"
#include "text_files.h"

namespace tarn::sweep {

using Json = nlohmann::ordered_json;

// Names in the study folder.
inline const std::string kStudyFile = "study.json";
inline const std::string kPointsFolder = "points";
inline const std::string kPolarCsv = "polar.csv";
inline const std::string kPolarTxt = "polar.txt";
inline const std::string kJobsFile = "jobs.txt";
inline const std::string kSlurmFile = "slurm.sh";
inline const std::string kSubmitFile = "submit.sh";
// Names in a point folder.
inline const std::string kPointFile = "point.json";
inline const std::string kResultFile = "result.json";
inline const std::string kSurfaceCsv = "surface.csv";
inline const std::string kWakeCsv = "wake.csv";
inline const std::string kConsoleFile = "console.txt";
inline const std::string kFirstPassFile = "first_pass.json";  // the point's own tries, awaiting a rescue
inline const std::string kLogFile = "point.log";              // why the point is pending, latest last
// The lock files of a study folder and of a point folder.
inline const std::string kStudyLock = "study.lock";
inline const std::string kPointLock = "point.lock";

// A point that runs longer than this, in seconds, is stopped and left
// pending (a point normally takes well under a minute).
constexpr double kPointTimeLimit = 600.0;

// The largest factor by which the retries multiply the coarse or fine
// sweeps of a point (safer numerics, continuations, starts from
// neighbours).
constexpr int32_t kMostSweepsFactor = 4;

// The verdicts of a point.
inline const std::string kConverged = "converged";
inline const std::string kNotConverged = "not converged";
inline const std::string kFailed = "failed";

// The shortest decimal that reads back as the same float ("" when the value
// is not finite), and the same value as a JSON number (null when not finite).
std::string decimal(float v);
Json number(float v);

// A time as minutes and seconds, "10:00".
std::string clock_text(double seconds);
// Why a point stopped at its time limit is pending.
std::string time_limit_reason();
// Text as a terminal may show it: control characters dropped.
std::string printable(const std::string& text);
// Text read as bytes, as valid UTF-8 with no control characters: bytes that
// are not UTF-8 are taken as Latin-1.
std::string utf8_text(const std::string& bytes);
// The longest start of UTF-8 text of at most `bytes` bytes that ends on a
// character boundary.
std::string utf8_prefix(const std::string& text, size_t bytes);

// Text files are read and written by read_text and write_text of
// text_files.h: written whole or not at all (result.json marks a finished
// point).
Json read_json(const std::string& path);
void write_json(const std::string& path, const Json& j);

// An exclusive lock on a folder (flock on its lock file `file`), held while
// the object lives and by this process only (its children do not inherit
// it). When another process holds it, throws FolderBusy naming the holder,
// or with `wait` waits for it. `holder` says what this process does there.
struct FolderBusy : std::runtime_error {
  using std::runtime_error::runtime_error;
};
class FolderLock {
 public:
  FolderLock(const std::string& dir, const std::string& file, const std::string& holder, bool wait);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_ = -1;
};

// The study folder locked for a study: refused before anything is written
// when it holds another study or other files, then made and locked.
std::unique_ptr<FolderLock> lock_study(const Study& s, const Aerofoil& aerofoil, const std::string& dir, bool wait);
// polar.csv and polar.txt of the study in `dir` from its finished points,
// with the counts printed; the caller holds the study folder's lock.
// Returns the exit status of a collect.
int write_polar(const std::string& dir);

// Point folder and run name of point n: "points/001", "P001".
std::string point_folder(int n);
std::string run_name(int n);

// The study as study.json holds it, and back.
Json study_json(const Study& s);
Study study_from_json(const Json& j);
// What a point folder's point.json holds: the study's conditions with the
// point's own, so that the point can be run by itself.
Json point_json(const Study& s, const Point& p);
void point_from_json(const Json& j, Study& s, Point& p);

// The coefficients of a point's result, as the last summary of its run
// gave them, with the transition positions of its last boundary-layer
// calculation; NAN where there is none (CDF, CDV and the transition of an
// inviscid run). alpha in degrees, coefficients on the chord, cm about the
// quarter chord, xtr_* in x/c.
struct Coefficients {
  float alpha = NAN, cl = NAN, cm = NAN, cdp = NAN, cdf = NAN, cdv = NAN, cd1 = NAN, cd2 = NAN;
  float cd = NAN;       // the drag of the section: cdv + cd2 (viscous), cd2 (inviscid)
  float cdp_cdf = NAN;  // cdp + cdf, the surface integration of the viscous drag
  float cdv_cd1 = NAN;
  float xtr_upper = NAN, xtr_lower = NAN;
};
// The members of Coefficients by their names in result.json and polar.csv,
// in the order both hold them.
struct CoefficientName {
  const char* name;
  float Coefficients::*value;
};
extern const std::vector<CoefficientName> kCoefficientNames;
Json coefficients_json(const Coefficients& c);
Coefficients coefficients_from_json(const Json& j);  // absent and null members are NAN

// One try of a point as result.json lists it.
struct TryResult {
  int number = 0;
  Json changes = Json::object();  // what differs from the point's own answers
  std::string status, reason;     // converged, not converged, diverged or failed; why
  Json figures = Json::object();  // what the status rests on
  double seconds = 0.0;
  std::string folder;             // where its files are: "." or "tryN"
  std::string advice;             // tarn's advice line after a divergence
};

// result.json: the point's conditions, the results of its best try, the
// verdict and every try. A point the study lost (its process crashed or ran
// out of time) has no conditions, coefficients or tries.
struct PointResult {
  int point = 0;
  Json conditions;                    // as run: mach, alpha, cl, re, xtu, xtl, viscous, grid
  bool has_coefficients = false;
  Coefficients coefficients;
  std::vector<float> shocks_upper, shocks_lower;  // x/c of the shocks of the wave-drag step
  std::string status, reason, advice;  // the verdict: converged, not converged or failed
  Json figures = Json::object();
  std::vector<TryResult> tries;
  int result_try = 0;                  // the try whose results these are; 0 when none
  double seconds = 0.0;
};
Json result_json(const PointResult& r);
PointResult result_from_json(const Json& j);
// Throws std::runtime_error naming the file when it is not a result.
PointResult read_result(const std::string& path);

// A point of a study with its result, when it has one.
struct PointRecord {
  Point point;
  bool finished = false;  // result.json is there
  PointResult result;
  std::string problem;    // why result.json could not be read
};
// Every point of the study in the folder, in point order; a result that
// does not read leaves its point unfinished with the problem said.
std::vector<PointRecord> read_points(const std::string& dir, const Study& s);

// Columns of polar.csv, one row a point; the header is the first line.
// Units are in the names (alpha_deg); the other columns are coefficients
// on the chord and x/c.
extern const std::vector<std::string> kPolarColumns;
// Columns of surface.csv (upper surface from the leading to the trailing
// edge, then the lower) and of wake.csv.
enum SurfaceColumn { kSurfaceSide, kSurfaceX, kSurfaceZ, kSurfaceCp, kSurfaceMach, kSurfaceDstar, kSurfaceTheta, kSurfaceH, kSurfaceCf };
inline const std::vector<std::string> kSurfaceColumns = {"surface", "x", "z", "cp", "mach", "dstar", "theta", "h", "cf"};
enum WakeColumn { kWakeX, kWakeCp, kWakeMach, kWakeDstar, kWakeTheta, kWakeH };
inline const std::vector<std::string> kWakeColumns = {"x", "cp", "mach", "dstar", "theta", "h"};
// A header line of such columns, and a text field quoted for CSV.
std::string csv_header(const std::vector<std::string>& columns);
std::string csv_quoted(const std::string& text);

}  // namespace tarn::sweep
