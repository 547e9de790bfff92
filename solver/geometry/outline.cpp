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
// than that end. The chord ends are taken in blocks of kBlock, each within
// its radius of its centre, so that blocks wholly beyond that reach are
// passed over (kReachMargin covers the rounding of the bounds). Among the
// chords left, the squared lengths pick the nearest cheaply; the distance
// itself is the hypotenuse of those within rounding of the nearest
// (kNearSquared, a share of a squared length), so that it is the smallest
// hypotenuse over all chords, as a search by hypotenuse over every chord
// would find.
constexpr int32_t kBlock = 50;
constexpr int32_t kBlocks = kOutlineSteps / kBlock;
static_assert(kBlocks * kBlock == kOutlineSteps, "the chords fill the blocks");
constexpr float kNearSquared = 1.0e-4f;
constexpr float kReachMargin = 1.0e-3f;

float squared_length(float dx, float dz) { return dx * dx + dz * dz; }

// The drawn contour: the chord ends, the longest chord, and the blocks of
// first ends with their centres and radii.
struct Contour {
  RVec<kOutlineSteps + 1> x, z;
  float longest = 0.0f;
  RVec<kBlocks> cx, cz, radius;
};

void form_blocks(Contour& c) {
  c.longest = 0.0f;
  for (int32_t j = 1; j <= kOutlineSteps; ++j)
    c.longest = std::fmax(c.longest, std::sqrt(squared_length(c.x(j + 1) - c.x(j), c.z(j + 1) - c.z(j))));
  for (int32_t b = 1; b <= kBlocks; ++b) {
    const int32_t first = (b - 1) * kBlock + 1, last = b * kBlock;
    float sx = 0.0f, sz = 0.0f;
    for (int32_t j = first; j <= last; ++j) {
      sx += c.x(j);
      sz += c.z(j);
    }
    c.cx(b) = sx / kBlock;
    c.cz(b) = sz / kBlock;
    float r = 0.0f;
    for (int32_t j = first; j <= last; ++j) r = std::fmax(r, squared_length(c.x(j) - c.cx(b), c.z(j) - c.cz(b)));
    c.radius(b) = std::sqrt(r);
  }
}

// Distance of (px, pz) from the contour.
float contour_distance(const Contour& c, float px, float pz) {
  static RVec<kOutlineSteps + 1> to_end;
  static RVec<kBlocks> centre;
  static bool open[kBlocks + 1];
  // The nearest chord end lies within `bound` of the point.
  const float last_end = squared_length(px - c.x(kOutlineSteps + 1), pz - c.z(kOutlineSteps + 1));
  float bound = std::sqrt(last_end);
  for (int32_t b = 1; b <= kBlocks; ++b) {
    centre(b) = std::sqrt(squared_length(px - c.cx(b), pz - c.cz(b)));
    bound = std::fmin(bound, centre(b) + c.radius(b));
  }
  const float reach = (bound + c.longest) * (1.0f + kReachMargin) + kReachMargin * c.longest;
  float end = INFINITY;
  if (last_end < end) end = last_end;
  for (int32_t b = 1; b <= kBlocks; ++b) {
    // A block whose bounds are not numbers stays open.
    open[b] = !(centre(b) - c.radius(b) > reach);
    if (!open[b]) continue;
    for (int32_t j = (b - 1) * kBlock + 1; j <= b * kBlock; ++j) {
      to_end(j) = squared_length(px - c.x(j), pz - c.z(j));
      if (to_end(j) < end) end = to_end(j);
    }
  }
  const float ends = std::sqrt(end) + c.longest;
  const float within = ends * ends * (1.0f + kNearSquared) + FLT_MIN;
  static RVec<kOutlineSteps> squared;
  static int32_t chords[kOutlineSteps];
  int32_t n = 0;
  float least = INFINITY;
  for (int32_t b = 1; b <= kBlocks; ++b) {
    if (!open[b]) continue;
    for (int32_t j = (b - 1) * kBlock + 1; j <= b * kBlock; ++j) {
      if (!(to_end(j) <= within)) continue;
      squared(j) = segment_offset(px, pz, c.x(j), c.z(j), c.x(j + 1), c.z(j + 1)).squared;
      if (squared(j) < least) least = squared(j);
      chords[n++] = j;
    }
  }
  const float near = least * (1.0f + kNearSquared) + FLT_MIN;
  float nearest = INFINITY;
  for (int32_t k = 0; k < n; ++k) {
    const int32_t j = chords[k];
    if (!(squared(j) <= near)) continue;
    const Offset o = segment_offset(px, pz, c.x(j), c.z(j), c.x(j + 1), c.z(j + 1));
    nearest = std::fmin(nearest, std::hypot(o.dx, o.dz));
  }
  return nearest;
}

}  // namespace

void measure_outline(Mapping& map, int32_t nsg) {
  const MappingWork& w = map.WORK;
  // The contour from the upper trailing edge round to the lower one.
  static Contour c;
  static RVec<kOutlineSteps + 1> th;
  const float first = w.TH(1), last = w.TH(w.NC);
  for (int32_t j = 1; j <= kOutlineSteps + 1; ++j) {
    th(j) = first + (last - first) * static_cast<float>(j - 1) / kOutlineSteps;
    c.x(j) = 0.5f * (1.0f + std::cos(th(j)));
  }
  spline_evaluate(1, kOutlineSteps + 1, th.v, c.z.v, nullptr, nullptr, 1, w.NC, w.TH.v, w.ZC.v, w.ZP.v, w.ZPP.v,
                  w.ZPPP.v);
  form_blocks(c);
  float largest = 0.0f;
  for (int32_t i = 1; i <= nsg + 1; ++i) largest = std::fmax(largest, contour_distance(c, map.XZ(i, 1), map.XZ(i, 2)));
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
