// Whole-file writes, and the temporary names' clean-up on a signal.
#include "wholefile/whole_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace wf {

// An entry is linked in whole and freed only once the handler is no longer
// installed: the handler only walks the list and unlinks.
struct Pending {
  char *path;
  const char *prefix;
  volatile sig_atomic_t live;
  Pending *next;
};

namespace {

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
std::atomic<Pending *> entries{nullptr};
std::mutex entries_mutex; // held to change the list and the handlers
int live_count = 0;
struct sigaction earlier[3];

void on_signal(int sig, siginfo_t *info, void *context) {
  for (Pending *e = entries.load(); e; e = e->next)
    if (e->live)
      unlink(e->path);
  for (int i = 0; i < 3; ++i) {
    if (kSignals[i] != sig)
      continue;
    // The earlier action runs after the clean-up; this handler stays for
    // the files still to come, unless the default action ends the process.
    const struct sigaction old = earlier[i];
    if (old.sa_flags & SA_SIGINFO) {
      old.sa_sigaction(sig, info, context);
    } else if (old.sa_handler == SIG_DFL) {
      sigaction(sig, &old, nullptr);
      raise(sig); // delivered once this handler returns
    } else if (old.sa_handler != SIG_IGN) {
      old.sa_handler(sig);
    }
  }
}

// Null when there is no room for the entry: the file is then written
// without the clean-up.
Pending *add_entry(const std::string &path, const char *prefix) {
  auto *entry = static_cast<Pending *>(std::malloc(sizeof(Pending)));
  char *copy = strdup(path.c_str());
  if (!entry || !copy) {
    std::free(entry);
    std::free(copy);
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(entries_mutex);
  entry->path = copy;
  entry->prefix = prefix;
  entry->live = 1;
  entry->next = entries.load();
  if (live_count++ == 0) {
    struct sigaction action = {};
    action.sa_sigaction = on_signal;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i)
      sigaction(kSignals[i], &action, &earlier[i]);
  }
  entries.store(entry);
  return entry;
}

// With the lock held: once no name is live, the earlier handlers are back
// and the list is freed.
void settle_entries() {
  if (live_count > 0)
    return;
  for (int i = 0; i < 3; ++i)
    sigaction(kSignals[i], &earlier[i], nullptr);
  for (Pending *e = entries.exchange(nullptr); e;) {
    Pending *next = e->next;
    std::free(e->path);
    std::free(e);
    e = next;
  }
}

void drop_entry(Pending *entry) {
  if (!entry)
    return;
  std::lock_guard<std::mutex> lock(entries_mutex);
  entry->live = 0;
  --live_count;
  settle_entries();
}

int create_temporary(const std::string &target, const struct stat *replaced, const char *prefix,
                     std::string &temp, Pending **pending) {
  static std::atomic<unsigned> serial{0};
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    // A short name: the target's own may already be as long as a name can be.
    temp = dir + prefix + std::to_string(getpid()) + "-" + std::to_string(++serial) + ".partial";
    *pending = add_entry(temp, prefix);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 && replaced)
      fchmod(fd, replaced->st_mode & 07777);
    if (fd >= 0)
      return fd;
    const int error = errno;
    drop_entry(*pending);
    *pending = nullptr;
    errno = error;
    if (error != EEXIST)
      return -1;
  }
  return -1;
}

} // namespace

std::string final_target(const std::string &path) {
  std::string at = path;
  for (int i = 0; i < 40; ++i) {
    char link[PATH_MAX];
    const ssize_t n = readlink(at.c_str(), link, sizeof link - 1);
    if (n <= 0)
      break;
    link[n] = '\0';
    const size_t slash = at.rfind('/');
    at = link[0] == '/' || slash == std::string::npos ? std::string(link) : at.substr(0, slash + 1) + link;
  }
  return at;
}

FILE *open_beside(const std::string &target, const struct stat *found, const char *prefix, std::string &temp,
                  Pending **pending) {
  temp.clear();
  *pending = nullptr;
  if (found && !S_ISREG(found->st_mode))
    return std::fopen(target.c_str(), "wb"); // a directory cannot be opened
  const int fd = create_temporary(target, found, prefix, temp, pending);
  if (fd < 0) {
    temp.clear();
    return nullptr;
  }
  FILE *file = fdopen(fd, "wb");
  if (!file) {
    const int error = errno;
    close(fd);
    discard(nullptr, temp.c_str(), *pending);
    temp.clear();
    *pending = nullptr;
    errno = error;
  }
  return file;
}

bool finish(FILE *file) {
  bool ok = std::fflush(file) == 0 && !std::ferror(file);
  return std::fclose(file) == 0 && ok;
}

bool put_in_place(const char *temp, const char *target, Pending **pending) {
  if (std::rename(temp, target) != 0)
    return false;
  drop_entry(*pending);
  *pending = nullptr;
  return true;
}

void discard(FILE *file, const char *temp, Pending *pending) {
  if (file)
    std::fclose(file);
  if (temp && *temp)
    unlink(temp);
  drop_entry(pending);
}

void remove_all(const char *prefix) {
  std::lock_guard<std::mutex> lock(entries_mutex);
  for (Pending *e = entries.load(); e; e = e->next) {
    if (e->live && std::strcmp(e->prefix, prefix) == 0) {
      unlink(e->path);
      e->live = 0;
      --live_count;
    }
  }
  settle_entries();
}

} // namespace wf
