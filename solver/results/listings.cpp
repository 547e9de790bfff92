// The printed results of a case: the surface table and the wake table of the
// results listing, the upper- and lower-surface pressure lists of the second
// listing, and the inviscid summary on both.
#include "listings.h"

#include "file_units.h"
#include "potential/potential.h"
#include "units.h"
#include "wave_drag/wave_drag.h"

namespace tarn {

const Layout kSurfaceHeading("(/, /, 5X, 'T', 8X, 'X  ', 7X, 'Z  ', 8X, 'CP', 8X, 'P/P0', 5X, 'EML')");
const Layout kSurfaceRow("(F9.3, 6F10.5)");
const Layout kInviscidSummary(
    "(/, '   EM = ', F7.4, 4X, '  ALP = ', F7.4, /, '   CL = ', F8.5, 3X, '   CM = ', F8.5, /,"
    " '  CDP = ', F8.5, /, '  CD1 = ', F8.5, 3X, '  CD2 = ', F8.5)");

namespace {

const std::string kUpperList = "    Upper surface CP values             ";
const std::string kLowerList = "    Lower surface CP values             ";
const std::string kListHeading = "        X          CP                   ";
const Layout kListRow("(3X, 2F10.5)");
const Layout kWakeTitle("(/, /, 20X, 'WAKE DATA')");
const Layout kWakeHeading(
    "(/, /, 7X, 'X', 10X, 'CP(U)', 5X, 'P/P0(U)', 2X, 'EML(U)', 5X, 'CP(L)', 7X, 'P/P0(L)', 3X, 'EML(L)')");
const Layout kWakeRow("(3X, F8.5, 4X, F8.5, 2X, F8.5, 2X, F8.5, 2X, F8.5, 4X, F8.5, 4X, F8.5)");
constexpr int kTablesLevel = 3;  // ITYP from which the tables are printed

void surface_table(const FlowState& fs) {
  const Results& r = fs.res;
  Units& u = units();
  u.write(kListing, kSurfaceHeading);
  for (int i = 1; i <= fs.grid.NSG + 1; ++i) {
    float t = static_cast<float>(i - 1) * fs.grid.DTH * kDegPerRad;
    u.write(kListing, kSurfaceRow, t, r.X(i), r.Y(i), r.CP(i), r.PH(i), r.EMLS(i));
  }
}

// The point of smallest x starts both lists (the first of equal points).
int leading_edge_point(const FlowState& fs) {
  int imin = 1;
  float xmin = 1.0f;
  for (int i = 1; i <= fs.grid.NSG + 1; ++i)
    if (fs.res.X(i) < xmin) {
      xmin = fs.res.X(i);
      imin = i;
    }
  return imin;
}

void pressure_lists(const FlowState& fs) {
  const Results& r = fs.res;
  Units& u = units();
  int imin = leading_edge_point(fs);
  u.write_line(kBrief, kUpperList);
  u.write_line(kBrief, kListHeading);
  for (int i = imin; i <= fs.grid.NSG + 1; ++i) u.write(kBrief, kListRow, r.X(i), r.CP(i));
  u.write_line(kBrief, kLowerList);
  u.write_line(kBrief, kListHeading);
  for (int i = imin; i >= 1; --i) u.write(kBrief, kListRow, r.X(i), r.CP(i));
}

void wake_table(const FlowState& fs) {
  const Results& r = fs.res;
  Units& u = units();
  u.write(kListing, kWakeTitle);
  u.write(kListing, kWakeHeading);
  for (int k = 1; k <= fs.grid.MR; ++k)
    u.write(kListing, kWakeRow, r.XW(k), r.CPU(k), r.PHU(k), r.WK(k, 2), r.CPL(k), r.PHL(k), r.WK(k, 4));
}

}  // namespace

void write_results(FlowState& fs) {
  const RunControl& run = fs.run;
  const Results& r = fs.res;
  bool final_print = run.IPRINT != 0;
  bool tables = final_print && run.ITYP >= kTablesLevel;
  if (tables) surface_table(fs);
  if (final_print) pressure_lists(fs);
  if (run.IPRINT == 1 && run.ITYP >= kTablesLevel) {
    wave_drag(fs);
    require_finite(r.CD1, "CD1");
    require_finite(r.CD2, "CD2");
  }
  if (tables) wake_table(fs);
  if (final_print && run.IVP == 0) {
    monitor_summary(fs);
    for (int unit : {kListing, kBrief})
      units().write(unit, kInviscidSummary, fs.gas.EM, fs.ALP, r.CL, r.CM, r.CDP, r.CD1, r.CD2);
  }
}

}  // namespace tarn
