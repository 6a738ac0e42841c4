#include "tests/support/run.h"
#include "tests/support/files.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace bftest {

namespace {

// In the child: never returns.
[[noreturn]] void exec_child(const std::string &program, const std::vector<std::string> &args,
                             const RunOptions &options, const std::string &out, const std::string &err) {
  const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644); // /dev/null too
  const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int in = open(options.input.c_str(), O_RDONLY);
  if (o < 0 || e < 0 || in < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0 || dup2(in, 0) < 0)
    _exit(127);
  if (options.own_group)
    setpgid(0, 0);
  if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0)
    _exit(127);
  for (const std::string &assignment : options.env)
    putenv(const_cast<char *>(assignment.c_str()));
  std::vector<char *> argv{const_cast<char *>(program.c_str())};
  for (const std::string &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  if (options.time_limit > 0)
    alarm(static_cast<unsigned>(options.time_limit)); // a hang fails one case, not the suite
  if (options.address_limit_mb > 0) {
    const rlim_t bytes = static_cast<rlim_t>(options.address_limit_mb) << 20;
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_AS, &limit);
  }
  execv(program.c_str(), argv.data());
  _exit(127);
}

} // namespace

pid_t start_program(const std::string &program, const std::vector<std::string> &args,
                    const RunOptions &options, const std::string &out_path, const std::string &err_path) {
  const pid_t pid = fork();
  if (pid == 0)
    exec_child(program, args, options, out_path, err_path);
  return pid;
}

int wait_program(pid_t pid) {
  int status = 0;
  if (pid <= 0 || waitpid(pid, &status, 0) != pid)
    return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int run_logged(const std::string &program, const std::vector<std::string> &args, const std::string &cwd,
               const std::string &log) {
  RunOptions options;
  options.cwd = cwd;
  return wait_program(start_program(program, args, options, "/dev/null", log));
}

RunResult run_program(const std::string &program, const std::vector<std::string> &args,
                      const RunOptions &options) {
  ScratchDir logs("bf_run");
  const std::string out = logs.file("stdout"), err = logs.file("stderr");
  const pid_t pid = start_program(program, args, options, out, err);
  RunResult result;
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
    result.status = WEXITSTATUS(status);
  result.out = read_file(out);
  result.err = read_file(err);
  return result;
}

} // namespace bftest
