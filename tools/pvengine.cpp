// pvengine.exe: the stand-in for POV-Ray for Windows that the registry's
// "Home" points to (Home/bin/pvengine.exe). The preview starts it as
//
//   pvengine.exe INI-FILE /EXIT
//
// and it runs Debian's POV-Ray 3.7 on the INI file, in the INI file's folder
// (the INI names the scene and the Targa output relative to it), with the
// display off and the 3.0 language dialect that the preview's scenes are
// written in (3.7 refuses their declarations otherwise), unless the INI
// names a language version itself (a 3.7 scene's does). POV-Ray's messages
// and progress go to standard error as POV-Ray writes them, and its exit
// status becomes ours, so that the host can tell a failed render from a good
// one. The program is $BRIGHTFOLD_POVRAY when set, else `povray` on the PATH;
// $BRIGHTFOLD_POVRAY_OPTIONS adds switches (separated by spaces) after ours.
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

volatile sig_atomic_t child_pid = 0;
volatile sig_atomic_t forwarded_signal = 0;

void forward(int sig) {
  forwarded_signal = sig;
  if (child_pid > 0)
    kill(child_pid, sig);
}

// A Windows switch such as "/EXIT" or "/NR": a slash and letters only. An
// absolute POSIX path always has a second slash or a dot, so it never looks
// like one.
bool is_switch(const std::string &arg) {
  if (arg.size() < 2 || arg[0] != '/')
    return false;
  for (size_t i = 1; i < arg.size(); ++i)
    if (!std::isalpha(static_cast<unsigned char>(arg[i])))
      return false;
  return true;
}

void say(const std::string &text) {
  std::string line = "pvengine.exe: " + text + "\n";
  ssize_t ignored = write(STDERR_FILENO, line.data(), line.size());
  (void)ignored;
}

// Whether the INI file has a "Version" line.
bool names_version(const std::string &ini) {
  std::ifstream in(ini);
  std::string line;
  while (std::getline(in, line))
    if (line.compare(0, 7, "Version") == 0)
      return true;
  return false;
}

[[noreturn]] void run_povray(const std::string &povray, const std::string &dir, const std::string &ini,
                             pid_t launcher) {
  // POV-Ray dies with the launcher, which dies with the host (fork and exec
  // rather than posix_spawn, which cannot ask for this).
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != launcher)
    _exit(127);
  if (!dir.empty() && chdir(dir.c_str()) != 0) {
    say("cannot enter " + dir + ": " + std::strerror(errno));
    _exit(126);
  }
  int null_fd = open("/dev/null", O_RDONLY);
  if (null_fd >= 0) {
    dup2(null_fd, STDIN_FILENO);
    close(null_fd);
  }
  std::vector<std::string> args = {povray, ini, "-D"};
  if (!names_version(ini))
    args.push_back("+MV3.0");
  // The host's extra switches, such as +UA for a picture with alpha.
  if (const char *extra = std::getenv("BRIGHTFOLD_POVRAY_OPTIONS")) {
    std::string word;
    for (const char *c = extra;; ++c) {
      if (*c != '\0' && !std::isspace(static_cast<unsigned char>(*c))) {
        word += *c;
        continue;
      }
      if (!word.empty())
        args.push_back(word);
      word.clear();
      if (*c == '\0')
        break;
    }
  }
  std::vector<char *> argv;
  for (std::string &arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  execvp(povray.c_str(), argv.data());
  int error = errno;
  say("cannot start POV-Ray (" + povray + "): " + std::strerror(error) +
      (error == ENOENT ? ". Install it with: apt-get install povray" : ""));
  _exit(127);
}

int exit_code_of(int status) {
  if (WIFEXITED(status))
    return WEXITSTATUS(status);
  if (WIFSIGNALED(status))
    return 128 + WTERMSIG(status);
  return 1;
}

} // namespace

int main(int argc, char **argv) {
  std::string ini;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (!is_switch(arg) && ini.empty())
      ini = arg;
  }
  if (ini.empty()) {
    say("usage: pvengine.exe INI-FILE [/EXIT]");
    return 2;
  }
  for (char &c : ini)
    if (c == '\\')
      c = '/';
  std::string dir, name = ini;
  size_t slash = ini.rfind('/');
  if (slash != std::string::npos) {
    dir = slash == 0 ? "/" : ini.substr(0, slash);
    name = ini.substr(slash + 1);
  }
  const char *env = std::getenv("BRIGHTFOLD_POVRAY");
  std::string povray = env && *env ? env : "povray";

  struct sigaction action = {};
  action.sa_handler = forward;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);

  const pid_t launcher = getpid();
  pid_t pid = fork();
  if (pid < 0) {
    say(std::string("cannot start POV-Ray: ") + std::strerror(errno));
    return 126;
  }
  if (pid == 0)
    run_povray(povray, dir, name, launcher);
  child_pid = pid;
  if (forwarded_signal) // arrived before the child's id was known
    kill(pid, forwarded_signal);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      say(std::string("lost POV-Ray: ") + std::strerror(errno));
      return 1;
    }
  }
  int code = exit_code_of(status);
  // A render stopped on request never counts as a success, even when
  // POV-Ray itself exits quietly after an interrupt.
  if (code == 0 && forwarded_signal)
    code = 128 + forwarded_signal;
  return code;
}
