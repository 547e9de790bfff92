// The contour between reading and normalising, and the surface spline the
// solver fits to it. Private to this folder.
#pragma once

#include <string>
#include <vector>

#include "foil.h"

namespace tarn::foil {

constexpr int kMinSurfacePoints = 3;  // leading edge, one point between, trailing edge

// A point as a file gives it, with its line.
struct GivenPoint {
  double x, z;
  int line;
};

// The points of a file in one run round the section, from one trailing edge
// over one surface to the leading edge and back along the other.
struct GivenContour {
  std::string path, title;
  Form form = Form::kSelig;
  std::vector<GivenPoint> points;
  std::vector<std::string> suspicious;  // found while reading
  std::vector<std::string> done;        // lines left out while reading, and why
};

// Coordinates along and across the chord line from the leading edge towards
// the middle of the trailing edge, in the given units.
struct ChordFrame {
  double x0, z0;  // the leading edge
  double c, s;    // cosine and sine of the chord line's rise
  ChordFrame(double xle, double zle, double xte, double zte);
  double along(double x, double z) const { return (x - x0) * c + (z - z0) * s; }
  double across(double x, double z) const { return (z - z0) * c - (x - x0) * s; }
  double rise() const;  // degrees the chord line rises towards the trailing edge
};

// Unit chord with the leading edge, found on a spline through the points, at
// x = 0; the file's axes kept (moved along x and scaled) or, with derotate,
// the chord line levelled; surfaces split at the leading edge, checked, and
// re-spaced where a surface holds too few points for the mapping or more
// than the solver takes.
Imported normalise(const GivenContour& given, bool derotate);

// The joined contour's z against the solver's surface angle theta
// (x = (1 + cos theta)/2; 0 at the upper trailing edge, pi at the leading
// edge, 2 pi at the lower trailing edge), fitted with the solver's spline and
// its end conditions.
class SurfaceSpline {
 public:
  explicit SurfaceSpline(const Section& section);
  // Surface angle of x on the upper (lower = false) or lower surface.
  static float angle(double x, bool lower);
  // z and dz/dtheta at angles taken in either order.
  void evaluate(const std::vector<float>& theta, std::vector<float>& z, std::vector<float>* slope = nullptr) const;

 private:
  std::vector<float> th_, z_, zp_, zpp_, zppp_;
};

}  // namespace tarn::foil
