#include "text_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tarn {

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_text(const std::string& path, const std::string& text) {
  std::string temporary = path + ".part";
  auto fail = [&](const char* why) {
    std::remove(temporary.c_str());
    throw WriteError(path, why);
  };
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) fail(std::strerror(errno));
    out << text;
    out.close();
    if (!out) fail(std::strerror(errno));
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) fail(std::strerror(errno));
}

}  // namespace tarn
