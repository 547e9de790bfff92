// Whole text files, read at once and written through a temporary file
// renamed into place, so that a reader never sees half a file. Every file
// that a program replaces whole is staged the same way (text files here,
// the solver's units that are replaced when they close).
#pragma once

#include <cstdio>
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
// Writes a temporary beside PATH and renames it to PATH; throws WriteError
// and leaves PATH as it was when that fails, and when PATH is something
// other than a regular file (a device, a pipe, a folder).
void write_text(const std::string& path, const std::string& text);

// The file that a file written whole under `name` replaces: `name`, or the
// file a symbolic link there points to (so that the link survives). Empty
// when `name` exists and is not a regular file.
std::string replaced_file(const std::string& name);
// Creates the temporary that will replace `replaced`, in its folder under a
// name of its own (the file's name, ".tarn-new." and a random token), and
// exclusively: the creation fails wherever anything exists at that name, a
// symbolic link included, so that nothing planted there is followed or
// overwritten (another name is then tried). Returns it open for writing and
// sets `temporary`, or returns null with errno set.
std::FILE* create_temporary(const std::string& replaced, std::string& temporary);

}  // namespace tarn
