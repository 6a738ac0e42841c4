// Sweeping up after killed runs.
#include "app/cli/dead_runs.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace bf {

namespace fs = std::filesystem;

void sweep_dead_runs(const std::string &dir, const std::string &prefix, const std::string &suffix) {
  std::error_code error;
  for (const auto &entry : fs::directory_iterator(dir.empty() ? "." : dir, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) != 0 || name.size() < prefix.size() + suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    char *end = nullptr;
    const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
    struct stat info;
    if (pid <= 0 || *end != '-' || lstat(entry.path().c_str(), &info) != 0 || info.st_uid != geteuid() ||
        kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)
      continue;
    std::error_code ignored;
    fs::remove_all(entry.path(), ignored);
  }
}

} // namespace bf
