// The flow-field dump: the whole flow state at the end of a step, so that a
// later run can continue from it. Two length-framed binary records of 4-byte
// little-endian words (INTEGER two's complement, REAL IEEE single): the run
// scalars with the aerofoil title, then every field at its declared size.
// One list of items per record serves writing, reading and the size check, so
// the three cannot drift apart.
#include <cmath>
#include <cstring>
#include <string>

#include "free_stream/free_stream.h"
#include "run.h"
#include "units.h"

namespace tarn {

namespace {

const Layout kDumped("(' ', 'FLOW FIELD DUMPED  EM = ', F5.4, '  ALP = ', F7.4, /, /)");
const Layout kTitleLine("(' ', ' AEROFOIL DATA FILE TITLE:    ', A80)");
const Layout kRetrieved(
    "(' ', 'RETRIEVED FROM FLOW FIELD CALCULATION FOR  EM = ', F5.4, '  AND  ALP = ', F7.4, /, /)");

constexpr int kTitleLength = 80;
constexpr int kWordBytes = 4;
// Largest part (radians) that the rounding of many turns of the angle tables
// leaves between their incidence and the one recorded; a thousand turns
// leave about 1E-7.
constexpr float kTurnRounding = 1.0e-5f;

// Words of the scalar block that the solver no longer uses; they are written
// with these values and skipped on reading.
constexpr int32_t kUnusedInt = 0;
constexpr float kUnusedReal = 0.0f;
constexpr float kCarriedMinusOne = -1.0f;
constexpr float kCarriedFour = 4.0f;
constexpr int32_t kCarriedSixteen = 16, kCarriedThreeHundred = 300;

// Appends the items to a record.
class Packer {
 public:
  explicit Packer(std::string& out) : out_(out) {}
  void word(const int32_t& v) { put(static_cast<uint32_t>(v)); }
  void word(const float& v) {
    uint32_t bits;
    std::memcpy(&bits, &v, kWordBytes);
    put(bits);
  }
  void fixed(int32_t v) { word(v); }
  void fixed(float v) { word(v); }
  void text(const std::string& s, int length) {
    std::string t = s.substr(0, static_cast<size_t>(length));
    t.resize(static_cast<size_t>(length), ' ');
    out_ += t;
  }

 private:
  void put(uint32_t bits) {
    for (int b = 0; b < kWordBytes; ++b) out_ += static_cast<char>((bits >> (8 * b)) & 0xFFu);
  }
  std::string& out_;
};

// Takes the items back out of a record whose size has been checked.
class Unpacker {
 public:
  explicit Unpacker(const std::string& in) : in_(in) {}
  void word(int32_t& v) { v = static_cast<int32_t>(get()); }
  void word(float& v) {
    uint32_t bits = get();
    std::memcpy(&v, &bits, kWordBytes);
  }
  void fixed(int32_t) { pos_ += kWordBytes; }
  void fixed(float) { pos_ += kWordBytes; }
  void text(std::string& s, int length) {
    s = in_.substr(pos_, static_cast<size_t>(length));
    pos_ += static_cast<size_t>(length);
  }
  size_t position() const { return pos_; }  // bytes taken so far

 private:
  uint32_t get() {
    uint32_t bits = 0;
    for (int b = 0; b < kWordBytes; ++b)
      bits |= static_cast<uint32_t>(static_cast<unsigned char>(in_[pos_ + static_cast<size_t>(b)])) << (8 * b);
    pos_ += kWordBytes;
    return bits;
  }
  const std::string& in_;
  size_t pos_ = 0;
};

[[noreturn]] void bad_dump(const std::string& what);

// Integers of a dump are counts, switches and markers set from record fields
// of at most five columns, except the iteration counts, which add up over
// the stages of a run and its continuations.
constexpr int32_t kLargestField = 99999;
constexpr int32_t kMostIterations = 1000000000;

// Checks a record whose size has been checked before anything of it is
// taken: every real a finite number, every integer plausible, so that no
// value of a damaged dump can overflow a count or turn the results into
// numbers that are not finite.
class Checker {
 public:
  Checker(const std::string& in, int record, const FlowState& fs) : from_(in), record_(record), fs_(fs) {}
  void word(const int32_t& member) {
    int32_t v;
    from_.word(v);
    bool iterations = &member == &fs_.run.NFIELD || &member == &fs_.cpl.ICOUNT;
    int32_t lo = iterations ? 0 : -kLargestField, hi = iterations ? kMostIterations : kLargestField;
    if (v < lo || v > hi)
      bad_dump(where() + " holds the integer " + std::to_string(v) + ", outside the plausible range " +
               std::to_string(lo) + " to " + std::to_string(hi));
  }
  void word(const float&) {
    float v;
    from_.word(v);
    if (!std::isfinite(v)) bad_dump(where() + " holds a real that is not a finite number");
  }
  template <typename T>
  void fixed(T v) { from_.fixed(v); }
  void text(const std::string&, int length) {
    std::string skipped;
    from_.text(skipped, length);
  }

 private:
  std::string where() const {
    return "record " + std::to_string(record_) + ", byte " + std::to_string(from_.position() - kWordBytes + 1) + ",";
  }
  Unpacker from_;
  int record_;
  const FlowState& fs_;
};

// Counts the bytes of a record.
class Sizer {
 public:
  template <typename T>
  void word(const T&) { bytes += kWordBytes; }
  template <typename T>
  void fixed(T) { bytes += kWordBytes; }
  void text(const std::string&, int length) { bytes += static_cast<size_t>(length); }
  size_t bytes = 0;
};

// A whole array at its declared size, in storage order.
template <typename Io, typename T, int N>
void array(Io& io, Vec<T, N>& a) {
  for (T& v : a.v) io.word(v);
}
template <typename Io, int R, int C>
void array(Io& io, Columns<R, C>& a) {
  for (auto& column : a.v)
    for (float& v : column) io.word(v);
}

// Record 1: the 79-word scalar block, four further words and the aerofoil title.
template <typename Io>
void scalar_record(Io& io, FlowState& fs) {
  Grid& g = fs.grid;
  Gas& gas = fs.gas;
  Potential& p = fs.pot;
  RunControl& run = fs.run;
  Mapping& map = fs.map;
  for (int32_t* n : {&g.NSG, &g.N1, &g.N2, &g.MR, &g.MR1, &g.NHALF, &g.NHALF2}) io.word(*n);  // 1-7
  io.word(p.IRES);  // 8-11
  io.word(p.KRES);
  io.fixed(kUnusedInt);
  io.fixed(kUnusedInt);
  io.word(run.NP);  // 12-13
  io.word(run.NB);
  for (int w = 14; w <= 16; ++w) io.fixed(kUnusedInt);
  io.word(run.ITYP);  // 17
  io.fixed(kUnusedInt);
  io.word(run.NS);  // 19-20
  io.word(run.NFIELD);
  io.fixed(kCarriedMinusOne);  // 21
  for (float* c : {&g.PI, &g.RAD, &g.TWOPI, &g.RTWOPI, &g.DTH, &g.DS, &g.R2DTH, &g.R2DS, &g.DTHDS, &g.DTHDS2,
                   &g.CROSS, &g.MGRAD, &g.DTH2, &g.DTH2DS})
    io.word(*c);  // 22-35
  for (float* c : {&gas.EM, &gas.QSTAR2, &gas.A0, &gas.G1, &gas.A1, &gas.CPF, &gas.A2, &gas.A2CPF, &gas.BETA})
    io.word(*c);  // 36-44
  io.word(map.EPS);  // 45
  io.fixed(kUnusedReal);
  io.word(p.CLEST);  // 47-52
  io.word(map.RSIGMA);
  io.word(fs.ALP);
  io.word(g.ALPPREV);
  io.word(p.GAM);
  io.word(p.F);
  for (float* c : {&g.CA, &g.SA, &p.EP, &p.EP2, &p.EP1, &p.EP31, &p.EP32, &p.EP21, &p.XM, &p.XS})
    io.word(*c);  // 53-62
  io.fixed(kCarriedFour);  // 63
  io.word(run.TOL);  // 64-67
  io.word(g.TRANSFER);
  io.word(p.RELA);
  io.word(p.RELB);
  io.fixed(kUnusedReal);  // 68
  io.word(p.DGHELD);      // 69
  io.fixed(kUnusedReal);  // 70
  io.word(g.FFRUN);       // 71-75
  io.word(run.OPT1);
  io.word(p.RESMAX);
  io.word(gas.EMPREV);
  io.word(map.ROT);
  io.fixed(static_cast<int32_t>(kMaxRound));  // 76-79
  io.fixed(kCarriedSixteen);
  io.fixed(kCarriedThreeHundred);
  io.fixed(kUnusedInt);
  io.word(run.OPT2);
  io.word(map.SIGMA);
  io.word(gas.GAMMA);
  io.word(p.QCP);
  io.text(run.AEROTITLE, kTitleLength);
}

// Record 2: the fields, the mapping tables and the coupling state.
template <typename Io>
void field_record(Io& io, FlowState& fs) {
  Grid& g = fs.grid;
  Potential& p = fs.pot;
  Mapping& map = fs.map;
  Coupling& c = fs.cpl;
  RunControl& run = fs.run;
  array(io, p.P);  // items 1-9
  array(io, p.H);
  array(io, p.WORK);
  for (int col : {1, 2, 3, 4, 6, 5})
    for (int k = 1; k <= p.LINE.rows(); ++k) io.word(p.LINE(k, col));
  array(io, g.RT);  // 10-14
  array(io, g.RS);
  array(io, g.R);
  array(io, g.SIN);
  array(io, g.COS);
  for (int i = 1; i <= kMaxRound; ++i) {  // 15: (x, z) pairs
    io.word(map.XZ(i, 1));
    io.word(map.XZ(i, 2));
  }
  array(io, map.ANGLE);  // 16-20
  array(io, g.FF);
  array(io, map.B1);
  array(io, map.B2);
  io.word(map.SIGMA);
  io.fixed(kUnusedInt);  // 21
  io.word(c.ISURF);      // 22-26
  io.word(c.IWAKE);
  array(io, c.DQK);
  array(io, c.DQKOLD);
  array(io, c.WDOLD);
  for (int32_t* n : {&c.ITHRESH, &c.ICOUNT, &c.IWORK1, &c.IWORK2}) io.word(*n);
  array(io, c.TAW1);  // 27-31
  array(io, c.TAW2);
  array(io, c.SIG);
  array(io, c.QKA);
  array(io, c.DSS);
  array(io, c.THS);
  io.word(fs.res.CPTE);  // 32-40
  io.word(fs.gas.GAMMA);
  io.word(c.IVPRINT);
  array(io, c.RHO);
  array(io, c.BT);
  array(io, c.WDS);
  io.word(c.NVISC);
  io.word(c.GVISC);
  io.word(c.ISMOOTH);
  array(io, c.WKOLD);  // 41-47
  io.word(c.XTU);
  io.word(c.XTL);
  io.word(c.R);
  io.word(c.VTOL);
  io.word(run.ICL);
  io.word(run.CLC);
  io.word(run.RFA);
  io.word(c.CLV);
  io.word(run.ALP0);
  io.word(c.LB);
  array(io, c.WAKEWORK);
}

[[noreturn]] void bad_dump(const std::string& what) {
  throw RunStop("flow-field dump " + units().file_name(kDumpIn) + ": " + what + "; the run cannot continue from it",
                kExitBadInput);
}

void read_record(int number, size_t bytes, std::string& record) {
  if (!units().read_binary(kDumpIn, record))
    bad_dump("record " + std::to_string(number) + " is missing or cut short");
  if (record.size() != bytes)
    bad_dump("record " + std::to_string(number) + " holds " + std::to_string(record.size()) +
             " bytes where this program writes " + std::to_string(bytes) + " (another layout)");
}

// The incidence the angle tables were last turned for, as the tables
// themselves carry it. Repeated turns part the two only by rounding, far
// below kTurnRounding; a dump of an earlier version may hold tables a whole
// lift-targeting step away from the incidence it records, and the next
// stage must turn them from where they are.
void record_table_incidence(float& recorded, float carried) {
  if (std::fabs(carried - recorded) > kTurnRounding) recorded = carried;
}

// Mesh counts of the scalar block (words 1-7): they must fit the fixed arrays
// and agree with one another. An odd count of grid lines is the coarse mesh
// of an even one and so at most half the capacity.
void check_mesh_counts(const std::string& scalars) {
  Unpacker u(scalars);
  int32_t nsg, n1, n2, mr, mr1, nhalf, nhalf2;
  for (int32_t* n : {&nsg, &n1, &n2, &mr, &mr1, &nhalf, &nhalf2}) u.word(*n);
  std::string counts = "NSG = " + std::to_string(nsg) + ", MR = " + std::to_string(mr);
  bool grid_fits = nsg <= kMaxGridLines && (nsg % 2 == 0 || nsg <= kMaxGridLines / 2);
  if (!grid_fits || mr > kMaxRadial - 1)
    bad_dump("mesh of " + counts + " exceeds the capacity of " + std::to_string(kMaxGridLines) +
             " grid lines round the aerofoil and " + std::to_string(kMaxRadial - 1) + " radial intervals");
  if (nsg < kSmallestGridLines || mr < kSmallestRadialIntervals)
    bad_dump("mesh of " + counts + " is below the smallest the difference stencils support, " +
             std::to_string(kSmallestGridLines) + " grid lines round the aerofoil and " +
             std::to_string(kSmallestRadialIntervals) + " radial intervals");
  if (n1 != nsg + 1 || n2 != nsg + 2 || mr1 != mr + 1 || nhalf != (nsg + 2) / 2 || nhalf2 != nhalf + 2)
    bad_dump("mesh counts disagree with " + counts);
}

}  // namespace

void write_dump(FlowState& fs) {
  Units& u = units();
  if (!u.is_open(kDumpOut)) throw RunStop("dump step with no dump file: the names file asks for none", kExitBadInput);
  std::string record;
  Packer scalars(record);
  scalar_record(scalars, fs);
  u.write_binary(kDumpOut, record);
  record.clear();
  Packer fields(record);
  field_record(fields, fs);
  u.write_binary(kDumpOut, record);
  u.write(kListing, kDumped, fs.gas.EM, fs.ALP * kDegPerRad);
}

void read_dump(FlowState& fs) {
  Units& u = units();
  if (!u.is_open(kDumpIn))
    throw RunStop("dump read step with no dump to continue from: the names file sets up a new run", kExitBadInput);
  // Both records are checked whole before anything is taken into the flow state.
  Sizer scalar_bytes, field_bytes;
  scalar_record(scalar_bytes, fs);
  field_record(field_bytes, fs);
  std::string scalars, fields;
  read_record(1, scalar_bytes.bytes, scalars);
  check_mesh_counts(scalars);
  Checker scalar_check(scalars, 1, fs);
  scalar_record(scalar_check, fs);
  read_record(2, field_bytes.bytes, fields);
  Checker field_check(fields, 2, fs);
  field_record(field_check, fs);
  Unpacker from_scalars(scalars);
  scalar_record(from_scalars, fs);
  Unpacker from_fields(fields);
  field_record(from_fields, fs);
  record_table_incidence(fs.grid.ALPPREV, table_incidence(fs));

  for (int unit : {kListing, kBrief}) u.write(unit, kTitleLine, fs.run.AEROTITLE);
  for (int unit : {kListing, kBrief}) u.write(unit, kRetrieved, fs.gas.EM, fs.ALP * kDegPerRad);
}

}  // namespace tarn
