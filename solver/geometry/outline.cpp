// How closely the mapped surface follows the aerofoil: the distance of each
// mapped surface point from the contour, the contour drawn finely along its
// own spline z(theta), x = (1 + cos theta)/2.
#include <cfloat>
#include <cmath>
#include <cstdio>

#include "geometry.h"
#include "mapping_steps.h"

namespace tarn {

namespace {

constexpr int32_t kOutlineSteps = 4000;  // chords of the drawn contour; their sag is below 1E-6 chord

// Squared distance of (px, pz) from the segment (ax, az)-(bx, bz), and the
// two components whose length it is.
struct Offset {
  float dx, dz, squared;
};
Offset segment_offset(float px, float pz, float ax, float az, float bx, float bz) {
  const float dx = bx - ax, dz = bz - az, length2 = dx * dx + dz * dz;
  float t = length2 > 0.0f ? ((px - ax) * dx + (pz - az) * dz) / length2 : 0.0f;
  t = std::fmin(std::fmax(t, 0.0f), 1.0f);
  const float ox = px - ax - t * dx, oz = pz - az - t * dz;
  return {ox, oz, ox * ox + oz * oz};
}

// Only chords that may hold the nearest point are measured: a chord lies
// within its length of its first end, so a chord whose first end is further
// than the nearest end of any chord plus the longest chord cannot be nearer
// than that end. Among those, the squared lengths pick the nearest chords
// cheaply; the distance itself is the hypotenuse of those within rounding of
// the nearest, so that it is the smallest hypotenuse over all chords, as a
// search by hypotenuse over every chord would find. kNearSquared is the
// share of a squared length left for rounding.
constexpr float kNearSquared = 1.0e-4f;

float squared_length(float dx, float dz) { return dx * dx + dz * dz; }

}  // namespace

void measure_outline(Mapping& map, int32_t nsg) {
  const MappingWork& w = map.WORK;
  // The contour from the upper trailing edge round to the lower one.
  static RVec<kOutlineSteps + 1> th, x, z;
  const float first = w.TH(1), last = w.TH(w.NC);
  for (int32_t j = 1; j <= kOutlineSteps + 1; ++j) {
    th(j) = first + (last - first) * static_cast<float>(j - 1) / kOutlineSteps;
    x(j) = 0.5f * (1.0f + std::cos(th(j)));
  }
  spline_evaluate(1, kOutlineSteps + 1, th.v, z.v, nullptr, nullptr, 1, w.NC, w.TH.v, w.ZC.v, w.ZP.v, w.ZPP.v,
                  w.ZPPP.v);
  float longest = 0.0f;
  for (int32_t j = 1; j <= kOutlineSteps; ++j) {
    const float length = std::sqrt(squared_length(x(j + 1) - x(j), z(j + 1) - z(j)));
    if (length > longest) longest = length;
  }
  static RVec<kOutlineSteps + 1> to_end, squared;
  float largest = 0.0f;
  for (int32_t i = 1; i <= nsg + 1; ++i) {
    const float px = map.XZ(i, 1), pz = map.XZ(i, 2);
    float end = INFINITY;  // squared distance of the nearest chord end
    for (int32_t j = 1; j <= kOutlineSteps + 1; ++j) {
      to_end(j) = squared_length(px - x(j), pz - z(j));
      if (to_end(j) < end) end = to_end(j);
    }
    const float reach = std::sqrt(end) + longest;
    const float within = reach * reach * (1.0f + kNearSquared) + FLT_MIN;
    float least = INFINITY;
    for (int32_t j = 1; j <= kOutlineSteps; ++j) {
      squared(j) = to_end(j) <= within ? segment_offset(px, pz, x(j), z(j), x(j + 1), z(j + 1)).squared : NAN;
      if (squared(j) < least) least = squared(j);
    }
    const float near = least * (1.0f + kNearSquared) + FLT_MIN;
    float nearest = INFINITY;
    for (int32_t j = 1; j <= kOutlineSteps; ++j) {
      if (!(squared(j) <= near)) continue;
      const Offset o = segment_offset(px, pz, x(j), z(j), x(j + 1), z(j + 1));
      nearest = std::fmin(nearest, std::hypot(o.dx, o.dz));
    }
    largest = std::fmax(largest, nearest);
  }
  map.OUTLINE = largest;
}

std::string geometry_warning(const Mapping& map) {
  if (map.NITER == 0) return std::string();
  const bool unmapped = !(std::fabs(map.SERR) < kMappingTolerance);
  const bool off = !(map.OUTLINE <= kOutlineTolerance);
  if (!unmapped && !off) return std::string();
  char text[400];
  std::string why;
  if (unmapped) {
    std::snprintf(text, sizeof text,
                  "the conformal mapping stopped after %d iterations with MAX S ERROR %.7f, not below %.1E", map.NITER,
                  static_cast<double>(map.SERR), static_cast<double>(kMappingTolerance));
    why = text;
  }
  if (off) {
    std::snprintf(text, sizeof text, "the mapped surface lies up to %.4f chord from the aerofoil's outline (%.1E allowed)",
                  static_cast<double>(map.OUTLINE), static_cast<double>(kOutlineTolerance));
    why += (why.empty() ? "" : "; ") + std::string(text);
  }
  return why + ": the results belong to another section. Check the aerofoil geometry (points that nearly coincide "
               "at the nose, too few points a surface, a leading edge between the given points); tarnfoil import "
               "prepares such a file so that the mapping resolves it, and tarnfoil check reports the mapping";
}

}  // namespace tarn
