// The polar of a study: one row per point from the points' results, as CSV
// for programs (the header is the first line, the verdict's reason quoted)
// and in fixed columns for reading. Points without a result have empty
// fields.
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "point.h"

namespace tarn::sweep {

namespace fs = std::filesystem;

namespace {

const char* const kUnits =
    "# alpha in degrees (the incidence reached when a lift coefficient was required); coefficients on the chord, "
    "cm about the quarter chord; cd = cdv + cd2; xtr in x/c; tries = runs made\n";
constexpr size_t kPendingShown = 10;  // pending points named with their reasons
// polar.txt: the columns of polar.csv but the reason, their widths and
// decimals (-1 for text).
struct FixedColumn {
  int width, decimals;
};
const FixedColumn kFixed[] = {{5, 0},  {8, 4},  {10, 4}, {10, 5}, {10, 5}, {10, 5}, {10, 5}, {10, 5},
                              {10, 5}, {10, 5}, {10, 5}, {10, 4}, {10, 4}, {16, -1}, {7, 0}};

// One row of the polar: the values of its columns, null where there is none.
using Row = std::vector<Json>;

Row row_of(const PointRecord& r) {
  const Point& p = r.point;
  Row row = {p.number, number(p.mach)};
  const PointResult& res = r.result;
  Coefficients c = r.finished && res.has_coefficients ? res.coefficients : Coefficients();
  if (!std::isfinite(c.alpha) && !p.lift_given) c.alpha = p.alpha;
  for (const char* name : {"alpha", "cl", "cm", "cdp", "cdf", "cdv", "cd1", "cd2", "cd", "xtr_upper", "xtr_lower"})
    for (const CoefficientName& n : kCoefficientNames)
      if (std::string(n.name) == name) row.push_back(number(c.*n.value));
  row.push_back(r.finished ? Json(res.status) : Json(nullptr));
  row.push_back(r.finished ? Json(res.tries.size()) : Json(nullptr));
  std::string reason = r.finished ? res.reason : r.problem;
  row.push_back(reason.empty() ? Json(nullptr) : Json(reason));
  return row;
}

std::string csv_field(const Json& v, bool text) {
  if (v.is_null()) return std::string();
  if (text) return csv_quoted(v.get<std::string>());
  if (v.is_string()) return v.get<std::string>();
  if (v.is_number_integer()) return std::to_string(v.get<long long>());
  return decimal(v.get<float>());
}

std::string fixed_field(const Json& v, const FixedColumn& c) {
  char buf[64];
  if (c.decimals < 0)
    std::snprintf(buf, sizeof buf, "  %-*s", c.width - 2, v.is_string() ? v.get<std::string>().c_str() : "");
  else if (v.is_number())
    std::snprintf(buf, sizeof buf, "%*.*f", c.width, c.decimals, v.get<double>());
  else
    std::snprintf(buf, sizeof buf, "%*s", c.width, "");
  return buf;
}

std::string csv(const std::vector<Row>& rows) {
  std::string out = csv_header(kPolarColumns);
  for (const Row& r : rows) {
    for (size_t k = 0; k < r.size(); ++k) out += (k ? "," : "") + csv_field(r[k], kPolarColumns[k] == "reason");
    out += "\n";
  }
  return out;
}

std::string fixed_columns(const std::vector<Row>& rows, const std::string& title) {
  std::string out = title + "\n" + kUnits;
  for (size_t k = 0; k < std::size(kFixed); ++k) {
    char buf[64];
    bool text = kFixed[k].decimals < 0;
    std::snprintf(buf, sizeof buf, text ? "  %-*s" : "%*s", kFixed[k].width - (text ? 2 : 0), kPolarColumns[k].c_str());
    out += buf;
  }
  out += "\n";
  for (const Row& r : rows) {
    for (size_t k = 0; k < std::size(kFixed); ++k) out += fixed_field(r[k], kFixed[k]);
    out += "\n";
  }
  return out;
}

// How many points have each verdict, and the pending ones.
struct Counts {
  int converged = 0, not_converged = 0, failed = 0;
  std::vector<std::string> pending;  // "point N: why", in point order
};

void count(const Point& p, const Json& verdict, const std::string& folder, Counts& c) {
  if (verdict == kConverged)
    ++c.converged;
  else if (verdict == kNotConverged)
    ++c.not_converged;
  else if (verdict == kFailed)
    ++c.failed;
  else
    c.pending.push_back("point " + std::to_string(p.number) + ": " + pending_reason(folder));
}

}  // namespace

std::string pending_reason(const std::string& folder) {
  if (fs::exists(fs::path(folder) / kFirstPassFile))
    return "its own tries have ended without convergence; a start from a neighbour is to follow";
  std::string last = last_logged(folder);
  return last.empty() ? "not run yet" : printable(last);
}

int write_polar(const std::string& dir) {
  Study s = read_study(dir);
  std::vector<Row> rows;
  Counts c;
  for (const PointRecord& r : read_points(dir, s)) {
    if (!r.problem.empty()) std::cerr << "tarnsweep: point " << r.point.number << ": " << r.problem << '\n';
    rows.push_back(row_of(r));
    count(r.point, r.finished ? Json(r.result.status) : Json(nullptr), (fs::path(dir) / r.point.folder).string(), c);
  }
  write_text((fs::path(dir) / kPolarCsv).string(), csv(rows));
  write_text((fs::path(dir) / kPolarTxt).string(), fixed_columns(rows, s.title));
  study_finished(dir);
  std::printf("polar of %zu points in %s: %d converged, %d not converged, %d failed, %zu pending\n", rows.size(),
              printable((fs::path(dir) / kPolarCsv).string()).c_str(), c.converged, c.not_converged, c.failed,
              c.pending.size());
  for (size_t k = 0; k < c.pending.size() && k < kPendingShown; ++k) std::printf("  %s\n", c.pending[k].c_str());
  if (c.pending.size() > kPendingShown) std::printf("  ... and %zu more\n", c.pending.size() - kPendingShown);
  if (!c.pending.empty()) return kSweepPending;
  return c.not_converged + c.failed > 0 ? kSweepMissed : kSweepConverged;
}

int collect(const std::string& dir, bool wait) {
  read_study(dir);
  FolderLock lock(dir, kStudyLock, "a collect", wait);
  return write_polar(dir);
}

}  // namespace tarn::sweep
