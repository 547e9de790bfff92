// The aerofoil of a study: read from the file as given and kept in the study
// folder as an aerofoil data file under a name the run files can carry.
#include <cctype>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "files.h"
#include "geometry/geometry.h"
#include "run/run.h"
#include "units.h"

namespace tarn::sweep {

namespace {

constexpr size_t kLongestStem = 8;
const char* const kExtension = ".DAT";
const char* const kFallbackStem = "AEROFOIL";

// Letters and digits of the file's own name, in capitals, at most eight.
std::string eight_three_name(const std::string& source) {
  std::string stem;
  for (char c : std::filesystem::path(source).stem().string())
    if (std::isalnum(static_cast<unsigned char>(c)) && stem.size() < kLongestStem)
      stem += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return (stem.empty() ? kFallbackStem : stem) + kExtension;
}

std::string trimmed(std::string s) {
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

}  // namespace

Aerofoil import_aerofoil(const std::string& source) {
  Aerofoil a;
  a.text = read_text(source);
  a.name = eight_three_name(source);
  if (!aerofoil_name_message(a.name).empty()) throw std::runtime_error("no usable file name for " + source);
  // Read as the solver reads it, so that a file the runs would refuse is
  // refused before any run starts.
  auto state = std::make_unique<FlowState>();
  Units& u = units();
  try {
    u.open(kAerofoil, source, OpenStatus::kExisting);
    read_aerofoil(*state);
  } catch (const RunStop& stop) {
    u.close_all();
    throw std::runtime_error(stop.what());
  }
  u.close(kAerofoil);
  a.title = trimmed(state->run.AEROTITLE);
  return a;
}

}  // namespace tarn::sweep
