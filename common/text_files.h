// Whole text files, read at once and written through a temporary file
// renamed into place, so that a reader never sees half a file.
#pragma once

#include <string>

namespace tarn {

// Throws std::runtime_error ("cannot read PATH") when the file cannot be read.
std::string read_text(const std::string& path);
// Writes PATH.part and renames it to PATH; throws std::runtime_error
// ("cannot write PATH") and leaves PATH as it was when that fails.
void write_text(const std::string& path, const std::string& text);

}  // namespace tarn
