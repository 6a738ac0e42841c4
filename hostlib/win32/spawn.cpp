// _spawnl and _unlink. Programs are started directly with execv, never
// through a shell: the module's arguments hold "$$", which a shell would
// replace by its process id. fork and exec rather than posix_spawn: the
// child must ask to die with its parent (PR_SET_PDEATHSIG), which
// posix_spawn has no setting for.
#include "spawn_control.h"
#include "win32.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <fcntl.h>
#include <signal.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<pid_t> running{0};
std::atomic<int> output_fd{-1};
Win32SpawnResult last_result{};
Win32SpawnFiles last_files;
WIN32_SPAWN_HOOK finished_hook = nullptr;
void *finished_user = nullptr;
WIN32_SPAWN_START_HOOK starting_hook = nullptr;
void *starting_user = nullptr;

// In the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void exec_child(const char *path, char *const *argv, int report_fd, int out, pid_t parent) {
  // The program and everything it starts form a process group of their own,
  // so that stopping it (win32_spawn_running) reaches its children too.
  setpgid(0, 0);
  // It dies with the host, even one that is killed outright (the setting
  // is kept across exec). A host gone before the setting took is seen here.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent)
    _exit(127);
  if (out >= 0) {
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
  }
  execv(path, argv);
  int error = errno;
  ssize_t ignored = write(report_fd, &error, sizeof error);
  (void)ignored;
  _exit(127);
}

int wait_for(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR)
      return -1;
  }
  return status;
}

} // namespace

// spawn_files.cpp
Win32SpawnFiles win32_describe_spawn(const std::vector<std::string> &args);

Win32SpawnResult win32_last_spawn() { return last_result; }

Win32SpawnFiles win32_last_spawn_files() { return last_files; }

void win32_spawn_set_starting(WIN32_SPAWN_START_HOOK hook, void *user) {
  starting_hook = hook;
  starting_user = user;
}

int win32_spawn_set_output(int fd) { return output_fd.exchange(fd); }

pid_t win32_spawn_running() { return running.load(); }

void win32_spawn_set_finished(WIN32_SPAWN_HOOK hook, void *user) {
  finished_hook = hook;
  finished_user = user;
}

intptr_t _spawnl(int mode, const char *path, const char *arg0, ...) {
  last_result = Win32SpawnResult{};
  last_files = Win32SpawnFiles{};
  if (mode != _P_WAIT || !path) {
    last_result.error = errno = EINVAL;
    return -1;
  }
  std::string program(path);
  for (char &c : program)
    if (c == '\\')
      c = '/';
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(arg0));
  if (arg0) {
    va_list args;
    va_start(args, arg0);
    while (const char *arg = va_arg(args, const char *))
      argv.push_back(const_cast<char *>(arg));
    va_end(args);
    argv.push_back(nullptr);
  }
  last_files = win32_describe_spawn(std::vector<std::string>(argv.begin() + 1, argv.end() - (arg0 ? 1 : 0)));
  if (starting_hook && !starting_hook(starting_user)) {
    last_result.error = errno = ECANCELED;
    return -1;
  }

  // A close-on-exec pipe tells a failed exec apart from a program that ran.
  int report[2];
  if (pipe2(report, O_CLOEXEC) < 0) {
    last_result.error = errno;
    return -1;
  }
  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid < 0) {
    last_result.error = errno;
    close(report[0]);
    close(report[1]);
    return -1;
  }
  if (pid == 0)
    exec_child(program.c_str(), argv.data(), report[1], output_fd.load(), parent);
  setpgid(pid, pid); // also here, so the group exists before anyone signals it
  running.store(pid);
  close(report[1]);
  int error = 0;
  ssize_t n;
  while ((n = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  int status = wait_for(pid);
  running.store(0);
  if (n == static_cast<ssize_t>(sizeof error)) {
    last_result.error = errno = error;
    return -1;
  }
  last_result.started = 1;
  intptr_t answer = -1;
  if (status >= 0 && WIFEXITED(status)) {
    last_result.exited = 1;
    last_result.status = WEXITSTATUS(status);
    answer = last_result.status;
  } else if (status >= 0 && WIFSIGNALED(status)) {
    // As a shell reports it: never 0, never mistaken for a failed start.
    last_result.signal = WTERMSIG(status);
    answer = 128 + last_result.signal;
  }
  if (finished_hook)
    finished_hook(finished_user);
  return answer;
}

int _unlink(const char *path) { return unlink(path); }
