// The surface and wake tables of a point, taken from the flow state at the
// end of the run at full precision: pressures and local Mach numbers of the
// last results formed (NPRES surface points), and the boundary-layer
// thicknesses and skin friction of the last boundary-layer calculation.
#include <algorithm>
#include <cmath>

#include "point.h"

namespace tarn::sweep {

namespace {

constexpr float kSameStation = 1.0e-5f;  // wake points and stations within this in x are the same place

std::string field(float v) { return decimal(v); }

// Shape factor, where there is a momentum thickness.
float shape_factor(float dstar, float theta) { return theta > 0.0f ? dstar / theta : NAN; }

// Skin friction at station l of surface j as the station list stands after
// the coupling took the inserted transition station out again: the friction
// array still holds that station, one place further on beyond it.
float station_friction(const FlowState& fs, int l, int j) {
  const BoundaryLayer& bl = fs.bl;
  float xt = bl.XT[j - 1];  // where the last calculation placed transition
  int shift = bl.INSERTED[j - 1] == 1 && bl.X(l, j) > xt ? 1 : 0;
  return bl.CF(l + shift, j);
}

// Stagnation point of the last boundary-layer calculation: the point whose
// x and y open the lower surface's station list.
int stagnation_point(const FlowState& fs) {
  const BoundaryLayer& bl = fs.bl;
  int np = fs.mon.NPRES;
  for (int i = 1; i <= np; ++i)
    if (fs.res.X(i) == bl.X(1, 2) && fs.res.Y(i) == bl.Y(1, 2)) return i;
  return (np - 1) / 2 + 1;
}

// The boundary-layer station of surface point i: the stations run from the
// stagnation point ist along each surface, one per surface point. 0 when the
// point has none (an inviscid run, or a station list that does not match).
int point_station(const FlowState& fs, int i, int ist, int& j) {
  if (fs.run.IVP == 0 || fs.cpl.ISURF == 0) return 0;
  j = i < ist ? 2 : 1;
  int l = j == 1 ? i - ist + 1 : ist - i + 1;
  return l <= fs.bl.N[j - 1] && fs.bl.X(l, j) == fs.res.X(i) ? l : 0;
}

void surface_row(const FlowState& fs, std::string& out, const char* surface, int i, int ist) {
  const Results& r = fs.res;
  const BoundaryLayer& bl = fs.bl;
  out += std::string(surface) + "," + field(r.X(i)) + "," + field(r.Y(i)) + "," + field(r.CP(i)) + "," +
         field(r.EMLS(i)) + ",";
  int j = 1, l = point_station(fs, i, ist, j);
  if (l > 0) {
    float dstar = bl.DELSTAR(l, j), theta = bl.THETA(l, j);
    out += field(dstar) + "," + field(theta) + "," + field(shape_factor(dstar, theta)) + "," +
           field(station_friction(fs, l, j));
  } else {
    out += ",,,";
  }
  out += "\n";
}

// Station of surface j at x beyond the trailing edge, or 0.
int wake_station(const BoundaryLayer& bl, int j, float x) {
  for (int l = 1; l <= bl.N[j - 1]; ++l)
    if (std::fabs(bl.X(l, j) - x) < kSameStation) return l;
  return 0;
}

}  // namespace

void write_surface_table(const FlowState& fs, const std::string& path) {
  const Results& r = fs.res;
  int np = fs.mon.NPRES;
  int imin = 1;
  for (int i = 2; i <= np; ++i)
    if (r.X(i) < r.X(imin)) imin = i;
  int ist = stagnation_point(fs);
  std::string out = csv_header(kSurfaceColumns);
  for (int i = imin; i <= np; ++i) surface_row(fs, out, "upper", i, ist);
  for (int i = imin; i >= 1; --i) surface_row(fs, out, "lower", i, ist);
  write_text(path, out);
}

void write_wake_table(const FlowState& fs, const std::string& path) {
  const Results& r = fs.res;
  const BoundaryLayer& bl = fs.bl;
  bool wake_layer = fs.run.IVP >= 2 && fs.cpl.IWAKE != 0;
  std::string out = csv_header(kWakeColumns);
  for (int k = 2; k <= fs.grid.MR; ++k) {  // behind the trailing edge (k = 1)
    float x = r.XW(k);
    out += field(x) + "," + field(r.CPU(k)) + "," + field(r.WK(k, 2)) + ",";
    int upper = wake_layer ? wake_station(bl, 1, x) : 0, lower = wake_layer ? wake_station(bl, 2, x) : 0;
    if (upper > 0 && lower > 0) {
      // The wake as a whole: both sides' thicknesses added.
      float dstar = bl.DELSTAR(upper, 1) + bl.DELSTAR(lower, 2), theta = bl.THETA(upper, 1) + bl.THETA(lower, 2);
      out += field(dstar) + "," + field(theta) + "," + field(shape_factor(dstar, theta));
    } else {
      out += ",,";
    }
    out += "\n";
  }
  write_text(path, out);
}

}  // namespace tarn::sweep
