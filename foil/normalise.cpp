// The section as the solver takes it: unit chord with the leading edge at the
// origin, both surfaces from the leading edge with x rising and apart from
// each other, and no more points a surface than the solver holds; then the
// shape measured on the solver's own surface spline.
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
constexpr size_t kMostJumps = 5;               // spacing jumps listed; the rest are counted
constexpr double kBackToFront = 2.0;           // surface slopes at the trailing edge this much the steeper
constexpr int kMeasureStations = 2001;         // cosine-spaced stations for thickness and camber
constexpr double kNoseStation = 0.0005;        // x where the nose circle meets the surfaces

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

// A surface with more points than the solver holds takes its capacity,
// evenly spaced in the surface angle (cosine-spaced in x) along the spline.
void respace(const SurfaceSpline& spline, std::vector<double>& x, std::vector<double>& z, bool lower) {
  const float le = SurfaceSpline::angle(0.0, lower), te = SurfaceSpline::angle(x.back(), lower);
  const double xte = x.back(), zte = z.back();
  std::vector<float> theta(kMaxSurfacePoints), zs;
  for (int j = 0; j < kMaxSurfacePoints; ++j) theta[j] = le + (te - le) * j / (kMaxSurfacePoints - 1.0f);
  spline.evaluate(theta, zs);
  x.assign(1, 0.0);
  z.assign(1, 0.0);
  for (int j = 1; j + 1 < kMaxSurfacePoints; ++j) {
    x.push_back(0.5 * (1.0 + std::cos(static_cast<double>(theta[j]))));
    z.push_back(zs[j]);
  }
  x.push_back(xte);
  z.push_back(zte);
}

// Finds the leading edge, the point farthest from the middle of the trailing
// edge, and puts the points on its chord line at unit chord; returns its
// index and reports the shift, scale, rotation and trailing-edge gap.
size_t place_on_chord(const std::string& path, Points& p, Report& r) {
  const double xte = 0.5 * (p.front().x + p.back().x), zte = 0.5 * (p.front().z + p.back().z);
  size_t le = 0;
  double farthest = -1.0;
  for (size_t i = 0; i < p.size(); ++i) {
    const double d = std::hypot(p[i].x - xte, p[i].z - zte);
    if (d > farthest) farthest = d, le = i;
  }
  if (le == 0 || le + 1 == p.size())
    throw FoilError(path, p[le].line,
                    "the points do not run round the section from one trailing edge to the other "
                    "(one surface only?): the point farthest from the trailing edge is an end point");
  const ChordFrame frame(p[le].x, p[le].z, xte, zte);
  r.xle = p[le].x;
  r.zle = p[le].z;
  double chord = 0.0;
  for (const GivenPoint& g : p) chord = std::max(chord, frame.along(g.x, g.z));
  for (GivenPoint& g : p) {
    const double along = frame.along(g.x, g.z), across = frame.across(g.x, g.z);
    g.x = along / chord;
    g.z = across / chord;
  }
  r.scale = 1.0 / chord;
  r.rotation = frame.rise();
  r.gap = std::hypot(p.front().x - p.back().x, p.front().z - p.back().z);
  return le;
}

}  // namespace

ChordFrame::ChordFrame(double xle, double zle, double xte, double zte) : x0(xle), z0(zle) {
  const double length = std::hypot(xte - xle, zte - zle);
  c = (xte - xle) / length;
  s = (zte - zle) / length;
}

double ChordFrame::rise() const { return std::atan2(s, c) * 180.0 / std::acos(-1.0); }

Imported normalise(const GivenContour& given) {
  const std::string& path = given.path;
  Imported out;
  Report& r = out.report;
  r.form = given.form;
  r.suspicious = given.suspicious;

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

  const size_t le = place_on_chord(path, p, r);

  Points upper(p.rbegin() + static_cast<long>(p.size() - 1 - le), p.rend());
  Points lower(p.begin() + static_cast<long>(le), p.end());
  if (twice_area(p) < 0.0) {
    std::swap(upper, lower);
    r.done.push_back("the points run over the lower surface first: taken the other way round");
  }
  for (const GivenPoint& again : repeats) {
    if (again.x == r.xle && again.z == r.zle)
      r.done.push_back("the leading edge, given twice (" + line_text(again.line) + "), taken once");
    else
      r.suspicious.push_back(line_text(again.line) + " repeats the point before it: taken once");
  }
  r.upper = static_cast<int>(upper.size());
  r.lower = static_cast<int>(lower.size());
  check_count(path, upper, "upper");
  check_count(path, lower, "lower");
  check_order(path, upper, "upper");
  check_order(path, lower, "lower");
  check_crossing(path, upper, lower);
  check_angles(path, upper, lower);
  note_back_to_front(upper, lower, r.suspicious);
  note_spacing_jumps(upper, r.suspicious);
  note_spacing_jumps(lower, r.suspicious);

  Section& s = out.section;
  s.title = given.title;
  coordinates(upper, s.xu, s.zu);
  coordinates(lower, s.xl, s.zl);
  if (r.upper > kMaxSurfacePoints || r.lower > kMaxSurfacePoints) {
    const SurfaceSpline spline(s);
    if (r.upper > kMaxSurfacePoints) respace(spline, s.xu, s.zu, false);
    if (r.lower > kMaxSurfacePoints) respace(spline, s.xl, s.zl, true);
    r.respaced = true;
  }
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
  // The nose circle passes through the leading edge and both surfaces a
  // little behind it.
  std::vector<float> nose{SurfaceSpline::angle(kNoseStation, false), SurfaceSpline::angle(kNoseStation, true)}, zn;
  spline.evaluate(nose, zn);
  // Its radius is the product of two sides over twice the height on the third (x).
  m.nose_x = kNoseStation;
  m.le_radius = std::hypot(kNoseStation, zn[0]) * std::hypot(kNoseStation, zn[1]) / (2.0 * kNoseStation);
  m.gap = std::hypot(s.xu.back() - s.xl.back(), s.zu.back() - s.zl.back());
  return m;
}

}  // namespace tarn::foil
