// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace sonlet {

// Runs a program with arguments (no shell), in `directory` when given, and collects what it
// printed. For end-to-end tests of the command line. `environment_changes` edits the environment
// the program gets: "NAME=VALUE" sets NAME, a bare "NAME" removes it.
struct ProgramRun {
  int status = -1;  // the exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& directory = "",
                      const std::vector<std::string>& environment_changes = {});

}  // namespace sonlet
