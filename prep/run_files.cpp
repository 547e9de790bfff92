// The run files: the names file that lists a run's files, the run-data file
// that the solver executes step by step, and the run-name file.
#include "prep.h"
#include "units.h"

namespace tarn {

namespace {

// Units on which the files are written.
constexpr int kNamesFile = 7;
constexpr int kRunDataFile = 14;
constexpr int kRunNameFile = 15;

// File-name extensions of a run, in the order of the names file; the
// run-name file comes last.
const char* const kExtensions[] = {".NAM", ".TIN", ".IEH", ".VEH", ".FUL", ".BRF", ".GRD", ".UNF", ".SIR"};
constexpr int kNamesFileEntries = 8;
constexpr int kRunDataEntry = 1;
constexpr int kRunNameEntry = 8;

const Layout kFlag("(I1)");
const Layout kName("(A)");
const Layout kTitle("(I5, A68)");
const Layout kIteration("(2I5, 3F10.4, 4F5.3, I5)");
const Layout kControl("(2I5)");
const Layout kMappingControl("(5I1, 2I5, F10.6, F10.2)");
const Layout kSubdivision("(2I5)");
const Layout kViscousOptions("(5I5, F5.2, F10.5, I5, 2F10.4)");
const Layout kBoundaryLayer("(2F10.4, I5, E10.3, 3F10.4, I5)");
const Layout kCoupling("(3I5, 2F10.7)");
// Free transition: the boundary-layer record's more flag kFreeTransition
// says that a free-transition record, holding NCRIT, follows the coupling record.
const Layout kFreeTransitionRecord("(F10.4)");
constexpr int32_t kCouplingFollows = 1, kFreeTransition = 2;

// Title record: the coupling terms selected for a viscous run.
constexpr int32_t kViscousIvp = 4;
// Camber record: one blank, so that every camber value reads as 0.
const char* const kBlankCamber = " ";
// Mapping control: print flags after the slopes-table flag, iteration
// limit, and the two tolerances; the subdivision pair that closes the list
// at once, so the aerofoil data are used without subdivision.
constexpr int32_t kMappingIterations = 30;
constexpr float kMappingTolerance = 0.000001f;
constexpr float kCoefficientTolerance = 100.0f;
constexpr int32_t kLastSubdivision = 1000;
// Viscous options: circulation relaxation factor and relaxation factor of
// the incidence change in lift targeting.
constexpr float kCirculationRelaxation = 1.0f;
constexpr float kIncidenceRelaxation = 0.5f;
// Boundary-layer record: coupling convergence threshold and wake base-closure length.
constexpr float kCouplingTolerance = 0.001f;
constexpr float kBaseClosure = 0.05f;

// Step selectors of the control records.
enum Control { kReadDump, kCoarsen, kRefine, kWriteDump, kEndOfRun };
const int32_t kControlRecord[][2] = {{0, 1}, {-1, 1}, {1, -1}, {0, -1}, {0, 0}};

// One mesh's stage: the iteration count, the surface-point bound carried
// with the mesh, the coupling values and the viscous print level.
struct Stage {
  int32_t NS, NP;
  float GVISC;
  int32_t NVISC, print_level;
};

class RunDataWriter {
 public:
  explicit RunDataWriter(const RunAnswers& a)
      : a_(a), options_follow_(a.viscous == 1 || a.newrun == 1) {}

  void write() {
    Units& u = units();
    u.write(kRunDataFile, kTitle, a_.viscous == 1 ? kViscousIvp : 0, a_.TITLE);
    u.write_line(kRunDataFile, kBlankCamber);
    if (a_.newrun == 1) {
      iteration(a_.NSG, 0, 0);
      u.write(kRunDataFile, kMappingControl, a_.slopes, 1, 0, 0, 0, kMappingIterations, 1, kMappingTolerance,
              kCoefficientTolerance);
      u.write(kRunDataFile, kSubdivision, kLastSubdivision, 1);
    } else {
      control(kReadDump);
    }
    if (a_.NSC > 0) {
      control(kCoarsen);
      stage({a_.NSC, a_.NSG / 2 + 1, a_.GVISCC, a_.NVISCC, 0});
      control(kRefine);
    }
    stage({a_.NSF, a_.NSG + 1, a_.GVISCF, a_.NVISCF, 1});
    if (a_.dumpflag == 1) control(kWriteDump);
    control(kEndOfRun);
  }

 private:
  const RunAnswers& a_;
  const bool options_follow_;  // every run but an inviscid continuation has viscous options
  bool flow_written_ = false;  // an iteration record has carried EM and ALP

  void control(Control c) { units().write(kRunDataFile, kControl, kControlRecord[c][0], kControlRecord[c][1]); }

  // With a required lift coefficient, only the first iteration record sets
  // EM and ALP; later ones hold zeros so the solver keeps the incidence
  // reached by lift targeting.
  void iteration(int32_t ns, int32_t ityp, int32_t follow) {
    const bool keep = flow_written_ && a_.viscous == 1 && a_.ICL == 1;
    const float em = keep ? 0.0f : a_.EM;
    const float alp = keep ? 0.0f : a_.ALP;
    units().write(kRunDataFile, kIteration, ns, ityp, em, alp, 0.0f, a_.XS, a_.XM, a_.EP, a_.QCP, follow);
    flow_written_ = true;
  }

  void stage(const Stage& s) {
    Units& u = units();
    iteration(s.NS, 1, options_follow_ ? 1 : 0);
    if (options_follow_)
      u.write(kRunDataFile, kViscousOptions, 1, 1, 0, s.NP, 1, kCirculationRelaxation, 0.0f, a_.ICL, a_.CLC,
              kIncidenceRelaxation);
    if (a_.viscous != 1) return;
    const bool free = a_.NCRIT > 0.0f;
    u.write(kRunDataFile, kBoundaryLayer, s.GVISC, kCouplingTolerance, s.print_level, a_.R, a_.XTU, a_.XTL,
            kBaseClosure, free ? kFreeTransition : kCouplingFollows);
    u.write(kRunDataFile, kCoupling, 2 * s.NVISC, s.NVISC, 0, a_.DD21, a_.DD22);
    if (free) u.write(kRunDataFile, kFreeTransitionRecord, a_.NCRIT);
  }
};

void write_names_file(const RunAnswers& a) {
  Units& u = units();
  for (int e = 0; e < kNamesFileEntries; ++e) u.write(kNamesFile, kName, a.name + kExtensions[e]);
  u.write(kNamesFile, kFlag, a.newrun);
  u.write(kNamesFile, kName, a.input);
  u.write(kNamesFile, kFlag, a.dumpflag);
  u.write(kNamesFile, kFlag, a.gridflag);
}

}  // namespace

void open_run_files(const std::string& name) {
  Units& u = units();
  u.open(kNamesFile, name + kExtensions[0], OpenStatus::kReplacedWhenClosed);
  u.open(kRunDataFile, name + kExtensions[kRunDataEntry], OpenStatus::kReplacedWhenClosed);
  u.open(kRunNameFile, name + kExtensions[kRunNameEntry], OpenStatus::kReplacedWhenClosed);
}

void write_run_files(const RunAnswers& a) {
  Units& u = units();
  write_names_file(a);
  RunDataWriter(a).write();
  u.write(kRunNameFile, kName, a.name);
  for (int unit : {kNamesFile, kRunDataFile, kRunNameFile}) u.flush(unit);
  for (int unit : {kNamesFile, kRunDataFile, kRunNameFile}) u.close(unit);
}

}  // namespace tarn
