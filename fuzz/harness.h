// Support shared by the fuzz targets: a scratch folder in which whole runs
// execute, the stock run files that a target combines with its input, the
// shortening of iteration stages, and the contract every run must keep.
//
// The contract: no sanitizer report, and no status record 4 (a normal end)
// unless every coefficient of the run is finite and every coefficient record
// holds numbers. A broken contract aborts the process, which libFuzzer
// reports as a crash and saves the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarn::fuzz {

// Stock files of the scratch folder, made once per process by the project's
// own writers and programs, and put back before every run:
//   NACA0012.DAT          NACA 0012 from tarnfoil's generator
//   CASE.NAM, CASE.TIN    a short viscous new run of NACA0012.DAT on the
//                         96-line mesh that dumps to CASE.UNF
//   CASE.UNF              that dump
//   FOIL.NAM, FOIL.TIN    the same run on the default 160-line mesh
//   CONT.NAM, CONT.TIN    a short viscous continuation from CASE.UNF that
//                         coarsens the mesh and refines it again
//   DUMP.NAM, DUMP.TIN    a short viscous continuation from FUZZ.UNF on the
//                         dump's own mesh
//   DUMI.NAM, DUMI.TIN    the same, inviscid: the run-data file restates no
//                         viscous options, so the dump's values stand
//   FUZZ.NAM, FUZC.NAM    names files of a new run (FUZZ.TIN, NACA0012.DAT)
//                         and of a continuation (FUZC.TIN, CASE.UNF)
// Every stock run writes its grid data and a dump.

// While a RunScope lives, the working folder is the scratch folder, emptied
// and restocked; the console is held in memory. The scratch folder is
// removed when the process ends normally.
class RunScope {
 public:
  RunScope();
  ~RunScope();
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;

 private:
  std::string home_;
};

std::string as_text(const uint8_t* data, size_t size);
// Files of the working folder.
void write_file(const std::string& name, const std::string& text);
bool read_file(const std::string& name, std::string& text);

// The run-data file with every iteration stage cut to a few sweeps, so that
// a whole run takes milliseconds: an iteration record (NS > 0, ITYP > 0)
// asks for at most 12 sweeps and the stages of a run for 48 together, and
// the mapping-control record of a geometry step for at most 30 mapping
// passes. The records are followed in the order the solver reads them, so
// that records of other kinds are never taken for step records. Everything
// else is left byte for byte.
std::string short_stages(const std::string& run_data);

// How a run ended: its exit status, and the message of a run that stopped early.
struct RunEnd {
  int status = 0;
  std::string message;
};

// Runs tarn in this process on the run name, as its main does (a run that
// stops early ends with the stop's status and message), then checks the
// contract on the run's coefficients and its file NAME.SEP.
RunEnd run_and_check(const std::string& name);

// A stock file as made for this process.
const std::string& stock_file(const std::string& name);

// Aborts with the message, as a broken contract does.
[[noreturn]] void broken(const std::string& what);

}  // namespace tarn::fuzz
