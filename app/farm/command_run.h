// Running one of Slurm's commands (sbatch, squeue, sacct, scancel): the
// program and its arguments go to exec as they are, with no shell between,
// so a folder name can hold any character.
#pragma once

#include <string>
#include <vector>

namespace bf {

struct CommandResult {
  bool started = false; // false: the program could not be run (`error` says why)
  int status = -1;      // its exit code; -1 when a signal or the time limit ended it
  std::string out, err; // what it wrote to standard output and standard error
  std::string error;    // why it did not run or did not finish
  bool ok() const { return started && status == 0; }
};

// Runs argv[0] (looked up on the PATH) with standard input from /dev/null,
// and waits at most `seconds` for it; a program that takes longer is killed.
CommandResult run_command(const std::vector<std::string> &argv, double seconds);

} // namespace bf
