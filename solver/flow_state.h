// The program-wide flow state of the solver: every quantity that lives for
// the whole run, in fixed-size arrays dimensioned for the finest mesh
// (160 grid lines round the aerofoil, 30 radial intervals). Nothing is
// allocated during a run. Arrays are indexed from 1 as the physics is
// written: P(i, k) with i round the circle and k outward.
#pragma once

#include <complex>
#include <cstdint>
#include <string>

namespace tarn {

// Capacities.
constexpr int kMaxRound = 162;     // N + 2 round indices for N = 160
constexpr int kMaxRadial = 31;     // MR + 1 radial indices for MR = 30
constexpr int kMaxGridLines = 160;
constexpr int kRadialTable = 41;   // length of the radial tables s, s^2, r
constexpr int kWake = 32;          // wake points k = 1 ... MR + 1
constexpr int kMaxStations = 170;  // boundary-layer stations per surface
constexpr int kMaxMonitors = 5;    // shock stations watched by the boundary layer
constexpr int kMaxShocks = 3;      // shocks sought on one surface by the wave-drag step
constexpr int kMapWork = 162;      // circle points of the conformal mapping (N + 1)
constexpr int kMaxSurfacePoints = 250;  // aerofoil data points per surface
constexpr int kMaxContour = 500;        // joined contour and mapping table
constexpr int kMaxSubdivisions = 50;
constexpr int kMaxTransform = kMaxGridLines / 2 + 1;  // M = N/2 transform points, plus the last series term
constexpr int kMaxFactors = 8;          // prime factors of the transform length M

// Physical and numerical constants.
constexpr float kPi = 3.1415927f;
constexpr float kTwoPi = 2.0f * kPi;
constexpr float kDegPerRad = 57.29578f;
constexpr float kGamma = 1.4f;
constexpr float kGammaTerm = (kGamma - 1.0f) / 2.0f;  // (gamma - 1)/2 = 0.2

// A vector indexed from 1.
template <typename T, int N>
struct Vec {
  T v[N] = {};
  T& operator()(int i) { return v[i - 1]; }
  const T& operator()(int i) const { return v[i - 1]; }
  static constexpr int size() { return N; }
};
template <int N>
using RVec = Vec<float, N>;
template <int N>
using IVec = Vec<int32_t, N>;

// A table of columns indexed from 1, each column contiguous: A(row, col).
template <int Rows, int Cols>
struct Columns {
  float v[Cols][Rows] = {};
  float& operator()(int r, int c) { return v[c - 1][r - 1]; }
  const float& operator()(int r, int c) const { return v[c - 1][r - 1]; }
  float* column(int c) { return v[c - 1]; }
  static constexpr int rows() { return Rows; }
};

// A circle-plane field: F(i, k), round index i fastest.
using Field = Columns<kMaxRound, kMaxRadial>;

struct FlowState;
// A test asked after each sweep of an iteration stage, which ends the stage
// once it holds, before the NS sweeps of the record are done.
using StageStop = bool (*)(const FlowState&);

// Run control: the driver's values and the records that steer it.
struct RunControl {
  int32_t NS = 400;       // first field of the current iteration record
  int32_t ITYP = 0;       // second field; also the print level of the results
  int32_t IVP = 0;        // viscous switch, absolute value (0 inviscid)
  int32_t IVPSIGNED = 0;  // IVP as read: negative selects the high-HBAR entrainment law
  int32_t ICL = 0;        // 1: a required lift coefficient is to be reached
  float CLC = 0.0f;       // required lift coefficient
  float RFA = 0.1f;       // relaxation factor of the incidence change
  float ALP0 = 0.0f;      // incidence at the last lift-targeting update (radians in a step)
  int32_t IPRINT = 0;     // final-print flag read by the results operation
  float TOL = 0.0f;       // convergence tolerance of the stage
  int32_t NFIELD = 0;     // potential iterations done on the present field
  int32_t OPT1 = 0, OPT2 = 0;  // viscous-options words carried in the dump
  int32_t NP = 0, NB = 0;      // bounds carried with the mesh
  int32_t MACHCHANGED = 0;     // 1 after the gas constants were re-formed
  int32_t ITERTOTAL = 0;       // running total of potential iterations (console)
  float EMC = 0.0f, CN = 0.0f, DELTA1 = 0.1309f, CH = 0.26f;  // camber correction
  std::string TITLE;           // run title (68 characters)
  std::string AEROTITLE;       // aerofoil data file title (80 characters)
  StageStop STAGESTOP = nullptr;  // set by a study; a run of tarn keeps the records' counts
};

// Gas constants of the free stream (gamma = 1.4).
struct Gas {
  float EM = 0.75f;      // free-stream Mach number
  float EMPREV = 1.0f;   // EM for which the constants were last formed
  float QSTAR2 = 0.0f;   // critical speed squared, (5/6) A0
  float A0 = 0.0f;       // 1/EM^2 + (gamma - 1)/2: speed of sound squared at rest, scaled
  float G1 = kGammaTerm; // (gamma - 1)/2
  float A1 = 0.0f;       // 1 + G1 EM^2
  float CPF = 0.0f;      // 2/(gamma EM^2)
  float A2 = 0.0f;       // G1 EM^2
  float A2CPF = 0.0f;    // 1/(A2 CPF)
  float BETA = 0.0f;     // sqrt(1 - EM^2)
  float GAMMA = kGamma;
};

// Circle-plane grid and the difference constants shared by the solver.
struct Grid {
  int32_t NSG = 160;   // N, grid lines round the aerofoil
  int32_t N1 = 161;    // N + 1
  int32_t N2 = 162;    // N + 2
  int32_t MR = 30;     // radial intervals ("K =")
  int32_t MR1 = 31;    // MR + 1
  int32_t NHALF = 81;  // m = (N + 2)/2, the leading-edge line
  int32_t NHALF2 = 83; // m + 2
  float PI = kPi, RAD = kDegPerRad, TWOPI = kTwoPi, RTWOPI = 1.0f / kTwoPi;
  float DTH = 0.0f;     // delta theta = 2 pi / N
  float DS = 0.0f;      // delta s = -1/MR
  float R2DTH = 0.0f;   // 1/(2 delta theta)
  float R2DS = 0.0f;    // 1/(2 delta s)
  float DTHDS = 0.0f;   // delta theta / delta s
  float DTHDS2 = 0.0f;  // (delta theta / delta s)^2
  float CROSS = 0.0f;   // -delta theta / (2 delta s)
  float MGRAD = 0.0f;   // -delta theta / 4
  float DTH2 = 0.0f;    // delta theta^2
  float DTH2DS = 0.0f;  // delta theta^2 / (2 delta s)
  float TRANSFER = 0.0f;  // transfer factor of the last mesh change (2 or 0.5)
  RVec<kRadialTable> RT;  // s_k = 1/r_k
  RVec<kRadialTable> RS;  // s_k^2
  RVec<kRadialTable> R;   // r_k
  RVec<kMaxRound> COS;    // cos theta_i, turned by the effective incidence
  RVec<kMaxRound> SIN;    // sin theta_i, turned by the effective incidence
  RVec<kMaxRound> FF;     // far-field vortex shape
  float ALPPREV = 0.0f;   // incidence (radians) for which the tables were last turned
  float CA = 1.0f, SA = 0.0f;  // cosine and sine of the last turn / of the effective incidence
  float FFRUN = -4.0f;    // running value of the far-field shape
};

// Tables of the complex transform of length M (the mapping's half-length series).
struct TransformTables {
  int32_t M = 0;                    // transform length
  int32_t NFACT = 0;                // number of prime factors of M
  IVec<kMaxFactors> FACTOR;         // prime factors of M, smallest first
  RVec<kMaxTransform> TCOS, TSIN;   // cos and sin of (m - 1) 2 pi / M, m = 1 ... M
};

// Working arrays of the geometry step: the aerofoil contour and its spline,
// the subdivision list, the mapping table, the circle-plane series of the
// mapping passes and the integrands of the grid coordinates.
struct MappingWork {
  int32_t NC = 0;                   // points on the joined contour
  int32_t NU = 0;                   // of which on the upper surface (the leading edge included)
  RVec<kMaxContour> XC, ZC;         // joined contour, upper trailing edge round to lower
  RVec<kMaxContour> TH;             // surface angle parameter, 0 ... 2 pi
  RVec<kMaxContour> ZP, ZPP, ZPPP;  // dz/dtheta and its derivatives from the surface spline
  int32_t NPAIR = 0;                // subdivision pairs, the closing one included
  IVec<kMaxSubdivisions> IEND, NSUB;  // interval end index and sub-intervals of each pair
  int32_t NT = 0;                   // entries of the mapping table
  RVec<kMaxContour> ST;             // arc length, then arccos(1 - 2 S / S total)
  RVec<kMaxContour> DIR, DIRP, DIRPP, DIRPPP;  // surface direction and its spline derivatives
  float STOTAL = 0.0f;              // total arc length of the contour
  float XFIRST = 0.0f, ZFIRST = 0.0f;  // upper trailing-edge point
  float XLAST = 0.0f, ZLAST = 0.0f;    // lower trailing-edge point
  RVec<kMapWork> PHI, COSPHI, SINPHI;  // circle angle phi_j = (j - 1) 2 pi / N, its cosine and sine
  RVec<kMapWork> FTE;               // trailing-edge factor (2 sin(phi/2))^(1 - eps)
  RVec<kMapWork> ATE;               // argument term of the trailing-edge factor and the tangent
  RVec<kMapWork> C;                 // log-modulus series
  RVec<kMapWork> G, GP, GPP, GI;    // unscaled modulus, its spline derivatives and running integral
  RVec<kMapWork> U;                 // arc-cosine parameter of each circle point on the contour
  RVec<kMapWork> S;                 // arc length of each circle point, last pass
  RVec<kMapWork> BETA;              // required argument series
  RVec<kMapWork> THG;               // grid angle theta_i
  RVec<kMapWork> W1, W2;            // spline work values
  RVec<kMapWork> FX, FZ;            // round derivatives of x and z on a grid circle
  RVec<kMaxRadial> RAYX, RAYZ, RAYI;  // radial derivatives of x and z behind the trailing edge, their integral
  Vec<std::complex<float>, kMaxTransform> Z, ZKEEP, ZWORK;  // harmonics of the argument, their kept copy, transform work
  Vec<std::complex<float>, kMaxTransform> BP;   // series coefficients scaled to a grid circle
  Vec<std::complex<float>, kMaxTransform> Y, YP;  // harmonics of argument and log-modulus on a grid circle
  TransformTables TT;               // transform tables for M = N/2
};

// Conformal mapping results handed to the flow solver and the results.
struct Mapping {
  float SIGMA = 1.0f;    // mapping scale: integrated modulus over total arc length
  float RSIGMA = 1.0f;   // 1/sigma
  float EPS = 0.0f;      // trailing-edge angle over pi
  float HALFEXP = 0.5f;  // (1 - eps)/2
  float ROT = 0.0f;      // rotation of the zero-incidence direction (radians)
  float CALP = 1.0f, SALP = 0.0f;  // cosine and sine of ALP + ROT at the mapping
  Columns<kMaxRound, 2> XZ;  // surface point (x, z) per round index, unit chord
  RVec<kMaxRound> ANGLE;     // surface direction per round index
  RVec<kMaxRound> Q;         // surface modulus sigma * MAP MOD(i, 1)
  RVec<100> B1, B2;          // mapping series coefficients B_m (real, imaginary parts), B2(1) = -ROT
  Field MAPMOD;              // mapping modulus MAP MOD(i, k), k = 1 ... MR
  Field MAPARG;              // mapping argument MAP ARG(i, k), k = 1 ... MR
  Field XG, ZG;              // grid node coordinates X(i, k), Z(i, k) in the normalised aerofoil scale
  IVec<5> IPRT;              // print-control flags: 1 geometry table, 2 mapping table (0 = print)
  int32_t MAXIT = 30;        // maximum number of mapping iterations
  float STOL = 1.0e-6f;      // tolerance on MAX S ERROR
  float CTOL = 100.0f;       // tolerance on the closure error
  int32_t NITER = 0;         // mapping iterations done
  float SERR = 0.0f;         // MAX S ERROR of the last mapping iteration
  float CLOSURE = 0.0f;      // closure error of the last harmonic correction
  float OUTLINE = 0.0f;      // largest distance of the mapped surface from the contour (chord units)
  int32_t NFACOS = 0;        // arc-cosine arguments out of range so far in the run
  MappingWork WORK;          // working arrays of the geometry step
};

// Relaxation: the potential, the metric and the sweep's working values.
struct Potential {
  Field P;               // perturbation potential P(i, k)
  Field H;               // metric H(i, k)
  float GAM = 0.0f;      // circulation
  float F = 1.0f;        // circulation relaxation factor (0 holds the circulation)
  float DGHELD = 0.0f;   // held circulation value
  float CLEST = 0.0f;    // lift estimate 2 gamma / sigma of the last iteration
  float RESMAX = 0.0f;   // largest correction of the last sweep
  int32_t IRES = 0, KRES = 0;  // its location
  float XS = 1.9f, XM = 1.0f;  // over- and under-relaxation parameters
  float EP = 0.0f, QCP = 0.5f; // artificial viscosity and partially-conservative parameters
  float EP2 = 2.0f, EP1 = 1.0f, EP31 = 1.0f, EP32 = 2.0f, EP21 = 2.0f;  // EP stencil weights
  float RELA = 0.0f, RELB = 0.0f;  // relaxation-factor line omega = RELA q^2 + RELB
  RVec<kMaxRound> WORK;            // sweep work line, also the shuffle buffer
  Columns<40, 6> LINE;             // radial work arrays of a line solve
};

// Surface and wake results of the results operation.
struct Results {
  RVec<kMaxRound> X, Y;    // surface point coordinates (chord units)
  RVec<kMaxRound> QSQ;     // squared surface speed
  RVec<kMaxRound> QS;      // surface speed
  RVec<kMaxRound> PH;      // P/P0 at surface points
  RVec<kMaxRound> EMLS;    // local Mach number at surface points
  RVec<kMaxRound> CP;      // pressure coefficient at surface points
  RVec<kWake> XW;          // x of the wake points
  RVec<kWake> QWU, QWL;    // squared wake speed, upper and lower side
  RVec<kWake> PHU, PHL;    // P/P0 on the upper and lower side of the wake
  RVec<kWake> CPU, CPL;    // wake pressure coefficients
  Columns<kWake, 4> WK;    // wake table: speed/Mach upper, speed/Mach lower
  float CL = 0.0f, CM = 0.0f, CDP = 0.0f;  // lift, moment (quarter chord), pressure drag
  float CD1 = 0.0f, CD2 = 0.0f;            // wave drag, first-order and improved
  float FX = 0.0f, FY = 0.0f;              // force sums
  float CPTE = 0.0f;                       // mean trailing-edge pressure coefficient
};

// Viscous-inviscid coupling.
struct Coupling {
  RVec<kMaxRound> TAW1, TAW2;   // relaxed transpiration velocity and its round derivative
  RVec<kMaxRound> DQK, DQKOLD;  // relaxed surface curvature correction, previous value
  RVec<kMaxRound> QKA;          // surface curvature term
  RVec<kMaxRound> DSS, THS;     // displacement and momentum thickness at surface points
  RVec<kMaxRound> RHO;          // density over stagnation density at surface points
  int32_t ISURF = 0;    // surface marker: 0 until the first surface update, then NP
  int32_t IWAKE = 0;    // wake marker: 0 until the first wake update, then NW
  int32_t ICOUNT = 0;   // qualifying iterations since the last update
  int32_t ITHRESH = 10; // count that triggers the next update
  int32_t IWORK1 = 0, IWORK2 = 0;  // further coupling integers carried in the dump
  float CHANGE = 0.0f;  // transpiration-change measure of the last update
  float GVISC = 0.15f;  // relaxation factor of the update
  int32_t NVISC = 5;    // potential iterations between updates
  int32_t FIRSTN = 10;  // iterations before the first update
  float VTOL = 0.0025f; // threshold on the transpiration-change measure
  int32_t IVPRINT = 1;  // viscous print level: 0 none, 1 final results, 2 also the tables
  int32_t ISMOOTH = 0;  // trailing-edge treatment switch
  float LB = 0.05f;     // base-closure length of the wake
  float DD21 = 0.0f, DD22 = 0.0f;  // momentum-thickness increments at transition
  float R = 6.0e6f;     // Reynolds number based on chord
  float XTU = 0.05f, XTL = 0.05f;  // transition positions (trips with free transition)
  float NCRIT = 0.0f;   // critical amplification factor of free transition; 0: transition at XTU, XTL
  float CDF = 0.0f, CDV = 0.0f;    // skin-friction drag, viscous drag
  float CLV = 0.0f;     // lift coefficient of the last update
  float ALPOLD = 0.0f;  // incidence before the last lift-targeting step
  float THETAEND[2] = {0.0f, 0.0f};
  int32_t NMAX = 0;     // larger of the two station counts
  // Adaptive relaxation, asked by a study for its own runs (neither dumped
  // nor read from the run data): each update's factor follows the last two
  // transpiration residuals, never below GVISC.
  int32_t IADAPT = 0;     // 1: adaptive factor; 0: GVISC at every update
  float OMEGA = 0.0f;     // factor of the last update of the stage (0 before its first)
  RVec<kMaxRound> RLAST;  // residual of the last update: new TAW1 less the relaxed one
  // Wake thicknesses of the two sides. Within a wake update WDS holds the
  // displacement thickness; after it, the relaxed curvature jumps that the
  // results add to the wake speeds (DQW1, DQW2 below), so that the dump and
  // the mesh transfer carry the jumps with WDS.
  Columns<kWake, 2> WDS, WTH;
  Columns<kWake, 2> WDOLD;     // previous relaxed curvature jumps
  Columns<kWake, 2> BT;        // trailing-edge thickness share per wake side
  Columns<kWake, 2> WKOLD;     // previous relaxed SIGMA1, SIGMA2
  Columns<kWake, 4> SIG;       // relaxed wake terms SIGMA1, SIGMA2, SIGMA3 (and a spare column)
  RVec<kWake> QKW1, QKW2;      // wake streamline-curvature terms, upper and lower side
  RVec<2 * kWake> WAKEWORK;    // wake work array of the wake terms
  // Relaxed curvature jumps of the upper and lower wake side, kept in WDS.
  float DQW1(int k) const { return WDS(k, 1); }
  float DQW2(int k) const { return WDS(k, 2); }
};

// Boundary-layer station tables (surface 1 upper, 2 lower) and case values.
struct BoundaryLayer {
  Columns<kMaxStations, 2> X, Y;       // station coordinates
  Columns<kMaxStations, 2> PM;         // P/H in, local Mach number out
  Columns<kMaxStations, 2> THETA;      // momentum thickness
  Columns<kMaxStations, 2> DELSTAR;    // displacement thickness
  Columns<kMaxStations, 2> CF;         // skin-friction coefficient
  int32_t N[2] = {0, 0};       // station counts after insertion
  int32_t ITR[2] = {0, 0};     // transition stations
  int32_t ITE[2] = {0, 0};     // trailing-edge stations
  int32_t INSERTED[2] = {0, 0};  // 1 when a transition station was inserted
  float XT[2] = {0.0f, 0.0f};    // x at which transition was placed in the last calculation
  // Free transition: the position taken at the last calculation (0 before
  // the first), why it lies there, the amplification factor reached, the
  // share of a predicted movement taken and the last movement predicted.
  float XTFREE[2] = {0.0f, 0.0f};
  int32_t TRCAUSE[2] = {0, 0};   // a TransitionCause
  float NTR[2] = {0.0f, 0.0f};
  float TRRELAX[2] = {1.0f, 1.0f};
  float TRMOVE[2] = {0.0f, 0.0f};
  // Work arrays of the surface being calculated.
  RVec<kMaxStations + 1> M, S, UE, DUE, TR, RU;
  float T0R = 1.0f;   // total over free-stream static temperature
  float SL = 0.0f;    // laminar Sutherland constant over free-stream static temperature
  float PINF = 1.0f;  // free-stream static over total pressure
  // Trailing-edge monitors and the station monitor list, with once-per-run flags.
  float DTE = 0.0f, HTE = 0.0f, X96 = 0.0f, H96 = 0.0f, X94 = 0.0f, H94 = 0.0f;
  int32_t KMON = 0;                       // number of monitored stations
  RVec<kMaxMonitors> XK, AK, TK;          // position, Mach ahead of the shock, THETA
  int32_t ONCE[8] = {0, 0, 0, 0, 0, 0, 0, 0};  // 5 station monitors, then DTE, X96, X94
  int32_t HBARMAX = 0, HBARMIN = 0;       // pending HBAR limit messages
};

// What a program judging the run from outside (the study program) needs and
// the listings print only rounded: the histories of the present iteration
// stage and the coefficients of the last summary. The solver writes them and
// never reads them; they are not part of the flow-field dump. Each history
// keeps its latest kMonitorHistory entries, entry n at slot(n).
constexpr int kMonitorHistory = 64;
struct Monitor {
  static int slot(int32_t n) { return (n - 1) % kMonitorHistory + 1; }
  int32_t STAGES = 0;            // iteration stages begun in the run
  int32_t NSG = 0;               // grid lines of the present stage
  int32_t SWEEPS = 0;            // sweeps made in the present stage
  RVec<kMonitorHistory> RES;     // largest correction of each sweep
  RVec<kMonitorHistory> CLEST;   // lift estimate formed before each sweep
  int32_t UPDATES = 0;           // boundary-layer updates after a sweep in the present stage
  RVec<kMonitorHistory> CHANGE;  // transpiration-change measure of each update
  RVec<kMonitorHistory> CLV;     // lift coefficient of each update
  RVec<kMonitorHistory> CDVU;    // viscous drag coefficient 2 (THETA upper + THETA lower) at each update
  RVec<kMonitorHistory> CDPU;    // pressure drag coefficient at each update
  RVec<kMonitorHistory> CD2U;    // wave drag coefficient 2 of the shocks at each update
  RVec<kMonitorHistory> XTRU, XTRL;  // transition x on the upper and lower surface at each update
  RVec<kMonitorHistory> ALPU;    // incidence (degrees) at each update, before any lift-targeting step
  float XTR[2] = {0.0f, 0.0f};   // transition x of the last boundary-layer calculation
  // Shocks found by the last wave-drag step: their number and x on the upper
  // (column 1) and lower (column 2) surface, in increasing point index.
  int32_t NSHOCK[2] = {0, 0};
  Columns<kMaxShocks, 2> XSHOCK;
  int32_t NPRES = 0;             // surface points of the last results formed (NSG + 1 of their mesh)
  // Coefficients of the last summary printed, at full precision.
  int32_t SUMMARIES = 0;         // summaries printed in the run
  float EM = 0.0f, ALP = 0.0f;   // Mach number and incidence (degrees) of the summary
  float CL = 0.0f, CM = 0.0f, CDP = 0.0f, CDF = 0.0f, CDV = 0.0f, CD1 = 0.0f, CD2 = 0.0f;
};

struct FlowState {
  RunControl run;
  Gas gas;
  Grid grid;
  Mapping map;
  Potential pot;
  Results res;
  Coupling cpl;
  BoundaryLayer bl;
  Monitor mon;
  float ALP = 0.0f;  // incidence: degrees between steps, radians within a step
};

// Monitor entries, written where the histories and the summaries are.
inline void monitor_stage(FlowState& fs) {
  Monitor& m = fs.mon;
  ++m.STAGES;
  m.NSG = fs.grid.NSG;
  m.SWEEPS = m.UPDATES = 0;
}
inline void monitor_sweep(FlowState& fs) {
  Monitor& m = fs.mon;
  int s = Monitor::slot(++m.SWEEPS);
  m.RES(s) = fs.pot.RESMAX;
  m.CLEST(s) = fs.pot.CLEST;
}
// cd2: the wave drag of the update's surface, formed unlisted.
inline void monitor_update(FlowState& fs, float cd2) {
  Monitor& m = fs.mon;
  int s = Monitor::slot(++m.UPDATES);
  m.CHANGE(s) = fs.cpl.CHANGE;
  m.CLV(s) = fs.cpl.CLV;
  m.CDVU(s) = fs.cpl.CDV;
  m.CDPU(s) = fs.res.CDP;
  m.CD2U(s) = cd2;
  m.XTRU(s) = m.XTR[0];
  m.XTRL(s) = m.XTR[1];
  m.ALPU(s) = fs.ALP;  // in degrees: updates run within the coupling cycle
}
// ALP in degrees; CDF and CDV are 0 for an inviscid run.
inline void monitor_summary(FlowState& fs) {
  Monitor& m = fs.mon;
  ++m.SUMMARIES;
  m.EM = fs.gas.EM;
  m.ALP = fs.ALP;
  m.CL = fs.res.CL;
  m.CM = fs.res.CM;
  m.CDP = fs.res.CDP;
  m.CDF = fs.run.IVP != 0 ? fs.cpl.CDF : 0.0f;
  m.CDV = fs.run.IVP != 0 ? fs.cpl.CDV : 0.0f;
  m.CD1 = fs.res.CD1;
  m.CD2 = fs.res.CD2;
}

}  // namespace tarn
