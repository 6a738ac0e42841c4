// Runs a program as a user runs it and captures what it says.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace bftest {

struct RunOptions {
  std::string cwd;                 // empty: the test's own
  std::vector<std::string> env;    // NAME=VALUE, added to the test's environment
  int time_limit = 60;             // seconds before the program is stopped (SIGALRM); 0: none
  long address_limit_mb = 0;       // its address space (RLIMIT_AS) in MiB; 0: no limit
  std::string input = "/dev/null"; // its standard input
  bool own_group = false;          // leads a process group of its own, to be stopped whole
};

struct RunResult {
  int status = -1; // the exit code; -1 when the program did not exit normally
  std::string out, err;
};

// Runs program with args (stdin from options.input); its output goes
// through files outside the working folder.
RunResult run_program(const std::string &program, const std::vector<std::string> &args,
                      const RunOptions &options = {});

// Starts the program as run_program does, with its output going to out_path
// and err_path ("/dev/null" drops it), and answers its process id.
pid_t start_program(const std::string &program, const std::vector<std::string> &args,
                    const RunOptions &options, const std::string &out_path, const std::string &err_path);
// Waits for a started program: its exit code, or 128 + the signal that ended it.
int wait_program(pid_t pid);

// Runs the program in the folder `cwd`, its standard error into the file
// `log` (standard output dropped); answers as wait_program does.
int run_logged(const std::string &program, const std::vector<std::string> &args, const std::string &cwd,
               const std::string &log);

} // namespace bftest
