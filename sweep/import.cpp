// The aerofoil of a study: any coordinate file that tarnfoil reads, kept in
// the study folder as an aerofoil data file under a name the run files can
// carry.
#include <iostream>

#include "files.h"
#include "foil.h"

namespace tarn::sweep {

Aerofoil import_aerofoil(const std::string& source) {
  foil::Imported imported = foil::read_section(source);
  for (const std::string& doubt : imported.report.suspicious)
    std::cerr << "tarnsweep: " << source << ": " << doubt << '\n';
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
