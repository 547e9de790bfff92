#include "run_files.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "records.h"
#include "support.h"

namespace tarn::test {

namespace {

std::string records(const char* layout, const std::vector<Value>& values) {
  std::string out;
  for (const auto& r : format_records(Layout(layout), values)) out += r + "\n";
  return out;
}

std::string iteration(int ns, int ityp, float em, float alp, const RunSetup& s, int follow) {
  return records("(2I5, 3F10.4, 4F5.3, I5)", {ns, ityp, em, alp, 0.0f, s.xs, s.xm, s.ep, s.qcp, follow});
}

std::string stage(const RunSetup& s, int ns, int np, float gvisc, int nvisc, int print, bool first = false,
                  bool options = true) {
  bool zeros = s.icl == 1 && s.viscous && !first;
  float em = zeros ? 0.0f : s.em;
  float alp = zeros ? 0.0f : s.alp;
  std::string out = iteration(ns, 1, em, alp, s, options ? 1 : 0);
  if (!options) return out;
  out += records("(5I5, F5.2, F10.5, I5, 2F10.4)",
                 {1, 1, 0, np, 1, 1.0f, 0.0f, s.viscous ? s.icl : 0, s.viscous ? s.clc : 0.0f, 0.5f});
  if (s.viscous) {
    int more = s.coupling_records ? 1 : 0;
    out += records("(2F10.4, I5, E10.3, 3F10.4, I5)", {gvisc, 0.001f, print, s.r, s.xtu, s.xtl, 0.05f, more});
    if (more) out += records("(3I5, 2F10.7)", {2 * nvisc, nvisc, 0, 0.0f, 0.0f});
  }
  return out;
}

}  // namespace

std::string names_file(const RunSetup& s) {
  std::string out;
  for (const char* ext : {".NAM", ".TIN", ".IEH", ".VEH", ".FUL", ".BRF", ".GRD", ".UNF"}) out += s.name + ext + "\n";
  out += "1\n";
  out += records("(A12)", {s.aerofoil + std::string(12 - s.aerofoil.size(), ' ')});
  out += std::string(s.dump ? "1" : "0") + "\n" + (s.grid ? "1" : "0") + "\n";
  return out;
}

std::string run_data_file(const RunSetup& s) {
  std::string title = s.title + std::string(68 - s.title.size(), ' ');
  std::string out = records("(I5, A68)", {s.viscous ? 4 : 0, title});
  out += " \n";
  out += iteration(s.nsg, 0, s.em, s.alp, s, 0);
  out += records("(5I1, 2I5, F10.6, F10.2)", {1, 1, 0, 0, 0, 30, 1, 0.000001f, 100.0f});
  out += records("(2I5)", {1000, 1});
  if (s.nsc > 0) {
    out += records("(2I5)", {-1, 1});
    out += stage(s, s.nsc, s.nsg / 2 + 1, s.gviscc, s.nviscc, 0);
    out += records("(2I5)", {1, -1});
  }
  out += stage(s, s.nsf, s.nsg + 1, s.gviscf, s.nviscf, s.vprint_fine);
  if (s.dump) out += records("(2I5)", {0, -1});
  out += records("(2I5)", {0, 0});
  return out;
}

std::string naca0012_section(const std::string& dir) { return run_program("tarnfoil", dir, "", "naca 0012 --closed").out; }

RunSetup rae2822_case6(const std::string& aerofoil_source) {
  RunSetup s;
  s.aerofoil = "RAE2822.DAT";
  s.aerofoil_source = aerofoil_source;
  s.em = 0.729f;
  s.alp = 2.31f;
  s.icl = 1;
  s.clc = 0.743f;
  s.r = 6.5e6f;
  s.xtu = s.xtl = 0.03f;
  return s;
}

void write_new_run(const std::string& dir, const RunSetup& s) {
  write_file(dir + "/" + s.name + ".NAM", names_file(s));
  write_file(dir + "/" + s.name + ".TIN", run_data_file(s));
  std::string aerofoil = s.aerofoil_source.empty() ? naca0012_section(dir) : read_file(s.aerofoil_source);
  write_file(dir + "/" + s.aerofoil, aerofoil);
}

void write_continuation_run(const std::string& dir, const RunSetup& s, const std::string& dump) {
  std::string nam;
  for (const char* ext : {".NAM", ".TIN", ".IEH", ".VEH", ".FUL", ".BRF", ".GRD", ".UNF"}) nam += s.name + ext + "\n";
  nam += "0\n" + dump + "\n" + (s.dump ? "1" : "0") + "\n0\n";
  write_file(dir + "/" + s.name + ".NAM", nam);
  std::string title = s.title + std::string(68 - s.title.size(), ' ');
  std::string out = records("(I5, A68)", {s.viscous ? 4 : 0, title});
  out += " \n";
  out += records("(2I5)", {0, 1});
  bool options = s.viscous;
  if (s.nsc > 0) {
    out += records("(2I5)", {-1, 1});
    out += stage(s, s.nsc, s.nsg / 2 + 1, s.gviscc, s.nviscc, 0, true, options);
    out += records("(2I5)", {1, -1});
  }
  out += stage(s, s.nsf, s.nsg + 1, s.gviscf, s.nviscf, s.vprint_fine, s.nsc == 0, options);
  if (s.dump) out += records("(2I5)", {0, -1});
  out += records("(2I5)", {0, 0});
  write_file(dir + "/" + s.name + ".TIN", out);
}

namespace {
bool value_after(const std::string& line, const char* label, float& v) {
  size_t p = line.find(label);
  if (p == std::string::npos) return false;
  return std::sscanf(line.c_str() + p + std::strlen(label), "%f", &v) == 1;
}
}  // namespace

Summary last_summary(const std::string& listing) {
  Summary s;
  for (const auto& line : lines_of(listing)) {
    if (value_after(line, "   EM = ", s.em)) {
      s.found = true;
      value_after(line, "ALP = ", s.alp);
    }
    if (value_after(line, "   CL = ", s.cl)) value_after(line, "CM = ", s.cm);
    if (value_after(line, "  CDP = ", s.cdp)) value_after(line, " CDF = ", s.cdf);
    value_after(line, "  CD1 = ", s.cd1);
    value_after(line, "  CD2 = ", s.cd2);
    value_after(line, "  CDV = ", s.cdv);
    if (value_after(line, "  CDV+CD1 = ", s.cdv_cd1)) value_after(line, "CDV+CD2 = ", s.cdv_cd2);
  }
  return s;
}

int run_tarn(const std::string& dir, const std::string& name) {
  return run_program("tarn", dir, name + "\n").status;
}

}  // namespace tarn::test
