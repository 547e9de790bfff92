// Support of the fuzz targets: scratch folder, stock files, short stages and
// the contract of a whole run.
#include "harness.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "foil.h"
#include "prep.h"
#include "records.h"
#include "run/run.h"
#include "units.h"

namespace tarn::fuzz {

namespace {

namespace stdfs = std::filesystem;

// Stage lengths of short_stages.
constexpr int32_t kStageSweeps = 12;
constexpr int32_t kRunSweeps = 48;
constexpr int32_t kMappingPasses = 30;
// The fields of the run-data records that short_stages follows: the viscous
// switch IVP of the title record; NS, ITYP and the flag of a step record that
// says a viscous-options record follows; the mapping-iteration limit MAXIT;
// the end index of a subdivision pair; the flag of the boundary-layer record
// of a viscous stage that says a coupling record follows.
const Layout kTitleSwitch("(I5)");
const Layout kStep("(2I5)");
const Layout kFollowFlag("(60X, I5)");
const Layout kMappingLimit("(5X, I5)");
const Layout kSubdivisionEnd("(I5)");
const Layout kCouplingFlag("(65X, I5)");
constexpr int32_t kClosingPair = 1000;  // end index of the subdivision pair that closes the list
constexpr size_t kFirstStepRecord = 2;  // after the title and camber records
constexpr size_t kNsColumn = 0, kMaxitColumn = 5;
constexpr int kIntWidth = 5;

const char* const kStatusNormalEnd = "    4";
// Fine meshes of the stock runs: the smallest that the set-up dialogue
// accepts, and its default.
constexpr int32_t kShortGridLines = 96;
constexpr int32_t kDefaultGridLines = 160;
constexpr size_t kTitleLength = 68;  // of the run title, blank-padded
// The stock aerofoil: NACA 0012 with a sharp trailing edge, a modest number
// of points a surface so that the geometry step stays quick.
const char* const kStockSection = "0012";
constexpr int kStockSurfacePoints = 61;

// Whole runs write many small files: a folder in memory where there is one.
std::string temporary_folder() {
  const char* tmp = std::getenv("TMPDIR");
  if (tmp && *tmp) return tmp;
  if (access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return "/tmp";
}

std::string working_folder() {
  std::vector<char> buf(4096);
  if (!getcwd(buf.data(), buf.size())) broken("cannot read the working folder");
  return buf.data();
}

void enter(const std::string& dir) {
  if (chdir(dir.c_str()) != 0) broken("cannot enter " + dir);
}

// The answers of a short viscous run as the set-up dialogue would collect
// them: nsc coarse-mesh and nsf fine-mesh sweeps.
RunAnswers short_run(const std::string& name, int32_t newrun, const std::string& input, int32_t nsc, int32_t nsf,
                     int32_t viscous = 1, int32_t nsg = kShortGridLines) {
  RunAnswers a;
  a.name = name;
  a.TITLE = "SHORT RUN FOR FUZZING";
  a.TITLE.resize(kTitleLength, ' ');
  a.viscous = viscous;
  a.newrun = newrun;
  a.input = input;
  a.gridflag = newrun;
  a.dumpflag = 1;
  a.EM = 0.75f;
  a.ALP = 2.0f;
  a.R = 6.0e6f;
  a.XTU = a.XTL = 0.05f;
  a.NSG = nsg;
  a.NSC = nsc;
  a.NSF = nsf;
  return a;
}

// Writes the run files of the answers as tarnprep does.
void write_stock_run(const RunAnswers& a) {
  open_run_files(a.name);
  write_run_files(a);
}

struct Scratch {
  std::string dir;
  std::map<std::string, std::string> stock;   // file name -> contents
  std::map<std::string, struct stat> written;  // stock files as last written

  Scratch() {
    std::string pattern = temporary_folder() + "/tarn-fuzz-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) broken("cannot make a scratch folder from " + pattern);
    dir = name.data();
  }
  ~Scratch() {
    std::error_code ignored;
    stdfs::remove_all(dir, ignored);
  }

  static Scratch& scratch() {
    static Scratch s;
    return s;
  }

  // Made in the scratch folder, which is the working folder at the time.
  void make_stock() {
    const foil::Naca section = foil::naca(kStockSection, true);
    write_file("NACA0012.DAT", foil::aerofoil_file_text(foil::naca_section(section, kStockSurfacePoints)));
    write_stock_run(short_run("CASE", 1, "NACA0012.DAT", 12, 12));
    write_stock_run(short_run("FOIL", 1, "NACA0012.DAT", 12, 12, 1, kDefaultGridLines));
    if (run_and_check("CASE").status != kExitOk) broken("the stock run CASE does not end normally");
    write_stock_run(short_run("CONT", 0, "CASE.UNF", 6, 6));
    write_stock_run(short_run("DUMP", 0, "FUZZ.UNF", 0, 12));
    write_stock_run(short_run("DUMI", 0, "FUZZ.UNF", 0, 12, 0));
    write_stock_run(short_run("FUZZ", 1, "NACA0012.DAT", 12, 12));
    write_stock_run(short_run("FUZC", 0, "CASE.UNF", 6, 6));
    for (const char* name : {"NACA0012.DAT", "CASE.NAM", "CASE.TIN", "CASE.UNF", "FOIL.NAM", "FOIL.TIN", "CONT.NAM", "CONT.TIN",
                             "DUMP.NAM", "DUMP.TIN", "DUMI.NAM", "DUMI.TIN", "FUZZ.NAM", "FUZC.NAM"})
      if (!read_file(name, stock[name])) broken(std::string("stock file ") + name + " was not written");
  }

  // Removes what a run wrote and puts back the stock files it changed.
  void restock() {
    for (const auto& entry : stdfs::directory_iterator(dir)) {
      const std::string name = entry.path().filename().string();
      auto it = written.find(name);
      if (it == written.end() || !unchanged(name, it->second)) stdfs::remove_all(entry.path());
    }
    for (const auto& [name, text] : stock) {
      struct stat st;
      if (::stat(name.c_str(), &st) == 0) continue;
      write_file(name, text);
      if (::stat(name.c_str(), &st) != 0) broken("cannot restock " + name);
      written[name] = st;
    }
  }

  static bool unchanged(const std::string& name, const struct stat& then) {
    struct stat now;
    return ::stat(name.c_str(), &now) == 0 && now.st_ino == then.st_ino && now.st_size == then.st_size &&
           now.st_mtim.tv_sec == then.st_mtim.tv_sec && now.st_mtim.tv_nsec == then.st_mtim.tv_nsec;
  }
};

void put_int_field(std::string& line, size_t column, int32_t v) {
  if (line.size() < column + kIntWidth) line.resize(column + kIntWidth, ' ');
  line.replace(column, kIntWidth, format_int(v, kIntWidth));
}

// Status 4 ends NAME.SEP only after a normal end; then every coefficient
// must be a number.
void check_contract(const FlowState& fs, const std::string& name) {
  std::string sep;
  if (!read_file(name + ".SEP", sep)) return;
  std::vector<std::string> records;
  std::istringstream in(sep);
  for (std::string line; std::getline(in, line);) records.push_back(line);
  if (records.empty() || records.back() != kStatusNormalEnd) return;

  const Results& r = fs.res;
  std::vector<std::pair<const char*, float>> coefficients = {
      {"CL", r.CL}, {"CM", r.CM}, {"CDP", r.CDP}, {"CD1", r.CD1}, {"CD2", r.CD2}};
  if (fs.run.IVP != 0) {
    coefficients.push_back({"CDF", fs.cpl.CDF});
    coefficients.push_back({"CDV", fs.cpl.CDV});
  }
  for (const auto& [what, value] : coefficients)
    if (!std::isfinite(value))
      broken("run " + name + " wrote status 4 with " + what + " = " + std::to_string(value));
  for (const std::string& record : records)
    if (record.find('*') != std::string::npos)
      broken("run " + name + " wrote status 4 and the coefficient record '" + record + "'");
}

}  // namespace

RunScope::RunScope() : home_(working_folder()) {
  Scratch& s = Scratch::scratch();
  enter(s.dir);
  units().capture(kConsoleOut);
  if (s.stock.empty()) s.make_stock();
  s.restock();
}

RunScope::~RunScope() {
  units().close_all();
  enter(home_);
}

std::string as_text(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }

void write_file(const std::string& name, const std::string& text) {
  std::ofstream out(name, std::ios::binary);
  out << text;
  if (!out.flush()) broken("cannot write " + name + " in the scratch folder");
}

bool read_file(const std::string& name, std::string& text) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return true;
}

bool read_field(const std::vector<std::string>& lines, size_t k, const Layout& layout, int32_t& v) {
  return k < lines.size() && parse_record(lines[k], layout, {v}) == ReadStatus::kOk;
}

// Follows the records in the order the driver reads them; where a record
// cannot be read the run stops, and so does the following.
std::string short_stages(const std::string& run_data) {
  std::vector<std::string> lines;
  for (size_t start = 0;;) {
    size_t end = run_data.find('\n', start);
    lines.push_back(run_data.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  int32_t ivp = 0, budget = kRunSweeps;
  bool readable = read_field(lines, 0, kTitleSwitch, ivp);
  for (size_t k = kFirstStepRecord; readable && k < lines.size();) {
    const size_t step = k++;
    int32_t ns = 0, ityp = 0, follow = 0;
    if (parse_record(lines[step], kStep, {ns, ityp}) != ReadStatus::kOk ||
        parse_record(lines[step], kFollowFlag, {follow}) != ReadStatus::kOk || (ns == 0 && ityp == 0))
      break;
    if (follow != 0) ++k;  // the viscous-options record
    if (ns > 0 && ityp == 0) {  // geometry step: mapping control, subdivision pairs
      int32_t maxit = 0, iend = 0;
      if (read_field(lines, k, kMappingLimit, maxit) && maxit > kMappingPasses)
        put_int_field(lines[k], kMaxitColumn, kMappingPasses);
      ++k;
      do readable = read_field(lines, k++, kSubdivisionEnd, iend);
      while (readable && iend < kClosingPair);
    } else if (ns > 0 && ityp > 0) {  // iteration stage: the boundary-layer records of a viscous run
      int32_t sweeps = std::max(1, std::min({ns, kStageSweeps, budget}));
      budget = std::max(0, budget - sweeps);
      if (sweeps != ns) put_int_field(lines[step], kNsColumn, sweeps);
      int32_t coupling = 0;
      if (ivp != 0) readable = read_field(lines, k++, kCouplingFlag, coupling);
      if (coupling != 0) ++k;
    }
  }
  std::string out;
  for (size_t k = 0; k < lines.size(); ++k) out += (k ? "\n" : "") + lines[k];
  return out;
}

RunEnd run_and_check(const std::string& name) {
  // One flow state for every run, set afresh: cheaper than a new one each time.
  static const auto fresh = std::make_unique<const FlowState>();
  static const auto fs = std::make_unique<FlowState>();
  *fs = *fresh;
  RunEnd end;
  try {
    run_tarn(*fs, name);
  } catch (const RunStop& stop) {
    end = {stop.status, stop.what()};
  }
  units().close_all();
  check_contract(*fs, name);
  return end;
}

const std::string& stock_file(const std::string& name) {
  Scratch& s = Scratch::scratch();
  if (s.stock.empty()) RunScope make_it;
  auto it = s.stock.find(name);
  if (it == s.stock.end()) broken("no stock file " + name);
  return it->second;
}

void broken(const std::string& what) {
  std::fprintf(stderr, "\ntarn fuzz contract broken: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace tarn::fuzz

// Whole runs change the working folder while they execute, so that the file
// names of a run stay inside the scratch folder. Unless the command line says
// otherwise, the inputs that crash are saved in the folder the fuzzer was
// started in, given by its full path.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static std::string prefix;
  static std::vector<char*> args;
  for (int k = 1; k < *argc; ++k)
    if (std::strncmp((*argv)[k], "-artifact_prefix=", 17) == 0) return 0;
  prefix = "-artifact_prefix=" + tarn::fuzz::working_folder() + "/";
  args.assign(*argv, *argv + *argc);
  args.insert(args.begin() + 1, prefix.data());
  args.push_back(nullptr);
  *argc += 1;
  *argv = args.data();
  return 0;
}

// AddressSanitizer holds freed memory back for a while to catch its use; the
// default of 256 MB makes every run of a target touch fresh pages, and a
// smaller hold still spans many whole runs.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=32"; }
