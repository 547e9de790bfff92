// What every program of the product says about itself on its command line:
// usage, help, the version line and where the user's guide is to be found.
#pragma once

#include <string>

namespace tarn {

// Folder of the user's guide below an installation prefix.
constexpr const char* kGuideFolder = "share/doc/tarn";
constexpr const char* kGuideFile = "guide.md";

// A program's own texts: its name, the usage lines and the rest of --help.
struct ProgramHelp {
  const char* name;
  const char* usage;
  const char* details;
};

// Answers --help (-h) and --version, and refuses any other argument that
// starts with '-': returns the exit status when the program is to stop at
// once, or -1 when the argument is the program's own (an operand).
int answer_option(const ProgramHelp& help, const std::string& arg);

// The reason and the usage on standard error; returns the exit status of a
// bad command line.
int usage_error(const ProgramHelp& help, const std::string& why);

// "PROGRAM VERSION", the line that --version prints.
std::string version_line(const std::string& program);

// Where the user's guide is: its full path when the running program is an
// installed one (PREFIX/bin/PROGRAM beside PREFIX/share/doc/tarn/guide.md),
// otherwise where it stands in the sources and where an installation puts it.
std::string guide_location();

}  // namespace tarn
