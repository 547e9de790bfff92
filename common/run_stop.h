// The one way a run ends early: throw a RunStop carrying the message for the
// console and the process exit status; main catches it, closes the files and
// returns the status.
#pragma once

#include <stdexcept>
#include <string>

namespace tarn {

enum ExitStatus : int {
  kExitOk = 0,
  kExitFailure = 1,    // a fatal condition met by the solver (overflow, spline failure)
  kExitBadInput = 2,   // a file that cannot be opened or a record that cannot be read
  kExitDiverged = 3,   // the potential iteration diverged (status record -4)
};

struct RunStop : std::runtime_error {
  int status;
  RunStop(const std::string& message, int exit_status)
      : std::runtime_error(message), status(exit_status) {}
};

}  // namespace tarn
