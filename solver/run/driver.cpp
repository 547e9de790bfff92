// The run driver: start-up, the step loop over the iteration records of the
// run-data file, and the end of the run.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <utility>
#include <vector>

#include "boundary_layer/boundary_layer.h"
#include "free_stream/free_stream.h"
#include "geometry/geometry.h"
#include "potential/potential.h"
#include "results/results.h"
#include "run.h"
#include "units.h"

namespace tarn {

namespace {

const Layout kRunName("(A8)");
const Layout kName("(A12)");
const Layout kFlag("(I1)");
const Layout kTitle("(I5, A68)");
const Layout kTitleLine("(' ', 4X, A68, 4X, 'IVP=', I5, /, 1X)");
const Layout kCamber("(4F5.0)");
const Layout kCamberLine(
    "(/, ' CAMBER CORRECTION:  EM=', F5.3, 2X, 'CN=', F5.3, 2X, 'DELTA1=', F6.4, 2X, 'C/H=', F6.4, /)");
const Layout kIteration("(2I5, 3F10.0, 4F5.0, I5)");
const Layout kViscousOptions("(5I5, F5.0, F10.0, I5, 2F10.0)");
const Layout kStepStatus("('+', 'NS ', I7, '    ITYP ', I3, '   EM ', F8.4, '     ALP ', F8.4, '     ')");
const Layout kStepStatusShort("('+', 'NS ', I7, '    ITYP ', I3, 52X)");
const Layout kStepHeading(
    "(' EM = ', F5.4, 4X, 'ALP = ', F7.3, 4X, 'NSG = ', I3, '  K = ', I2, /,"
    " ' NS = ', I3, 4X, 'ITYP = ', I2, 4X, 'EP=', F4.2, 4X, 'QCP=', F4.2)");
const Layout kRelaxationHeading("(' XS = ', F4.2, 5X, ' XM = ', F4.2)");
const Layout kStatusRecord("(I5)");

constexpr float kDefaultDelta1 = 0.1309f;
constexpr float kDefaultCH = 0.26f;
constexpr int kStatusNormalEnd = 4;
constexpr size_t kMaxRunName = 8;
const std::string kBlankLine(50, ' ');
const char* const kLeadingBlank = "First character must not be a space";
const char* const kSetAsideEnding = ".old";  // added to the name of an earlier dump set aside

void console_blank_line() { units().write_line(kConsoleOut, kBlankLine); }

// A file name without the blanks, tabs and carriage return that may trail it.
std::string trimmed(const std::string& s) {
  size_t end = s.find_last_not_of(" \t\r");
  return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

// Start-up steps 2 to 4: banner and run name. A reply with an extension
// stops the run with the reason instead of looking for NAME.TIN.NAM.
std::string ask_run_name() {
  Units& u = units();
  write_banner();
  u.write_list(kConsoleOut, "Enter name to be used for TARN input/output files - max 8 characters.");
  u.write_list(kConsoleOut, "(File name extensions are attached by this program.)");
  std::string reply;
  if (u.read_values(kConsoleIn, kRunName, {reply}) != ReadStatus::kOk)
    throw RunStop("no run name given on the console", kExitBadInput);
  if (reply[0] == ' ') throw RunStop(kLeadingBlank, kExitBadInput);
  std::string name = run_name_from_reply(reply);
  std::string refusal = run_name_refusal(name);
  if (!refusal.empty()) throw RunStop(refusal, kExitBadInput);
  return name;
}

void open_run_files(const RunFiles& files) {
  Units& u = units();
  u.open(kRunData, files.entry[2], OpenStatus::kExisting);
  u.open(kListing, files.entry[5], OpenStatus::kNewOrReplaced);
  u.open(kHistory, files.entry[3], OpenStatus::kNewOrReplaced);
  u.open(kCouplingHistory, files.entry[4], OpenStatus::kNewOrReplaced);
  u.open(kBrief, files.entry[6], OpenStatus::kNewOrReplaced);
  if (files.newrun == 1) u.open(kAerofoil, files.input, OpenStatus::kExisting);
  if (files.newrun == 0) {
    u.open(kDumpIn, files.input, OpenStatus::kExisting, Form::kUnformatted);
    u.rewind(kDumpIn);
  }
  if (files.dumpflag == 1) {  // the dump being read, if it is this one, stays whole until the new one is
    u.open(kDumpOut, files.entry[8], OpenStatus::kReplacedWhenClosed, Form::kUnformatted);
    u.rewind(kDumpOut);
  }
  if (files.gridflag == 1) u.open(kGridData, files.entry[7], OpenStatus::kNewOrReplaced);
}

// A file of the run, with what it is to the run.
struct RunFile {
  std::string name;
  std::string role;
};

bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

// No file the run writes may be one that it reads: the run stops before
// anything is opened for writing. The one exception is the dump to write
// being the dump to continue from, since the new dump takes its name only
// once complete.
void check_outputs_spare_inputs(const std::string& name, const RunFiles& f) {
  std::vector<RunFile> inputs = {{name + ".NAM", "names file"}, {f.entry[2], "run-data file"}};
  if (f.newrun == 1) inputs.push_back({f.input, "aerofoil data file"});
  if (f.newrun == 0) inputs.push_back({f.input, "dump to continue from"});
  std::vector<RunFile> outputs = {{name + ".SEP", "coefficient-record file"},
                                  {f.entry[3], "iteration history (names-file entry 3)"},
                                  {f.entry[4], "coupling history (entry 4)"},
                                  {f.entry[5], "results listing (entry 5)"},
                                  {f.entry[6], "second listing (entry 6)"}};
  if (f.gridflag == 1) outputs.push_back({f.entry[7], "grid-data file (entry 7)"});
  const std::string dump_out = "dump to write (entry 8)";
  if (f.dumpflag == 1) outputs.push_back({f.entry[8], dump_out});
  for (const RunFile& out : outputs)
    for (const RunFile& in : inputs) {
      if (out.role == dump_out && f.newrun == 0 && in.name == f.input) continue;
      if (same_file(out.name, in.name))
        throw RunStop("the " + out.role + " '" + out.name + "' is the " + in.role + " '" + in.name +
                          "' that this run reads; nothing was written, so as not to overwrite it",
                      kExitBadInput);
    }
}

// A dump under the name this run dumps to, left by an earlier run, is set
// aside (renamed NAME.UNF.old) before the run starts, so that a run that
// stops before its dump step leaves no earlier flow under its dump's name for
// a continuation to start from. The dump being continued from stays, since
// the new dump replaces it only once complete. Returns the set-aside name,
// or an empty string when nothing was set aside.
std::string set_aside_earlier_dump(const RunFiles& f) {
  namespace fs = std::filesystem;
  const std::string& dump = f.entry[8];
  std::error_code ec;
  fs::file_status st = fs::symlink_status(dump, ec);
  // A symbolic link (to a file or a device) is the user's arrangement and is
  // written through as it stands.
  if (f.dumpflag != 1 || !fs::is_regular_file(st)) return std::string();
  if (f.newrun == 0 && same_file(dump, f.input)) return std::string();
  std::string aside = dump + kSetAsideEnding;
  fs::rename(dump, aside, ec);
  if (ec)
    throw RunStop("cannot set aside the earlier dump '" + dump + "' as '" + aside + "' before the run: " +
                      ec.message(),
                  kExitBadInput);
  return aside;
}

// Start-up steps 7 and 8: the title and camber records.
void read_head_records(FlowState& fs) {
  Units& u = units();
  RunControl& run = fs.run;
  u.read(kRunData, kTitle, run.IVPSIGNED, run.TITLE);
  for (int unit : {kListing, kBrief}) u.write(unit, kTitleLine, run.TITLE, run.IVPSIGNED);
  u.read(kRunData, kCamber, run.EMC, run.CN, run.DELTA1, run.CH);
  if (run.DELTA1 == 0.0f) run.DELTA1 = kDefaultDelta1;
  if (run.CH == 0.0f) run.CH = kDefaultCH;
  if (run.EMC > 0.0f) u.write(kListing, kCamberLine, run.EMC, run.CN, run.DELTA1, run.CH);
  run.IVP = std::abs(run.IVPSIGNED);
}

struct IterationRecord {
  int32_t NS = 0, ITYP = 0, follow = 0;
  float EM = 0, ALP = 0, TOL = 0, XS = 0, XM = 0, EP = 0, QCP = 0;
};

// Step loop items 1 to 4: read the record, report it, apply what it restates.
void take_iteration_record(FlowState& fs, IterationRecord& r) {
  Units& u = units();
  u.read(kRunData, kIteration, r.NS, r.ITYP, r.EM, r.ALP, r.TOL, r.XS, r.XM, r.EP, r.QCP, r.follow);
  if (r.NS > 0 && r.ITYP > 0)
    u.write(kConsoleOut, kStepStatus, r.NS, r.ITYP, r.EM, r.ALP);
  else
    u.write(kConsoleOut, kStepStatusShort, r.NS, r.ITYP);
  console_blank_line();

  RunControl& run = fs.run;
  Potential& pot = fs.pot;
  run.NS = r.NS;
  run.ITYP = r.ITYP;
  if (r.EM != 0.0f) {
    fs.gas.EM = r.EM;
    fs.ALP = r.ALP;
    run.TOL = r.TOL;
  }
  if (r.XS != 0.0f) {
    pot.XS = r.XS;
    pot.XM = r.XM;
    pot.EP = r.EP;
    pot.QCP = r.QCP;
  }
  if (r.follow != 0)
    u.read(kRunData, kViscousOptions, run.OPT1, run.OPT2, run.NFIELD, run.NP, run.NB, pot.F, pot.DGHELD,
           run.ICL, run.CLC, run.RFA);
  if (run.ITYP != 0) {
    for (int unit : {kListing, kBrief}) {
      if (run.NS != -1 && run.NS != 0 && run.NS != 1)
        u.write(unit, kStepHeading, fs.gas.EM, fs.ALP, fs.grid.NSG, fs.grid.MR, run.NS, run.ITYP, pot.EP, pot.QCP);
      if (pot.XS != 1.9f || pot.XM != 1.0f) u.write(unit, kRelaxationHeading, pot.XS, pot.XM);
    }
  }
}

void geometry_step(FlowState& fs) {
  Grid& g = fs.grid;
  int32_t ns = fs.run.NS;
  if (ns > kMaxGridLines || ns % 2 != 0 || ns < kSmallestGridLines)
    throw RunStop("geometry step with NS = " + std::to_string(ns) + ": the number of grid lines must be even and between " +
                      std::to_string(kSmallestGridLines) + " and " + std::to_string(kMaxGridLines),
                  kExitBadInput);
  g.NSG = ns;
  fs.run.NP = g.NSG + 1;
  g.MR = g.NSG <= 100 ? 16 : 30;
  grid_constants(fs);
  geometry_and_mapping(fs, fs.run.EMC, fs.run.CN, fs.run.DELTA1, fs.run.CH);
  initialise_field(fs);
}

// Dispatch on NS and ITYP. Returns false at the end of the run.
bool dispatch(FlowState& fs) {
  RunControl& run = fs.run;
  if (run.NS == 0) {
    if (run.ITYP == 0) return false;
    if (run.ITYP < 0) {
      run.ITYP = -run.ITYP;
      write_dump(fs);
    } else {
      read_dump(fs);
    }
  } else if (run.NS > 0) {
    if (run.ITYP == 0) geometry_step(fs);
    else if (run.ITYP < 0) refine_mesh(fs);
    else iteration_stage(fs);
  } else {
    if (run.ITYP > 0) {
      run.NS = 0;
      coarsen_mesh(fs);
    } else if (run.ITYP < 0) {
      run.NS = 0;
    }
  }
  return true;
}

void end_of_run(FlowState& fs) {
  Units& u = units();
  fs.run.ITYP = 4;
  fs.run.IPRINT = fs.run.IVP != 0 ? 0 : 1;
  fs.ALP *= kDegPerRad;
  results_operation(fs);
  // Every file the run wrote is complete, and the new dump has its name,
  // before the status record says that the run ended normally.
  for (int unit : {1, kListing, kDumpIn, kBrief, kHistory, kCouplingHistory, kDumpOut, kGridData}) u.close(unit);
  u.write(kCoefficients, kStatusRecord, kStatusNormalEnd);
  for (int unit : {kCoefficients, 23, 20, 25}) u.close(unit);
}

}  // namespace

std::string run_name_from_reply(const std::string& reply) {
  std::string name = reply.substr(0, 8);
  size_t blank = name.find(' ');
  return blank == std::string::npos ? name : name.substr(0, blank);
}

std::string run_name_refusal(const std::string& name) {
  const std::string quoted = "run name '" + name + "'";
  if (name.empty()) return "the run name is empty";
  if (name[0] == ' ') return kLeadingBlank;
  if (name.find('/') != std::string::npos)
    return quoted + " names a folder: run tarn in the folder of the run files and give the run name alone";
  size_t dot = name.find('.');
  if (dot != std::string::npos)
    return quoted + " has an extension: give the run name alone" + (dot > 0 ? ", " + name.substr(0, dot) : "") +
           " (file name extensions are attached by this program)";
  if (name.find(' ') != std::string::npos) return quoted + " holds a blank: a run name is one word";
  if (name.size() > kMaxRunName)
    return quoted + " has " + std::to_string(name.size()) + " characters: a run name has at most 8";
  return std::string();
}

std::string divergence_advice(bool viscous) {
  return std::string("tarn: advice: such a run often converges with a smaller XS (1.5 to 1.7, with more "
                     "fine-mesh sweeps NSF), more coarse-mesh sweeps (NSC 200)") +
         (viscous ? " or smaller coupling factors GVISCC/GVISCF (0.05/0.03)" : "") +
         ", alone or together: run tarnprep again and answer y to \"Are any default parameters to be "
         "changed?\"; tarnsweep retries such points by itself";
}

void write_banner() {
  Units& u = units();
  u.write_list(kConsoleOut, "TARN: steady transonic flow past an aerofoil,");
  u.write_list(kConsoleOut, "full-potential equation with viscous coupling.");
  u.write_line(kConsoleOut, " ");
}

RunFiles read_names_file() {
  Units& u = units();
  RunFiles f;
  for (int e = 1; e <= 8; ++e) {
    u.read(kNames, kName, f.entry[e]);
    f.entry[e] = trimmed(f.entry[e]);
  }
  u.read(kNames, kFlag, f.newrun);
  if (f.newrun == 0 || f.newrun == 1) {
    u.read(kNames, kName, f.input);
    f.input = trimmed(f.input);
  }
  u.read(kNames, kFlag, f.dumpflag);
  u.read(kNames, kFlag, f.gridflag);
  return f;
}

void form_ep_weights(FlowState& fs) {
  Potential& p = fs.pot;
  p.EP1 = 1.0f + p.EP;
  p.EP31 = 3.0f * p.EP + 1.0f;
  p.EP32 = 3.0f * p.EP + 2.0f;
  p.EP2 = p.EP + 2.0f;
  p.EP21 = 2.0f * (1.0f + p.EP);
}

void run_tarn(FlowState& fs) { run_tarn(fs, ask_run_name()); }

namespace {

// Start-up: the names file, the run files and the head records. Returns the
// run's files and where an earlier dump of the name was set aside.
std::pair<RunFiles, std::string> start_run(FlowState& fs, const std::string& name) {
  Units& u = units();
  fs.run.ITERTOTAL = 0;
  for (int32_t& flag : fs.bl.ONCE) flag = 0;
  u.open(kNames, name + ".NAM", OpenStatus::kExisting);
  RunFiles files = read_names_file();
  check_outputs_spare_inputs(name, files);
  std::string earlier_dump = set_aside_earlier_dump(files);
  u.open(kCoefficients, name + ".SEP", OpenStatus::kNewOrReplaced);
  open_run_files(files);
  read_head_records(fs);
  console_blank_line();
  return {files, earlier_dump};
}

// One step of the loop; false at the end of the run.
bool run_step(FlowState& fs) {
  IterationRecord rec;
  take_iteration_record(fs, rec);
  fs.ALP /= kDegPerRad;
  if (fs.run.IVP != 0 && fs.run.NS > 0 && fs.run.ITYP == 3) fs.run.ITYP = 1;
  if (fs.run.NS != 0) {
    form_ep_weights(fs);
    if (fs.gas.EM != fs.gas.EMPREV) form_gas_constants(fs);
    fs.gas.QSTAR2 = critical_speed_squared(fs.gas);
  }
  if (!dispatch(fs)) return false;
  fs.ALP *= kDegPerRad;
  fs.run.ITYP = std::abs(fs.run.ITYP);
  if (fs.run.ITYP >= 2) results_operation(fs);
  return true;
}

}  // namespace

void run_tarn(FlowState& fs, const std::string& name) {
  const auto [files, earlier_dump] = start_run(fs, name);
  while (run_step(fs)) {
  }
  end_of_run(fs);
  // The new dump, complete, replaces the earlier one as a dump always has.
  std::error_code ec;
  if (!earlier_dump.empty() && std::filesystem::exists(files.entry[8], ec)) std::filesystem::remove(earlier_dump, ec);
}

void map_aerofoil(FlowState& fs, const std::string& name) {
  start_run(fs, name);
  run_step(fs);
  units().close_all();
  if (fs.map.NITER == 0) throw RunStop("the run " + name + " does not start with a geometry step", kExitBadInput);
}

}  // namespace tarn
