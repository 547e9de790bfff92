#include "command_line.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "run_stop.h"
#include "version.h"

namespace tarn {

constexpr int kOperand = -1;

int answer_option(const ProgramHelp& help, const std::string& arg) {
  if (arg == "--help" || arg == "-h") {
    std::cout << help.usage << help.details << "\nUser's guide: " << guide_location() << '\n';
    return kExitOk;
  }
  if (arg == "--version") {
    std::cout << version_line(help.name) << '\n';
    return kExitOk;
  }
  if (!arg.empty() && arg[0] == '-') return usage_error(help, "unknown option '" + arg + "'");
  return kOperand;
}

int usage_error(const ProgramHelp& help, const std::string& why) {
  std::cerr << help.name << ": " << why << '\n'
            << help.usage << "Try '" << help.name << " --help' for more.\n";
  return kExitBadInput;
}

std::string version_line(const std::string& program) { return program + " " + kVersion; }

std::string guide_location() {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path program = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    fs::path installed = program.parent_path().parent_path() / kGuideFolder / kGuideFile;
    if (fs::is_regular_file(installed, ec)) return installed.string();
  }
  return std::string("docs/") + kGuideFile + " in the tarn sources, installed as PREFIX/" + kGuideFolder + "/" +
         kGuideFile;
}

}  // namespace tarn
