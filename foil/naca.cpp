// NACA four- and five-digit sections by their published equations: the
// thickness distribution laid off normal to the mean line, in the published
// frame (the mean-line chord along the x axis, so that an incidence is
// measured from it), moved along x and scaled as an import is, so that
// importing it again changes nothing.
#include <cmath>
#include <cstdio>

#include "contour.h"
#include "flow_state.h"

namespace tarn::foil {

namespace {

constexpr double kOpenEdgeTerm = -0.1015;    // x^4 coefficient of the published thickness distribution
constexpr double kClosedEdgeTerm = -0.1036;  // the same, closing the trailing edge
constexpr double kTableLift = 0.3;           // design lift of the five-digit mean-line table
constexpr double kLiftPerDigit = 0.15;       // design lift per unit of the first five-digit digit
constexpr double kCamberStep = 0.05;         // x of the largest five-digit camber per unit of the second digit
constexpr int kScanIntervals = 4000;         // coarse search for the leading edge
constexpr int kRefinements = 200;            // halvings of the leading-edge and station searches

// Five-digit mean lines for design lift 0.3, by the second digit (largest
// camber at 0.05 times it): the end m of the cubic part, k1 and, for the
// reflexed lines (third digit 1), k2/k1.
struct MeanLineTable {
  double m, k1, k2_k1;
};
constexpr MeanLineTable kStandard[] = {
    {0.0580, 361.400, 0.0}, {0.1260, 51.640, 0.0}, {0.2025, 15.957, 0.0}, {0.2900, 6.643, 0.0}, {0.3910, 3.230, 0.0}};
constexpr MeanLineTable kReflexed[] = {{0.0, 0.0, 0.0},  // none with the largest camber at 5 %
                                       {0.1300, 51.990, 0.000764},
                                       {0.2170, 15.793, 0.00677},
                                       {0.3180, 6.520, 0.0303},
                                       {0.4410, 3.191, 0.1355}};

int digit(const std::string& digits, size_t k) { return digits[k] - '0'; }

[[noreturn]] void refuse(const std::string& digits, const std::string& why) {
  throw std::invalid_argument("NACA " + digits + ": " + why);
}

// A point of the contour by the published construction. u runs from -1 (upper
// trailing edge) through 0 (front of the mean line) to 1 (lower trailing
// edge); the mean-line x is u^2, which keeps the contour smooth round the nose.
void contour_point(const Naca& n, double u, double& x, double& z) {
  const double xc = u * u, yt = n.half_thickness(xc), slope = std::atan(n.camber_slope(xc));
  const double side = u < 0.0 ? 1.0 : -1.0;
  x = xc - side * yt * std::sin(slope);
  z = n.camber(xc) + side * yt * std::cos(slope);
}

double x_at(const Naca& n, double u) {
  double x, z;
  contour_point(n, u, x, z);
  return x;
}

// u of the leading edge, the point of smallest x: the best of a scan, then
// a golden-section search between its neighbours.
double leading_edge(const Naca& n) {
  int best = 0;
  double smallest = x_at(n, -1.0);
  for (int j = 1; j <= kScanIntervals; ++j) {
    const double x = x_at(n, -1.0 + 2.0 * j / kScanIntervals);
    if (x < smallest) smallest = x, best = j;
  }
  double a = -1.0 + 2.0 * std::max(best - 1, 0) / kScanIntervals;
  double b = -1.0 + 2.0 * std::min(best + 1, kScanIntervals) / kScanIntervals;
  const double golden = 0.5 * (std::sqrt(5.0) - 1.0);
  for (int k = 0; k < kRefinements && b - a > 1.0e-15; ++k) {
    const double u1 = b - golden * (b - a), u2 = a + golden * (b - a);
    if (x_at(n, u1) < x_at(n, u2)) b = u2;
    else a = u1;
  }
  return 0.5 * (a + b);
}

// The published contour moved along x to put its leading edge at x = 0 and
// scaled to unit length in x; the mean-line chord stays on the x axis, and
// the leading edge lies a little off it.
struct Placement {
  double ule;         // u of the leading edge
  ChordFrame frame;   // level, from the leading edge's x
  double chord;       // length in x of the section
  double turn;        // degrees the line from the leading edge to the middle of the trailing edge lies nose up
};

Placement place(const Naca& n) {
  double x1, z1, x2, z2;
  contour_point(n, -1.0, x1, z1);
  contour_point(n, 1.0, x2, z2);
  const double ule = leading_edge(n);
  double xle, zle;
  contour_point(n, ule, xle, zle);
  const ChordFrame frame(xle, 0.0, xle + 1.0, 0.0);
  const double turn = -ChordFrame(xle, zle, 0.5 * (x1 + x2), 0.5 * (z1 + z2)).rise();
  return {ule, frame, std::max(frame.along(x1, z1), frame.along(x2, z2)), turn};
}

void cosine_stations(int points, std::vector<double>& x, double end) {
  const double pi = std::acos(-1.0);
  x.resize(static_cast<size_t>(points));
  for (int j = 0; j < points; ++j) x[static_cast<size_t>(j)] = end * 0.5 * (1.0 - std::cos(pi * j / (points - 1)));
}

}  // namespace

double Naca::half_thickness(double x) const {
  if (closed && x >= 1.0) return 0.0;  // the coefficients sum to zero there
  const double edge = closed ? kClosedEdgeTerm : kOpenEdgeTerm;
  return 5.0 * t * (0.2969 * std::sqrt(x) + x * (-0.1260 + x * (-0.3516 + x * (0.2843 + x * edge))));
}

double Naca::camber(double x) const {
  if (!five_digit) {
    if (m == 0.0) return 0.0;
    if (x < p) return m / (p * p) * (2.0 * p * x - x * x);
    return m / ((1.0 - p) * (1.0 - p)) * ((1.0 - 2.0 * p) + 2.0 * p * x - x * x);
  }
  const double m3 = m * m * m;
  if (k2_k1 == 0.0) {
    if (x < m) return k1 / 6.0 * (x * x * x - 3.0 * m * x * x + m * m * (3.0 - m) * x);
    return k1 * m3 / 6.0 * (1.0 - x);
  }
  const double cube = (x - m) * (x - m) * (x - m), tail = k2_k1 * (1.0 - m) * (1.0 - m) * (1.0 - m);
  return k1 / 6.0 * ((x < m ? cube : k2_k1 * cube) - tail * x - m3 * x + m3);
}

double Naca::camber_slope(double x) const {
  if (!five_digit) {
    if (m == 0.0) return 0.0;
    const double q = x < p ? p : 1.0 - p;
    return 2.0 * m / (q * q) * (p - x);
  }
  const double m3 = m * m * m;
  if (k2_k1 == 0.0) {
    if (x < m) return k1 / 6.0 * (3.0 * x * x - 6.0 * m * x + m * m * (3.0 - m));
    return -k1 * m3 / 6.0;
  }
  const double square = 3.0 * (x - m) * (x - m), tail = k2_k1 * (1.0 - m) * (1.0 - m) * (1.0 - m);
  return k1 / 6.0 * ((x < m ? square : k2_k1 * square) - tail - m3);
}

double Naca::chord_turn() const {
  if (!five_digit && m == 0.0) return 0.0;
  return place(*this).turn;
}

Naca naca(const std::string& digits, bool closed) {
  Naca n;
  n.digits = digits;
  n.closed = closed;
  if (digits.size() != 4 && digits.size() != 5) refuse(digits, "give four or five digits");
  for (char c : digits)
    if (c < '0' || c > '9') refuse(digits, "give four or five digits");
  n.five_digit = digits.size() == 5;
  n.t = (10 * digit(digits, digits.size() - 2) + digit(digits, digits.size() - 1)) / 100.0;
  if (n.t <= 0.0) refuse(digits, "the last two digits, the thickness in per cent of the chord, must not be 00");
  if (!n.five_digit) {
    n.m = digit(digits, 0) / 100.0;
    n.p = digit(digits, 1) / 10.0;
    if (n.m > 0.0 && n.p == 0.0) refuse(digits, "a cambered section needs the position of its largest camber");
    return n;
  }
  const int lift = digit(digits, 0), position = digit(digits, 1), reflexed = digit(digits, 2);
  if (lift == 0) refuse(digits, "the first digit, the design lift in units of 0.15, must not be 0");
  if (position < 1 || position > 5)
    refuse(digits, "the second digit, the position of the largest camber, must be 1 to 5");
  if (reflexed > 1) refuse(digits, "the third digit must be 0 (standard mean line) or 1 (reflexed)");
  if (reflexed == 1 && position == 1) refuse(digits, "there is no reflexed mean line with its largest camber at 5 %");
  const MeanLineTable& line = (reflexed ? kReflexed : kStandard)[position - 1];
  n.m = line.m;
  n.k1 = line.k1 * lift * kLiftPerDigit / kTableLift;
  n.k2_k1 = line.k2_k1;
  n.p = position * kCamberStep;
  return n;
}

Section naca_section(const Naca& n, int points) {
  if (points < kMinSurfacePoints || points > kMaxSurfacePoints)
    throw std::invalid_argument("points a surface: from " + std::to_string(kMinSurfacePoints) + " to " +
                                std::to_string(kMaxSurfacePoints));
  Section s;
  char title[96];
  std::snprintf(title, sizeof title, "NACA %s (%s TE), %d COSINE-SPACED PTS PER SURFACE", n.digits.c_str(),
                n.closed ? "CLOSED" : "OPEN", points);
  s.title = title;
  if (!n.five_digit && n.m == 0.0) {
    // Symmetric: the mean line is the chord and the nose is at its front.
    cosine_stations(points, s.xu, 1.0);
    for (double x : s.xu) s.zu.push_back(n.half_thickness(x));
    s.xl = s.xu;
    for (double z : s.zu) s.zl.push_back(-z);
    return s;
  }

  const Placement at = place(n);
  const ChordFrame& frame = at.frame;
  const double chord = at.chord, ule = at.ule;
  for (const bool lower : {false, true}) {
    const double uend = lower ? 1.0 : -1.0;
    double xe, ze;
    contour_point(n, uend, xe, ze);
    std::vector<double>& xs = lower ? s.xl : s.xu;
    std::vector<double>& zs = lower ? s.zl : s.zu;
    cosine_stations(points, xs, frame.along(xe, ze) / chord);
    double x0, z0;
    contour_point(n, ule, x0, z0);
    zs.assign(1, frame.across(x0, z0) / chord);
    for (int j = 1; j < points; ++j) {
      // x rises from the leading edge along each branch: halve the interval of u.
      double a = ule, b = uend, x = 0.0, z = 0.0;
      for (int k = 0; k < kRefinements && a != b; ++k) {
        const double u = 0.5 * (a + b);
        contour_point(n, u, x, z);
        if (frame.along(x, z) / chord < xs[static_cast<size_t>(j)]) a = u;
        else b = u;
      }
      contour_point(n, j + 1 == points ? uend : 0.5 * (a + b), x, z);
      zs.push_back(frame.across(x, z) / chord);
    }
  }
  return s;
}

}  // namespace tarn::foil
