// Helpers for the geometry and mapping tests: the geometry step run in the
// test process on an aerofoil file, and an independent reference contour.
#pragma once

#include <string>
#include <vector>

#include "flow_state.h"

namespace tarn::test {

// Mapping-control records: print flags, maximum mapping iterations and the
// subdivision pairs (the closing pair included), as the set-up program writes them.
std::string mapping_control(int maxit = 30, const std::string& flags = "11000",
                            const std::string& pairs = " 1000    1\n");

// Runs the geometry step for nsg grid lines on the aerofoil file text, with
// the run-data records given; listings, console and grid-data file captured.
void run_geometry(FlowState& fs, const std::string& aerofoil, int nsg,
                  const std::string& control = mapping_control(), float cn = 0.0f);

// Text of a file of the shared reference data, empty when it is absent.
std::string shared_text(const std::string& relative);

// The aerofoil contour of a data file, densely sampled in double precision
// along a cubic spline of z against theta = arccos(2x - 1).
struct ReferenceContour {
  std::vector<double> x, z;
  explicit ReferenceContour(const std::string& aerofoil);
  double distance(double px, double pz) const;  // from a point to the contour
};

}  // namespace tarn::test
