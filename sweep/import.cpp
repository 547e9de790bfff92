// The aerofoil of a study: any coordinate file that tarnfoil reads, kept in
// the study folder as an aerofoil data file under a name the run files can
// carry.
#include <cstdio>
#include <iostream>

#include "files.h"
#include "foil.h"

namespace tarn::sweep {

Aerofoil import_aerofoil(const std::string& source, bool derotate) {
  foil::Imported imported = foil::read_section(source, derotate);
  const foil::Report& r = imported.report;
  char angle[160];
  std::snprintf(angle, sizeof angle, "the chord line rises %.4f degrees to the trailing edge; %s", r.rotation,
                r.derotated ? "turned level (--derotate)" : "the file's axes kept (--derotate levels it)");
  std::cerr << "tarnsweep: " << source << ": " << angle << '\n';
  if (r.form != foil::Form::kNative)
    for (const std::string& change : r.done) std::cerr << "tarnsweep: " << source << ": " << change << '\n';
  for (const std::string& doubt : r.suspicious) std::cerr << "tarnsweep: " << source << ": " << doubt << '\n';
  Aerofoil a;
  a.name = foil::default_output_name(source);
  a.title = utf8_text(imported.section.title);
  // A file already in the native form is kept as it stands, so that a point
  // runs on the very file a user would give tarnprep; the other forms are
  // written as tarnfoil import writes them.
  a.text = imported.report.form == foil::Form::kNative ? read_text(source) : foil::aerofoil_file_text(imported.section);
  return a;
}

}  // namespace tarn::sweep
