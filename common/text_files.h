// Whole text files, read at once and written through a temporary file
// renamed into place, so that a reader never sees half a file.
#pragma once

#include <stdexcept>
#include <string>

namespace tarn {

// A file that cannot be written: what() is "cannot write PATH"; reason is
// the file system's word for it.
struct WriteError : std::runtime_error {
  WriteError(const std::string& path, std::string why)
      : std::runtime_error("cannot write " + path), reason(std::move(why)) {}
  std::string reason;
};

// Throws std::runtime_error ("cannot read PATH") when the file cannot be read.
std::string read_text(const std::string& path);
// Writes PATH.part and renames it to PATH; throws WriteError and leaves PATH
// as it was when that fails.
void write_text(const std::string& path, const std::string& text);

}  // namespace tarn
