// The files of a study folder and of its point folders, and the numbers
// written into them. Private to this folder.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

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
// Names in a point folder.
inline const std::string kPointFile = "point.json";
inline const std::string kResultFile = "result.json";
inline const std::string kSurfaceCsv = "surface.csv";
inline const std::string kWakeCsv = "wake.csv";
inline const std::string kConsoleFile = "console.txt";

// The verdicts of a point.
inline const std::string kConverged = "converged";
inline const std::string kNotConverged = "not converged";
inline const std::string kFailed = "failed";

// The shortest decimal that reads back as the same float ("" when the value
// is not finite), and the same value as a JSON number (null when not finite).
std::string decimal(float v);
Json number(float v);

// Text files are read and written by read_text and write_text of
// text_files.h: written whole or not at all (result.json marks a finished
// point).
Json read_json(const std::string& path);
void write_json(const std::string& path, const Json& j);

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

}  // namespace tarn::sweep
