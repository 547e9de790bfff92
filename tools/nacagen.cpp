// nacagen: writes a NACA four-digit section in the aerofoil data file format
// of tarn (title; flag, point counts, leading- and trailing-edge x; upper
// surface then lower surface, each from the leading to the trailing edge).
//
//   nacagen 2412 [points per surface] > NACA2412.DAT
//
// The thickness is the standard four-digit distribution with the closed
// trailing edge (last coefficient -0.1036); points are cosine-spaced. The
// thickness is added normal to the chord, not to the camber line, so that x
// stays within 0 ... 1 on both surfaces as the mapping requires.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kDefaultPoints = 101;
constexpr int kMaxPoints = 250;

double thickness(double x, double t) {
  return 5.0 * t *
         (0.2969 * std::sqrt(x) - 0.1260 * x - 0.3516 * x * x + 0.2843 * x * x * x -
          0.1036 * x * x * x * x);
}

double camber(double x, double m, double p) {
  if (m == 0.0) return 0.0;
  if (x < p) return m / (p * p) * (2.0 * p * x - x * x);
  return m / ((1.0 - p) * (1.0 - p)) * ((1.0 - 2.0 * p) + 2.0 * p * x - x * x);
}

int usage() {
  std::fprintf(stderr, "usage: nacagen DIGITS [POINTS]\n"
                       "  DIGITS  four digits, e.g. 0012 or 2412\n"
                       "  POINTS  points per surface, 3 to %d (default %d)\n",
               kMaxPoints, kDefaultPoints);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3 || std::strlen(argv[1]) != 4) return usage();
  for (int c = 0; c < 4; ++c)
    if (argv[1][c] < '0' || argv[1][c] > '9') return usage();
  int n = argc == 3 ? std::atoi(argv[2]) : kDefaultPoints;
  if (n < 3 || n > kMaxPoints) return usage();

  double m = (argv[1][0] - '0') / 100.0;
  double p = (argv[1][1] - '0') / 10.0;
  double t = std::atoi(argv[1] + 2) / 100.0;
  if (t <= 0.0 || (m > 0.0 && (p <= 0.0 || p >= 1.0))) return usage();
  bool symmetric = m == 0.0;

  std::printf("NACA %s (CLOSED TE), %d COSINE-SPACED PTS PER SURFACE\n", argv[1], n);
  std::printf("%d %d %d 0.0 1.0\n", symmetric ? 1 : 0, n, n);
  for (int side = 0; side < (symmetric ? 1 : 2); ++side) {
    double sign = side == 0 ? 1.0 : -1.0;
    for (int j = 0; j < n; ++j) {
      double x = 0.5 * (1.0 - std::cos(M_PI * j / (n - 1)));
      double z = camber(x, m, p) + sign * thickness(x, t);
      if (j == n - 1) z = camber(1.0, m, p);  // closed trailing edge
      std::printf("  %.9e  %.9e\n", x, z);
    }
  }
  return 0;
}
