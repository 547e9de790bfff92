// The aerofoil data file that tarn reads, and where it goes.
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "foil.h"
#include "text_files.h"

namespace tarn::foil {

namespace {

constexpr size_t kTitleLength = 80;  // tarn reads the title as 80 characters
constexpr size_t kLongestStem = 8;   // characters of a name before the dot

bool mirrored(const Section& s) {
  if (s.xl != s.xu) return false;
  for (size_t i = 0; i < s.zu.size(); ++i)
    if (s.zl[i] != -s.zu[i]) return false;
  return true;
}

void add_points(std::string& text, const std::vector<double>& x, const std::vector<double>& z) {
  char line[64];
  for (size_t i = 0; i < x.size(); ++i) {
    std::snprintf(line, sizeof line, "  %.9e  %.9e\n", x[i], z[i]);
    text += line;
  }
}

}  // namespace

std::string aerofoil_file_text(const Section& s) {
  // A symmetric section is written by its upper surface alone.
  const bool symmetric = mirrored(s);
  std::string text = s.title.substr(0, kTitleLength) + "\n";
  char counts[64];
  std::snprintf(counts, sizeof counts, "%d %zu %zu 0.0 1.0\n", symmetric ? 1 : 0, s.xu.size(), s.xl.size());
  text += counts;
  add_points(text, s.xu, s.zu);
  if (!symmetric) add_points(text, s.xl, s.zl);
  return text;
}

void write_aerofoil_file(const Section& section, const std::string& path) {
  try {
    write_text(path, aerofoil_file_text(section));
  } catch (const WriteError& e) {
    throw FoilError(path, 0, "cannot be written: " + e.reason);
  }
}

void check_output(const std::string& input, const std::string& output, bool replace) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::exists(output, ec)) return;
  if (!input.empty() && fs::equivalent(input, output, ec))
    throw FoilError(output, 0, "the output would overwrite the input file: give another name with -o");
  if (fs::is_directory(output, ec)) throw FoilError(output, 0, "a folder, not a file");
  if (!replace) throw FoilError(output, 0, "exists already: give --force to replace it");
}

std::string default_output_name(const std::string& input) {
  std::string name;
  for (char c : std::filesystem::path(input).stem().string()) {
    if (name.size() == kLongestStem) break;
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u)) name += static_cast<char>(std::toupper(u));
  }
  return (name.empty() ? std::string("AEROFOIL") : name) + ".DAT";
}

}  // namespace tarn::foil
