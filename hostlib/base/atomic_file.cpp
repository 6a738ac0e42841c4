// Whole-file writes for the host, and the temporary names' clean-up on a
// signal.
#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace zal {
namespace {

// ---- the clean-up list. The handler only walks it and unlinks: entries
// are linked in whole, and freed only once the handler is uninstalled.
struct Entry {
  char *path;
  volatile sig_atomic_t live;
  Entry *next;
};

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
std::atomic<Entry *> entries{nullptr};
std::mutex entries_mutex;
int live_count = 0;
struct sigaction earlier[3];

void on_signal(int sig, siginfo_t *info, void *context) {
  for (Entry *e = entries.load(); e; e = e->next)
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

void *add_entry(const std::string &path) {
  auto *entry = static_cast<Entry *>(std::malloc(sizeof(Entry)));
  char *copy = strdup(path.c_str());
  if (!entry || !copy) {
    std::free(entry);
    std::free(copy);
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(entries_mutex);
  entry->path = copy;
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

void drop_entry(void *handle) {
  if (!handle)
    return;
  std::lock_guard<std::mutex> lock(entries_mutex);
  static_cast<Entry *>(handle)->live = 0;
  if (--live_count > 0)
    return;
  for (int i = 0; i < 3; ++i)
    sigaction(kSignals[i], &earlier[i], nullptr);
  for (Entry *e = entries.exchange(nullptr); e;) {
    Entry *next = e->next;
    std::free(e->path);
    std::free(e);
    e = next;
  }
}

// ---- names

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

// 0666 less the umask, as opening the target would give, or the mode of the
// file being replaced.
// The name is on the clean-up list before the file exists.
int create_temporary(const std::string &target, const struct stat *replaced, std::string &temp,
                     void **cleanup) {
  static std::atomic<unsigned> serial{0};
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = dir + ".bf-" + std::to_string(getpid()) + "-" + std::to_string(++serial) + ".partial";
    *cleanup = add_entry(temp);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 && replaced)
      fchmod(fd, replaced->st_mode & 07777);
    if (fd >= 0)
      return fd;
    const int error = errno;
    drop_entry(*cleanup);
    *cleanup = nullptr;
    errno = error;
    if (error != EEXIST)
      return -1;
  }
  return -1;
}

} // namespace

std::string write_refusal(const std::string &path, bool regular_only) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0)
    return "";
  if (regular_only && !S_ISREG(info.st_mode))
    return "it is not a regular file";
  if (!S_ISREG(info.st_mode))
    return "";
  const bool read_only = geteuid() == 0 ? (info.st_mode & 0222) == 0
                                        : faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 &&
                                              (errno == EACCES || errno == EROFS);
  return read_only ? "it is read-only" : "";
}

bool AtomicFile::open(const std::string &path) {
  discard();
  target_ = final_target(path);
  struct stat info;
  const bool found = stat(target_.c_str(), &info) == 0;
  if (found && !S_ISREG(info.st_mode)) {
    file_ = std::fopen(target_.c_str(), "wb");
    return file_ != nullptr;
  }
  const int fd = create_temporary(target_, found ? &info : nullptr, temp_, &cleanup_);
  if (fd < 0) {
    temp_.clear();
    return false;
  }
  file_ = fdopen(fd, "wb");
  if (!file_) {
    const int error = errno;
    close(fd);
    discard();
    errno = error;
    return false;
  }
  return true;
}

bool AtomicFile::write(const void *data, size_t size) {
  if (size == 0 || (file_ && std::fwrite(data, 1, size, file_) == size))
    return file_ != nullptr;
  if (!error_)
    error_ = errno ? errno : EIO;
  return false;
}

bool AtomicFile::commit() {
  if (!file_)
    return false;
  errno = error_;
  bool ok = !error_ && std::fflush(file_) == 0 && !std::ferror(file_);
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  if (ok && !temp_.empty()) {
    ok = std::rename(temp_.c_str(), target_.c_str()) == 0;
    if (ok)
      temp_.clear();
  }
  const int error = error_ ? error_ : errno;
  discard();
  errno = ok ? 0 : (error ? error : EIO);
  return ok;
}

void AtomicFile::discard() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temp_.empty()) {
    unlink(temp_.c_str());
    temp_.clear();
  }
  drop_entry(cleanup_);
  cleanup_ = nullptr;
  error_ = 0;
}

bool write_whole_file(const std::string &path, const void *data, size_t size) {
  AtomicFile file;
  if (!file.open(path))
    return false;
  file.write(data, size);
  return file.commit();
}

} // namespace zal
