// Aerofoil geometry and conformal mapping: the aerofoil data file, the
// surface spline and the mapping of the aerofoil onto the unit circle.
#pragma once

#include <cmath>
#include <stdexcept>
#include <string>

#include "flow_state.h"

namespace tarn {

// Geometry step: reads the mapping-control records (unit 14) and the aerofoil
// data file (unit 17), maps the aerofoil onto the circle and sets sigma, the
// metric H, the surface quantities and the zero-incidence rotation.
void geometry_and_mapping(FlowState& fs, float emc, float cn, float delta1, float ch);

// Whether the surface the solver computes on is the aerofoil's. The mapping
// passes end at their iteration limit whatever their error; a last MAX S
// ERROR (arc length still moving, chord units) of kMappingTolerance or more
// leaves the surface points where the mapping stopped, and mapped surface
// points more than kOutlineTolerance from the contour of the aerofoil data
// file give forces of another section. kMappingTolerance lies above the
// noise at which single-precision passes settle on some well-resolved
// sections (about 1E-5) and well below the outline tolerance.
constexpr float kMappingTolerance = 1.0e-4f;
constexpr float kOutlineTolerance = 1.0e-3f;
// Empty when the geometry step mapped the aerofoil within both tolerances
// (or made no mapping); otherwise what is wrong, in words for a user, with
// the advice to look at the geometry rather than the numerics.
std::string geometry_warning(const Mapping& map);
// Largest distance of the mapped surface points (map.XZ) from the contour
// of the geometry step (its spline z(theta) in map.WORK); stored in map.OUTLINE.
void measure_outline(Mapping& map, int32_t nsg);

// Leading- and trailing-edge x as the aerofoil data file gives them; their
// difference is the chord.
struct ChordLine {
  float xle, xte;
};

// A record of the aerofoil data file that cannot be read, or point counts
// the solver does not accept; what() says which.
struct AerofoilFileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads the aerofoil data file open on unit 17: the title (blank-padded to
// 80 characters) and both surfaces, joined in w.XC, w.ZC from the upper
// trailing edge round the leading edge to the lower trailing edge (w.NU
// upper points, w.NC in all; a symmetric file gives the mirrored lower
// surface). Throws AerofoilFileError.
ChordLine read_aerofoil_file(MappingWork& w, std::string& title);

// Arc-cosine of the geometry step, atan2(sqrt(max(1 - x^2, 0)), x): the
// surface angle of a contour point is arc_cosine(2x - 1) on the upper
// surface and 2 pi less it on the lower.
inline float arc_cosine(float x) { return std::atan2(std::sqrt(std::fmax(1.0f - x * x, 0.0f)), x); }

// End conditions of a spline fit: which derivative is given at an end.
enum SplineEnd : int32_t { kGivenSlope = 1, kGivenSecond = 2, kGivenThird = 3 };

// Cubic-spline fit through (s(i), f(i)), i = |m| ... n, with strictly
// monotonic abscissae: first, second and third derivatives at every point
// (fp, fpp, fppp). With m < 0 fppp receives instead the running integral of
// the spline, starting from fom at the first point. km, vm and kn, vn give
// the end conditions at the first and last point. Arrays are indexed from 1:
// pass the storage of element 1. Fewer than three points or abscissae that
// are not strictly monotonic write " ** SPLIF ERROR" to the results listing
// and stop the run.
void SPLIF(int32_t m, int32_t n, const float* s, const float* f, float* fp, float* fpp, float* fppp,
           int32_t km, float vm, int32_t kn, float vn, float fom = 0.0f);

// Value, first and second derivative (f, fp, fpp; fp and fpp may be null)
// at the abscissae x(first ... last) of a spline fitted by SPLIF over
// table points |m| ... n (m < 0 adds the fourth-order term of a table whose
// third derivatives vary). Abscissae are taken in the table's direction.
void spline_evaluate(int32_t first, int32_t last, const float* x, float* f, float* fp, float* fpp,
                     int32_t m, int32_t n, const float* s, const float* sf, const float* sfp,
                     const float* sfpp, const float* sfppp);

}  // namespace tarn
