// The steps of the geometry and mapping operation, in the order it calls
// them, and the helpers they share. Private to this folder.
#pragma once

#include <complex>
#include <cstdint>

#include "flow_state.h"
#include "geometry.h"

namespace tarn {

using Complex = std::complex<float>;

// A view of an array indexed from 1.
template <typename T>
struct From1 {
  T* p;
  T& operator()(int32_t i) const { return p[i - 1]; }
};

// Arc-cosine of the geometry step: arguments beyond [-1, 1] by more than
// rounding are listed as FACOS errors, and the run stops at the 1000th.
float FACOS(FlowState& fs, float x);

// Mapping-control records and subdivision pairs from the run-data file.
void read_mapping_control(FlowState& fs);

// Aerofoil data file (unit 17) into the joined contour and the title; a file
// that cannot be read stops the run with its own console lines.
ChordLine read_aerofoil(FlowState& fs);
// Adds the camber correction KC x (1 - x) to the file coordinates.
void correct_camber(FlowState& fs, float emc, float cn, float delta1, float ch);
// Unit chord, the surface angle parameter and the surface spline z(theta).
void prepare_contour(FlowState& fs, const ChordLine& chord);
// Densified surface, the table of slopes and the mapping table with its spline.
void build_mapping_table(FlowState& fs);

// Transform tables for length m (prime factors, cosines and sines).
void prepare_transform(TransformTables& t, int32_t m);
// In-place complex transform of z(1 ... M): sign +1 sums z exp(+i 2 pi (m-1)(k-1)/M),
// sign -1 the inverse without scaling. work holds M values.
void complex_transform(const TransformTables& t, Complex* z, Complex* work, int sign);

// The analytic series of the mapping on the circle. Its imaginary part (the
// argument) is a real sequence of N values whose transform is held packed in
// M = N/2 complex values; rot = exp(i phi_m), phi_m = (m - 1) 2 pi / N.
// Packs f(1 ... N) as z_m = f(2m - 1) + i f(2m).
void pack_series(const float* f, Complex* z, int32_t mm);
// Series coefficient of zeta^-(m - 1) from the packed harmonics (scaled by 2/N).
Complex series_coefficient(const Complex* z, int32_t m, int32_t mm, Complex rot);
// The reverse: packed harmonics of the argument from the coefficients b.
Complex packed_harmonics(const Complex* b, int32_t m, int32_t mm, Complex rot);
// Argument sequence f(1 ... N + 1) from an inverse transform, f(N + 1) = f(1).
void unpack_series(const Complex* y, float* f, int32_t mm);
// Log-modulus sequence c(1 ... N + 1) from the inverse transform of the
// harmonics turned by exp(-i phi_m): c(2m) = -Im y_m, c(2m + 1) = Re y_m.
void unpack_conjugate(const Complex* y, float* c, int32_t mm);

// Argument of the trailing-edge factor (1 - 1/zeta)^(1 - eps) on the circle.
inline float corner_argument(float phi, float eps) { return (kPi - phi) * (1.0f - eps) / 2.0f; }
// MAP ARG from the argument of the mapping derivative at grid angle theta.
inline float map_argument(float arg, float theta) { return arg + kPi - 2.0f * theta; }
// Direction of the grid circle through a node, from MAP ARG.
inline float circle_direction(float maparg, float theta) { return kPi / 2.0f + maparg + theta; }

// Mapping passes: the modulus and argument series on the circle.
void map_to_circle(FlowState& fs);
// Modulus, argument and coordinates on every grid circle, the metric, the
// surface quantities, the mapping listing and the grid-data file.
void map_grid(FlowState& fs);

}  // namespace tarn
