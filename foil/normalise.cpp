// The section as the solver takes it: unit chord with the leading edge at
// x = 0, both surfaces from the leading edge with x rising and apart from
// each other, the leading edge found on a spline through the given points,
// and enough points a surface for the conformal mapping to resolve it but no
// more than the solver holds; then the shape measured on the solver's own
// surface spline.
#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>

#include "contour.h"
#include "flow_state.h"
#include "geometry/geometry.h"

namespace tarn::foil {

namespace {

using Points = std::vector<GivenPoint>;

constexpr double kCrossingTolerance = 1.0e-6;  // chord units: closer than this the surfaces touch
constexpr double kSpacingJump = 5.0;           // neighbouring intervals this many times apart
constexpr size_t kMostJumps = 5;               // spacing jumps and repeats listed; the rest are counted
constexpr double kBackToFront = 2.0;           // surface slopes at the trailing edge this much the steeper
constexpr int kMeasureStations = 2001;         // cosine-spaced stations for thickness and camber
constexpr double kNoseStation = 0.0005;        // x where the nose circle meets the surfaces
// Given points this close to the leading edge found on the spline (chord
// units) are merged into it: the solver's surface angle could not tell them
// from it, and a pair of nose points straddling it closely makes the mapping
// oscillate.
constexpr double kNoseMerge = 2.0e-4;
// A surface of fewer points leaves the mapping too little to follow round
// the nose (its Cp comes out wavy, its mapping may not settle): it is
// re-splined to kDensePoints, cosine-spaced.
constexpr int kFewestPoints = 41;
constexpr int kDensePoints = 101;
constexpr double kThinnest = 1.0e-4;  // chord units: a section thinner than this has no thickness
// The spline's leading edge replaces the given point of smallest x only when
// it lies beyond it by more than this (chord units), or a neighbour lies
// about as far forward (two nose points straddling the leading edge): a
// clear nose point is truer than the spline's estimate near it.
constexpr double kBeyondGiven = 1.0e-5;
constexpr double kSamePoint = 1.0e-9;  // chord units: a given point this near the leading edge is it
constexpr int kSearchSteps = 200;
constexpr double kCrowded = 1.0e-5;   // chord units: closer points of an overfull surface are thinned out     // halvings of the leading-edge and station searches

std::string number(double v, int decimals = 6) {
  std::ostringstream out;
  out << std::fixed << std::setprecision(decimals) << v;
  return out.str();
}

std::string line_text(int line) { return line > 0 ? "line " + std::to_string(line) : "a mirrored point"; }

// Twice the area enclosed, positive when the points run anticlockwise: from
// the trailing edge over the upper surface first.
double twice_area(const Points& p) {
  double sum = 0.0;
  for (size_t i = 0; i < p.size(); ++i) {
    const GivenPoint& a = p[i];
    const GivenPoint& b = p[(i + 1) % p.size()];
    sum += a.x * b.z - b.x * a.z;
  }
  return sum;
}

// z of a surface at x, by straight lines between its points (x rising).
double z_between(const Points& s, double x) {
  auto after = std::upper_bound(s.begin(), s.end(), x, [](double v, const GivenPoint& p) { return v < p.x; });
  if (after == s.begin()) return s.front().z;
  if (after == s.end()) return s.back().z;
  const GivenPoint& a = *(after - 1);
  return a.z + (after->z - a.z) * (x - a.x) / (after->x - a.x);
}

void check_count(const std::string& path, const Points& s, const char* name) {
  if (static_cast<int>(s.size()) < kMinSurfacePoints)
    throw FoilError(path, s.back().line,
                    "too few points: the " + std::string(name) + " surface has " + std::to_string(s.size()) +
                        ", the leading edge included; at least " + std::to_string(kMinSurfacePoints) +
                        " are needed");
}

void check_order(const std::string& path, const Points& s, const char* name) {
  for (size_t i = 1; i < s.size(); ++i)
    if (!(s[i].x > s[i - 1].x))
      throw FoilError(path, s[i].line,
                      "points out of order: on the " + std::string(name) + " surface x = " + number(s[i].x) +
                          " follows x = " + number(s[i - 1].x) + " (" + line_text(s[i - 1].line) +
                          "), where x must rise from the leading edge");
}

// Each surface stays on its side of the other.
void check_crossing(const std::string& path, const Points& upper, const Points& lower) {
  const double end = std::min(upper.back().x, lower.back().x);
  for (const auto* side : {&upper, &lower}) {
    const bool is_upper = side == &upper;
    const Points& other = is_upper ? lower : upper;
    for (const GivenPoint& p : *side) {
      if (p.x <= 0.0 || p.x >= end) continue;
      const double apart = (p.z - z_between(other, p.x)) * (is_upper ? 1.0 : -1.0);
      if (apart < -kCrossingTolerance)
        throw FoilError(path, p.line,
                        std::string("surfaces cross: the ") + (is_upper ? "upper surface passes below the lower" :
                                                                          "lower surface passes above the upper") +
                            " at x = " + number(p.x));
    }
  }
  if (upper.back().z < lower.back().z - kCrossingTolerance)
    throw FoilError(path, upper.back().line, "surfaces cross: the upper trailing edge lies below the lower one");
}

// The solver finds its surface angle from x in single precision; points it
// cannot tell apart would stop its spline fit.
void check_angles(const std::string& path, const Points& upper, const Points& lower) {
  for (const auto* side : {&upper, &lower}) {
    const bool lower_side = side == &lower;
    for (size_t i = 1; i < side->size(); ++i) {
      const float before = SurfaceSpline::angle((*side)[i - 1].x, lower_side);
      const float here = SurfaceSpline::angle((*side)[i].x, lower_side);
      if (lower_side ? !(here > before) : !(here < before))
        throw FoilError(path, (*side)[i].line,
                        "x = " + number((*side)[i].x, 9) + " lies too close to the point of " +
                            line_text((*side)[i - 1].line) + " for tarn to tell them apart");
    }
  }
}

void note_spacing_jumps(const Points& s, std::vector<std::string>& notes) {
  size_t found = 0;
  for (size_t i = 2; i < s.size(); ++i) {
    const double before = std::hypot(s[i - 1].x - s[i - 2].x, s[i - 1].z - s[i - 2].z);
    const double here = std::hypot(s[i].x - s[i - 1].x, s[i].z - s[i - 1].z);
    if (here <= kSpacingJump * before && before <= kSpacingJump * here) continue;
    if (++found <= kMostJumps)
      notes.push_back(line_text(s[i].line) + ": spacing jumps from " + number(before) + " to " + number(here) +
                      " at x = " + number(s[i].x, 4));
  }
  if (found > kMostJumps) notes.push_back(std::to_string(found - kMostJumps) + " more spacing jumps");
}

// A round nose rises steeply from the leading edge and the section thins to
// the trailing edge; the other way round the file most likely starts at the
// leading edge, and the section came out back to front.
void note_back_to_front(const Points& upper, const Points& lower, std::vector<std::string>& notes) {
  const auto steepness = [](const GivenPoint& a, const GivenPoint& b) { return std::fabs((b.z - a.z) / (b.x - a.x)); };
  const size_t nu = upper.size(), nl = lower.size();
  const double nose = steepness(upper[0], upper[1]) + steepness(lower[0], lower[1]);
  const double tail = steepness(upper[nu - 2], upper[nu - 1]) + steepness(lower[nl - 2], lower[nl - 1]);
  if (tail > kBackToFront * nose && tail > kBackToFront)
    notes.push_back("the trailing edge is blunter than the leading edge: do the points start at the leading edge? "
                    "(a Selig file starts at the trailing edge)");
}

void coordinates(const Points& s, std::vector<double>& x, std::vector<double>& z) {
  x.clear();
  z.clear();
  for (const GivenPoint& p : s) {
    x.push_back(p.x);
    z.push_back(p.z);
  }
}

// A surface of more points than the solver holds is re-spaced; first the
// points that single precision, in which they were read, no longer tells
// from their neighbour are left out.
void thin_crowded(Points& side, const char* name, std::vector<std::string>& done) {
  if (static_cast<int>(side.size()) <= kMaxSurfacePoints) return;
  Points kept{side.front()};
  for (size_t i = 1; i < side.size(); ++i)
    if (i + 1 == side.size() || std::hypot(side[i].x - kept.back().x, side[i].z - kept.back().z) > kCrowded)
      kept.push_back(side[i]);
  if (kept.size() == side.size()) return;
  done.push_back(std::to_string(side.size() - kept.size()) + " points of the " + name + " surface closer than " +
                 number(kCrowded, 6) + " chord to the point before left out before re-spacing");
  side = kept;
}

// The given contour as a parametric cubic spline x(s), z(s) over the length
// of its polygon (natural end conditions): the curve on which the leading
// edge is found and along which a surface is re-spaced.
class ContourSpline {
 public:
  explicit ContourSpline(const Points& p) : s_(p.size()), x_(p.size()), z_(p.size()) {
    for (size_t i = 0; i < p.size(); ++i) {
      x_[i] = p[i].x;
      z_[i] = p[i].z;
      s_[i] = i == 0 ? 0.0 : s_[i - 1] + std::hypot(p[i].x - p[i - 1].x, p[i].z - p[i - 1].z);
    }
    mx_ = second_derivatives(x_);
    mz_ = second_derivatives(z_);
  }
  double s(size_t i) const { return s_[i]; }
  void at(double t, double& x, double& z) const {
    const size_t hi = std::min<size_t>(
        std::max<size_t>(static_cast<size_t>(std::upper_bound(s_.begin(), s_.end(), t) - s_.begin()), 1),
        s_.size() - 1);
    const size_t lo = hi - 1;
    const double h = s_[hi] - s_[lo], a = (s_[hi] - t) / h, b = (t - s_[lo]) / h;
    const auto value = [&](const std::vector<double>& f, const std::vector<double>& m) {
      return a * f[lo] + b * f[hi] + ((a * a * a - a) * m[lo] + (b * b * b - b) * m[hi]) * h * h / 6.0;
    };
    x = value(x_, mx_);
    z = value(z_, mz_);
  }

 private:
  // Second derivatives of the natural spline through f(s), by the tridiagonal sweep.
  std::vector<double> second_derivatives(const std::vector<double>& f) const {
    const size_t n = s_.size();
    std::vector<double> m(n, 0.0), ratio(n, 0.0), carried(n, 0.0);
    for (size_t i = 1; i + 1 < n; ++i) {
      const double h0 = s_[i] - s_[i - 1], h1 = s_[i + 1] - s_[i];
      const double pivot = 2.0 * (h0 + h1) - h0 * ratio[i - 1];
      ratio[i] = h1 / pivot;
      carried[i] = (6.0 * ((f[i + 1] - f[i]) / h1 - (f[i] - f[i - 1]) / h0) - h0 * carried[i - 1]) / pivot;
    }
    for (size_t i = n - 1; i-- > 1;) m[i] = carried[i] - ratio[i] * m[i + 1];
    return m;
  }
  std::vector<double> s_, x_, z_, mx_, mz_;
};

// Where the leading edge lies on the spline: the smallest x, or, when the
// chord line is to be levelled, the point farthest from the middle of the
// trailing edge (which, levelled, has the smallest x). A golden-section
// search between the neighbours of the given point that is most so.
double leading_edge(const ContourSpline& spline, const Points& p, size_t given, bool derotate, double xte,
                    double zte) {
  const auto measure = [&](double t) {
    double x, z;
    spline.at(t, x, z);
    return derotate ? -std::hypot(x - xte, z - zte) : x;
  };
  double a = spline.s(given - 1), b = spline.s(given + 1);
  const double golden = 0.5 * (std::sqrt(5.0) - 1.0);
  for (int k = 0; k < kSearchSteps && b - a > 1.0e-15 * spline.s(p.size() - 1); ++k) {
    const double t1 = b - golden * (b - a), t2 = a + golden * (b - a);
    if (measure(t1) < measure(t2)) b = t2;
    else a = t1;
  }
  return 0.5 * (a + b);
}

// Points of the surface from the leading edge (parameter sle) to its given
// trailing edge (send), at `count` stations cosine-spaced in x along the
// spline; x on the chord frame's scale through `frame`.
template <typename Frame>
Points respaced(const ContourSpline& spline, double sle, double send, const Points& given, int count,
                const Frame& frame) {
  Points out{given.front()};
  const double xend = given.back().x, pi = std::acos(-1.0);
  for (int j = 1; j + 1 < count; ++j) {
    const double target = xend * 0.5 * (1.0 - std::cos(pi * j / (count - 1)));
    double a = sle, b = send, x = 0.0, z = 0.0;
    for (int k = 0; k < kSearchSteps && a != b; ++k) {
      const double t = 0.5 * (a + b);
      spline.at(t, x, z);
      if (frame(x, z).x < target) a = t;
      else b = t;
    }
    spline.at(0.5 * (a + b), x, z);
    GivenPoint g = frame(x, z);
    g.line = 0;
    out.push_back(g);
  }
  out.push_back(given.back());
  return out;
}

}  // namespace

ChordFrame::ChordFrame(double xle, double zle, double xte, double zte) : x0(xle), z0(zle) {
  const double length = std::hypot(xte - xle, zte - zle);
  c = (xte - xle) / length;
  s = (zte - zle) / length;
}

double ChordFrame::rise() const { return std::atan2(s, c) * 180.0 / std::acos(-1.0); }

Imported normalise(const GivenContour& given, bool derotate) {
  const std::string& path = given.path;
  Imported out;
  Report& r = out.report;
  r.form = given.form;
  r.suspicious = given.suspicious;
  r.done = given.done;

  // A point given twice in a row is kept once.
  Points p, repeats;
  for (const GivenPoint& g : given.points) {
    if (!std::isfinite(g.x) || !std::isfinite(g.z)) throw FoilError(path, g.line, "a coordinate too large to hold");
    if (!p.empty() && g.x == p.back().x && g.z == p.back().z) repeats.push_back(g);
    else p.push_back(g);
  }
  if (static_cast<int>(p.size()) < 2 * kMinSurfacePoints - 1)
    throw FoilError(path, p.empty() ? 0 : p.back().line,
                    "too few points: " + std::to_string(p.size()) + " in all; a section needs at least " +
                        std::to_string(2 * kMinSurfacePoints - 1) + " (" + std::to_string(kMinSurfacePoints) +
                        " a surface, the leading edge shared)");
  if (twice_area(p) < 0.0) {
    std::reverse(p.begin(), p.end());
    r.done.push_back("the points run over the lower surface first: taken the other way round");
  }

  // The leading edge on the spline through the given points.
  const double xte = 0.5 * (p.front().x + p.back().x), zte = 0.5 * (p.front().z + p.back().z);
  size_t given_le = 0;
  for (size_t i = 1; i < p.size(); ++i) {
    const bool more = derotate ? std::hypot(p[i].x - xte, p[i].z - zte) > std::hypot(p[given_le].x - xte, p[given_le].z - zte)
                               : p[i].x < p[given_le].x;
    if (more) given_le = i;
  }
  if (given_le == 0 || given_le + 1 == p.size())
    throw FoilError(path, p[given_le].line,
                    "the points do not run round the section from one trailing edge to the other: the point " +
                        std::string(derotate ? "farthest from the trailing edge" : "of smallest x") +
                        " is an end point (one surface only? do the points start at the leading edge? a Selig "
                        "file starts at the trailing edge)");
  const ContourSpline spline(p);
  // The given point is the leading edge unless the spline reaches clearly beyond it.
  double sle = leading_edge(spline, p, given_le, derotate, xte, zte), xle, zle;
  spline.at(sle, xle, zle);
  const GivenPoint& g = p[given_le];
  const double beyond = derotate ? std::hypot(xle - xte, zle - zte) - std::hypot(g.x - xte, g.z - zte) : g.x - xle;
  const double size = std::hypot(g.x - xte, g.z - zte);
  const auto apart = [&](const GivenPoint& n) {
    return derotate ? std::hypot(g.x - xte, g.z - zte) - std::hypot(n.x - xte, n.z - zte) : n.x - g.x;
  };
  if (beyond < kBeyondGiven * size && apart(p[given_le - 1]) > kBeyondGiven * size &&
      apart(p[given_le + 1]) > kBeyondGiven * size) {
    sle = spline.s(given_le);
    xle = g.x;
    zle = g.z;
  }
  const ChordFrame chord_line(xle, zle, xte, zte);
  r.xle = xle;
  r.zle = zle;
  r.rotation = chord_line.rise();
  r.derotated = derotate;
  // Kept axes: moved along x and scaled; levelled: turned about the leading
  // edge so that the middle of the trailing edge lies on the x axis.
  const ChordFrame frame = derotate ? chord_line : ChordFrame(xle, 0.0, xle + 1.0, 0.0);
  double chord = 0.0;
  for (const GivenPoint& g : p) chord = std::max(chord, frame.along(g.x, g.z));
  const auto placed = [&](double x, double z) { return GivenPoint{frame.along(x, z) / chord, frame.across(x, z) / chord, 0}; };
  r.scale = 1.0 / chord;

  // Both surfaces from the leading edge; given points at it are merged into it.
  const GivenPoint nose = placed(xle, zle);
  Points upper{nose}, lower{nose};
  std::vector<std::string> merged;
  bool given_at_nose = false;
  for (size_t i = 0; i < p.size(); ++i) {
    GivenPoint g = placed(p[i].x, p[i].z);
    g.line = p[i].line;
    const double apart = std::hypot(g.x - nose.x, g.z - nose.z);
    if (apart < kSamePoint) given_at_nose = true;
    else if (apart < kNoseMerge) merged.push_back(line_text(g.line));
    if (apart < kNoseMerge) continue;
    (spline.s(i) < sle ? upper : lower).push_back(g);
  }
  std::reverse(upper.begin() + 1, upper.end());
  if (!merged.empty()) {
    std::string lines;
    if (merged.size() > kMostJumps)
      lines = std::to_string(merged.size()) + " lines, " + merged.front() + " to " + merged.back();
    else
      for (const auto& m : merged) lines += (lines.empty() ? "" : ", ") + m;
    r.done.push_back("leading edge found on the spline through the points at (" + number(xle) + ", " + number(zle) +
                     "); the given point" + (merged.size() > 1 ? "s" : "") + " of " + lines + ", closer than " +
                     number(kNoseMerge, 4) + " chord to it, merged into it");
  } else if (!given_at_nose) {
    r.done.push_back("leading edge found on the spline through the points at (" + number(xle) + ", " + number(zle) +
                     "), between the given points");
  }
  size_t repeated = 0;
  for (const GivenPoint& again : repeats) {
    const GivenPoint at = placed(again.x, again.z);
    if (std::hypot(at.x - nose.x, at.z - nose.z) < kSamePoint)
      r.done.push_back("the leading edge, given twice (" + line_text(again.line) + "), taken once");
    else if (++repeated <= kMostJumps)
      r.suspicious.push_back(line_text(again.line) + " repeats the point before it: taken once");
  }
  if (repeated > kMostJumps)
    r.suspicious.push_back(std::to_string(repeated - kMostJumps) + " more points repeat the point before them");
  r.upper = static_cast<int>(upper.size());
  r.lower = static_cast<int>(lower.size());
  r.gap = std::hypot(upper.back().x - lower.back().x, upper.back().z - lower.back().z);
  check_count(path, upper, "upper");
  check_count(path, lower, "lower");
  for (Points* side : {&upper, &lower}) thin_crowded(*side, side == &upper ? "upper" : "lower", r.done);
  check_order(path, upper, "upper");
  check_order(path, lower, "lower");
  note_back_to_front(upper, lower, r.suspicious);

  // Too few points, or more than the solver holds: re-spaced along the spline.
  for (Points* side : {&upper, &lower}) {
    const int count = static_cast<int>(side->size());
    const int wanted = count < kFewestPoints ? kDensePoints : count > kMaxSurfacePoints ? kMaxSurfacePoints : count;
    const char* name = side == &upper ? "upper" : "lower";
    if (wanted == count) {
      note_spacing_jumps(*side, r.suspicious);
      continue;
    }
    const double send = side == &upper ? spline.s(0) : spline.s(p.size() - 1);
    *side = respaced(spline, sle, send, *side, wanted, placed);
    r.respaced = true;
    r.done.push_back(std::string("the ") + name + " surface of " + std::to_string(count) + " points re-splined to " +
                     std::to_string(wanted) + ", cosine-spaced" +
                     (count < kFewestPoints ? " (fewer than " + std::to_string(kFewestPoints) +
                                                  " leave the mapping too little to follow)"
                                            : " (tarn holds " + std::to_string(kMaxSurfacePoints) + ")"));
  }
  check_order(path, upper, "upper");
  check_order(path, lower, "lower");
  check_crossing(path, upper, lower);
  check_angles(path, upper, lower);

  Section& s = out.section;
  s.title = given.title;
  coordinates(upper, s.xu, s.zu);
  coordinates(lower, s.xl, s.zl);
  const Measures m = measure(s);
  if (!(m.thickness >= kThinnest))
    throw FoilError(path, 0,
                    "the section has no thickness (largest " + number(m.thickness, 6) + " chord): tarn cannot map it");
  return out;
}

SurfaceSpline::SurfaceSpline(const Section& s) {
  for (size_t i = s.xu.size(); i-- > 0;) {
    th_.push_back(angle(s.xu[i], false));
    z_.push_back(static_cast<float>(s.zu[i]));
  }
  for (size_t i = 1; i < s.xl.size(); ++i) {
    th_.push_back(angle(s.xl[i], true));
    z_.push_back(static_cast<float>(s.zl[i]));
  }
  zp_.resize(th_.size());
  zpp_.resize(th_.size());
  zppp_.resize(th_.size());
  SPLIF(1, static_cast<int32_t>(th_.size()), th_.data(), z_.data(), zp_.data(), zpp_.data(), zppp_.data(),
        kGivenSlope, 0.0f, kGivenSlope, 0.0f);
}

float SurfaceSpline::angle(double x, bool lower) {
  const float theta = arc_cosine(2.0f * static_cast<float>(x) - 1.0f);
  return lower ? kTwoPi - theta : theta;
}

void SurfaceSpline::evaluate(const std::vector<float>& theta, std::vector<float>& z,
                             std::vector<float>* slope) const {
  const auto count = static_cast<int32_t>(theta.size());
  z.resize(theta.size());
  if (slope) slope->resize(theta.size());
  spline_evaluate(1, count, theta.data(), z.data(), slope ? slope->data() : nullptr, nullptr, 1,
                  static_cast<int32_t>(th_.size()), th_.data(), z_.data(), zp_.data(), zpp_.data(), zppp_.data());
}

Measures measure(const Section& s) {
  const SurfaceSpline spline(s);
  Measures m;
  const double end = std::min(s.xu.back(), s.xl.back()), pi = std::acos(-1.0);
  std::vector<float> upper, lower, zu, zl;
  std::vector<double> x;
  for (int j = 1; j + 1 < kMeasureStations; ++j) {
    x.push_back(end * 0.5 * (1.0 - std::cos(pi * j / (kMeasureStations - 1))));
    upper.push_back(SurfaceSpline::angle(x.back(), false));
    lower.push_back(SurfaceSpline::angle(x.back(), true));
  }
  spline.evaluate(upper, zu);
  spline.evaluate(lower, zl);
  for (size_t j = 0; j < x.size(); ++j) {
    const double thickness = zu[j] - zl[j], camber = 0.5 * (zu[j] + zl[j]);
    if (thickness > m.thickness) m.thickness = thickness, m.x_thickness = x[j];
    if (std::fabs(camber) > std::fabs(m.camber)) m.camber = camber, m.x_camber = x[j];
  }
  // The nose circle passes through the leading edge (which may lie off the
  // x axis) and both surfaces a little behind it.
  std::vector<float> nose{SurfaceSpline::angle(kNoseStation, false), SurfaceSpline::angle(kNoseStation, true)}, zn;
  spline.evaluate(nose, zn);
  // Its radius is the product of two sides over twice the height on the third (x).
  m.nose_x = kNoseStation;
  const double zle = s.zu.front();
  m.le_radius = std::hypot(kNoseStation, zn[0] - zle) * std::hypot(kNoseStation, zn[1] - zle) / (2.0 * kNoseStation);
  m.gap = std::hypot(s.xu.back() - s.xl.back(), s.zu.back() - s.zl.back());
  return m;
}

}  // namespace tarn::foil
