// fork and exec, standard output and standard error read through pipes until
// both close, under a time limit.
#include "app/farm/command_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace bf {

namespace {

// A pipe whose ends close on exec and with the object.
struct Pipe {
  int fd[2] = {-1, -1};
  bool open() { return pipe2(fd, O_CLOEXEC) == 0; }
  void close_end(int i) {
    if (fd[i] >= 0)
      close(fd[i]);
    fd[i] = -1;
  }
  ~Pipe() {
    close_end(0);
    close_end(1);
  }
};

[[noreturn]] void exec_child(const std::vector<std::string> &argv, Pipe &out, Pipe &err, Pipe &failed) {
  const int null_fd = open("/dev/null", O_RDONLY);
  if (null_fd < 0 || dup2(null_fd, STDIN_FILENO) < 0 || dup2(out.fd[1], STDOUT_FILENO) < 0 ||
      dup2(err.fd[1], STDERR_FILENO) < 0)
    _exit(127);
  std::vector<char *> args;
  for (const std::string &arg : argv)
    args.push_back(const_cast<char *>(arg.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  const int error = errno;
  ssize_t ignored = write(failed.fd[1], &error, sizeof error);
  (void)ignored;
  _exit(127);
}

// Reads both pipes until they close or the deadline passes; false at the deadline.
bool read_until_closed(Pipe &out, Pipe &err, CommandResult &result, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  char buffer[4096];
  while (out.fd[0] >= 0 || err.fd[0] >= 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      return false;
    pollfd fds[2] = {{out.fd[0], POLLIN, 0}, {err.fd[0], POLLIN, 0}};
    if (poll(fds, 2, static_cast<int>(left.count())) < 0 && errno != EINTR)
      return false;
    Pipe *pipes[2] = {&out, &err};
    std::string *texts[2] = {&result.out, &result.err};
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
        continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0)
        texts[i]->append(buffer, static_cast<size_t>(n));
      else if (n == 0 || errno != EINTR)
        pipes[i]->close_end(0);
    }
  }
  return true;
}

} // namespace

CommandResult run_command(const std::vector<std::string> &argv, double seconds) {
  CommandResult result;
  Pipe out, err, failed;
  if (argv.empty() || !out.open() || !err.open() || !failed.open()) {
    result.error = std::strerror(errno);
    return result;
  }
  const pid_t pid = fork();
  if (pid < 0) {
    result.error = std::strerror(errno);
    return result;
  }
  if (pid == 0)
    exec_child(argv, out, err, failed);
  out.close_end(1);
  err.close_end(1);
  failed.close_end(1);
  int exec_error = 0;
  const bool finished = read_until_closed(out, err, result, seconds);
  if (!finished)
    kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (read(failed.fd[0], &exec_error, sizeof exec_error) == sizeof exec_error) {
    result.error = "cannot run " + argv[0] + ": " + std::strerror(exec_error);
    return result;
  }
  result.started = true;
  if (!finished)
    result.error =
        argv[0] + " did not answer within " + std::to_string(static_cast<int>(seconds)) + " seconds";
  else if (WIFEXITED(status))
    result.status = WEXITSTATUS(status);
  else
    result.error = argv[0] + " was stopped by signal " + std::to_string(WTERMSIG(status));
  return result;
}

} // namespace bf
