// Checks on the names a user types: run names, dump names and the aerofoil
// data file name, which must fit a file system of 8-character names with
// 3-character extensions.
#include <algorithm>

#include "prep.h"

namespace tarn {

namespace {

constexpr int kLongestStem = 8;       // characters before the dot
constexpr int kLongestExtension = 3;  // characters after the dot

bool is_alphanumeric(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

bool all_alphanumeric(const std::string& text) { return std::all_of(text.begin(), text.end(), is_alphanumeric); }

std::string aerofoil_name_message(const std::string& answer) {
  if (answer.empty() || answer[0] == ' ') return " ***INPUT ERROR, first character is a space***";
  const std::string name = answer.substr(0, answer.find(' '));
  const int length = static_cast<int>(name.size());
  const auto dots = std::count(name.begin(), name.end(), '.');
  const int dot = static_cast<int>(name.find('.')) + 1;  // 1-based position of the dot
  if (dots >= 2) return " ***INPUT ERROR, too many dots in file name***";
  if (dots == 0 && length > kLongestStem) return " ***INPUT ERROR, file name too long***";
  if (dots == 1 && dot > kLongestStem + 1) return " ***INPUT ERROR, file name before dot too long***";
  if (dots == 1 && length - dot > kLongestExtension) return " ***INPUT ERROR, file name extension too long***";
  if (dots == 1 && dot == 1) return " ***INPUT ERROR,file name before extension absent***";
  std::string without_dot = name;
  without_dot.erase(std::remove(without_dot.begin(), without_dot.end(), '.'), without_dot.end());
  if (!all_alphanumeric(without_dot)) return " ***INPUT ERROR, non-alphanumeric char(s) detected***";
  return std::string();
}

}  // namespace tarn
