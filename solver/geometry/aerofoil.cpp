// The aerofoil as given: the mapping-control records of the run-data file,
// the aerofoil data file, the camber correction and the joined contour with
// its angle parameter and surface spline.
#include <cmath>
#include <string>

#include "file_units.h"
#include "geometry.h"
#include "mapping_steps.h"
#include "units.h"

namespace tarn {

namespace {

const Layout kMappingControl("(5I1, 2I5, 2F10.0)");
const Layout kSubdivision("(2I5)");
const Layout kTitleRecord("(A80)");
const Layout kFacosError("(' FACOS ERROR (', E14.7, ')')");
constexpr int32_t kClosingPair = 1000;     // IEND from which a pair closes the list
constexpr int32_t kSymmetric = 1;          // symmetry flag: lower surface mirrors the upper
constexpr float kFacosLimit = 1.0000009536743164f;
constexpr int32_t kMaxFacosErrors = 1000;
constexpr int kTitleLength = 80;

[[noreturn]] void bad_control(const std::string& why) {
  throw RunStop("mapping-control records of the run-data file: " + why, kExitBadInput);
}

[[noreturn]] void aerofoil_file_error(const std::string& why) {
  Units& u = units();
  u.write_list(kConsoleOut, "***** AEROFOIL DATA FILE ERROR *****");
  u.write_list(kConsoleOut, "***** CHECK DATA IN FILE *****");
  u.write_list(kConsoleOut, "***** PROGRAM TERMINATED *****");
  throw RunStop("aerofoil data file " + u.file_name(kAerofoil) + ": " + why, kExitBadInput);
}

void read_point(float& x, float& z, const char* surface, int32_t index) {
  if (units().read_list_values(kAerofoil, {x, z}) != ReadStatus::kOk)
    throw AerofoilFileError(std::string("missing or bad ") + surface + "-surface point " + std::to_string(index));
}

void check_point_count(int32_t count, const char* surface) {
  if (count < 2 || count > kMaxSurfacePoints)
    throw AerofoilFileError(std::to_string(count) + " " + surface + "-surface points: from 2 to " +
                            std::to_string(kMaxSurfacePoints) + " are accepted");
}

}  // namespace

float FACOS(FlowState& fs, float x) {
  if (std::fabs(x) > kFacosLimit) {
    units().write(kListing, kFacosError, x);
    if (++fs.map.NFACOS >= kMaxFacosErrors)
      throw RunStop(std::to_string(kMaxFacosErrors) + " FACOS errors: check the aerofoil geometry", kExitFailure);
  }
  return arc_cosine(x);
}

void read_mapping_control(FlowState& fs) {
  Mapping& map = fs.map;
  MappingWork& w = map.WORK;
  int32_t unused = 0;
  units().read(kRunData, kMappingControl, map.IPRT(1), map.IPRT(2), map.IPRT(3), map.IPRT(4), map.IPRT(5),
               map.MAXIT, unused, map.STOL, map.CTOL);
  if (map.MAXIT < 1)
    bad_control("the maximum number of mapping iterations is " + std::to_string(map.MAXIT) +
                "; it must be at least 1");
  w.NPAIR = 0;
  for (;;) {
    int32_t iend = 0, nsub = 0;
    units().read(kRunData, kSubdivision, iend, nsub);
    if (nsub < 1)
      bad_control("subdivision pair (" + std::to_string(iend) + ", " + std::to_string(nsub) +
                  ") asks for fewer than 1 sub-interval");
    ++w.NPAIR;
    w.IEND(w.NPAIR) = iend;
    w.NSUB(w.NPAIR) = nsub;
    if (iend >= kClosingPair) return;
    if (w.NPAIR == kMaxSubdivisions)
      bad_control("more than " + std::to_string(kMaxSubdivisions) +
                  " subdivision pairs: the list must close with an end index of 1000 or more");
  }
}

ChordLine read_aerofoil_file(MappingWork& w, std::string& title) {
  Units& u = units();
  std::string text;
  if (u.read_values(kAerofoil, kTitleRecord, {text}) != ReadStatus::kOk) throw AerofoilFileError("no title record");
  text.resize(kTitleLength, ' ');
  title = text;

  int32_t symmetry = 0, nu = 0, nl = 0;
  ChordLine chord{0.0f, 0.0f};
  if (u.read_list_values(kAerofoil, {symmetry, nu, nl, chord.xle, chord.xte}) != ReadStatus::kOk)
    throw AerofoilFileError("missing or bad counts record");
  if (symmetry == kSymmetric) nl = nu;
  check_point_count(nu, "upper");
  check_point_count(nl, "lower");
  if (!(chord.xte != chord.xle)) throw AerofoilFileError("leading-edge x equals trailing-edge x");

  // Upper surface trailing edge first, then the lower surface from its second point.
  w.NU = nu;
  w.NC = nu + nl - 1;
  for (int32_t i = 1; i <= nu; ++i) read_point(w.XC(nu + 1 - i), w.ZC(nu + 1 - i), "upper", i);
  if (symmetry == kSymmetric) {
    for (int32_t i = 2; i <= nl; ++i) {
      w.XC(nu + i - 1) = w.XC(nu + 1 - i);
      w.ZC(nu + i - 1) = -w.ZC(nu + 1 - i);
    }
  } else {
    float xle = 0.0f, zle = 0.0f;  // the shared leading-edge point, already given by the upper surface
    read_point(xle, zle, "lower", 1);
    for (int32_t i = 2; i <= nl; ++i) read_point(w.XC(nu + i - 1), w.ZC(nu + i - 1), "lower", i);
  }
  return chord;
}

ChordLine read_aerofoil(FlowState& fs) {
  if (!units().is_open(kAerofoil))
    throw RunStop("geometry step in a run that has no aerofoil data file (a continuation run)", kExitBadInput);
  try {
    return read_aerofoil_file(fs.map.WORK, fs.run.AEROTITLE);
  } catch (const AerofoilFileError& error) {
    aerofoil_file_error(error.what());
  }
}

void correct_camber(FlowState& fs, float emc, float cn, float delta1, float ch) {
  if (cn == 0.0f) return;
  if (!(std::fabs(emc) < 1.0f))
    throw RunStop("camber correction asked for at EM = " + std::to_string(emc) + ": the Mach number must be below 1",
                  kExitBadInput);
  MappingWork& w = fs.map.WORK;
  const float kc = (delta1 / std::sqrt(1.0f - emc * emc)) * 0.5f * ch * ch * cn;
  for (int32_t i = 1; i <= w.NC; ++i) w.ZC(i) += kc * w.XC(i) * (1.0f - w.XC(i));
}

void prepare_contour(FlowState& fs, const ChordLine& chord) {
  MappingWork& w = fs.map.WORK;
  const float scale = 1.0f / (chord.xte - chord.xle);
  for (int32_t i = 1; i <= w.NC; ++i) {
    w.XC(i) = (w.XC(i) - chord.xle) * scale;
    w.ZC(i) = w.ZC(i) * scale;
    // x = (1 + cos theta)/2 round the whole contour, theta = 0 at the upper trailing edge.
    w.TH(i) = FACOS(fs, 2.0f * w.XC(i) - 1.0f);
    if (i > w.NU) w.TH(i) = kTwoPi - w.TH(i);
  }
  SPLIF(1, w.NC, w.TH.v, w.ZC.v, w.ZP.v, w.ZPP.v, w.ZPPP.v, kGivenSlope, 0.0f, kGivenSlope, 0.0f);
  w.XFIRST = w.XC(1);
  w.ZFIRST = w.ZC(1);
  w.XLAST = w.XC(w.NC);
  w.ZLAST = w.ZC(w.NC);
}

}  // namespace tarn
