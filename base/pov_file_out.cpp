// Whole-file writes for the module: temporary name, rename when complete,
// staged files of a scene write, and the temporary names' clean-up on
// Ctrl-C and SIGTERM.
#include "base/pov_file_out.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

// ---- clean-up on a signal. The handler only walks the list and unlinks:
// entries are added whole before they are linked in, and freed only after
// the handler is no longer installed.
struct CleanupEntry {
  char *path;
  volatile sig_atomic_t live;
  CleanupEntry *next;
};

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
std::atomic<CleanupEntry *> cleanup_list{nullptr};
int live_entries = 0;
struct sigaction earlier[3];

void on_signal(int sig, siginfo_t *info, void *context) {
  for (CleanupEntry *e = cleanup_list.load(); e; e = e->next)
    if (e->live)
      unlink(e->path);
  // Then the signal takes the course it had before: the host's handler, or
  // the default action once this handler returns.
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

void *add_cleanup(const char *path) {
  CleanupEntry *entry = static_cast<CleanupEntry *>(std::malloc(sizeof(CleanupEntry)));
  char *copy = strdup(path);
  if (!entry || !copy) {
    std::free(entry);
    std::free(copy);
    return nullptr;
  }
  entry->path = copy;
  entry->live = 1;
  entry->next = cleanup_list.load();
  if (live_entries++ == 0) {
    struct sigaction action = {};
    action.sa_sigaction = on_signal;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i)
      sigaction(kSignals[i], &action, &earlier[i]);
  }
  cleanup_list.store(entry);
  return entry;
}

void drop_cleanup(void *handle) {
  if (!handle)
    return;
  static_cast<CleanupEntry *>(handle)->live = 0;
  if (--live_entries > 0)
    return;
  for (int i = 0; i < 3; ++i)
    sigaction(kSignals[i], &earlier[i], nullptr);
  CleanupEntry *e = cleanup_list.exchange(nullptr);
  while (e) {
    CleanupEntry *next = e->next;
    std::free(e->path);
    std::free(e);
    e = next;
  }
}

// ---- names

// The end of a chain of symbolic links, or path itself.
std::string final_target(const char *path) {
  std::string at = path;
  for (int i = 0; i < 40; ++i) {
    char link[PATH_MAX];
    ssize_t n = readlink(at.c_str(), link, sizeof link - 1);
    if (n <= 0)
      break;
    link[n] = '\0';
    const size_t slash = at.rfind('/');
    at = link[0] == '/' || slash == std::string::npos ? std::string(link) : at.substr(0, slash + 1) + link;
  }
  return at;
}

// A fresh file beside target, with the permissions that opening target
// would have given (0666 less the umask), or the replaced file's own. A
// short name: the target's own may already be as long as a name can be.
// The name is on the clean-up list before the file exists.
int create_temporary(const std::string &target, const struct stat *replaced, std::string &temp,
                     void **cleanup) {
  static unsigned serial = 0;
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = dir + ".oku-" + std::to_string(getpid()) + "-" + std::to_string(++serial) + ".partial";
    *cleanup = add_cleanup(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 && replaced)
      fchmod(fd, replaced->st_mode & 07777);
    if (fd >= 0)
      return fd;
    const int error = errno;
    drop_cleanup(*cleanup);
    *cleanup = nullptr;
    errno = error;
    if (error != EEXIST)
      return -1;
  }
  return -1;
}

char *copy_text(const std::string &text) { return strdup(text.c_str()); }

// ---- staging
int commit_staged(std::set<std::string> &owned, PovStagedFile &s, int owner) {
  const std::string target = s.file.target ? s.file.target : "";
  const int existed = s.file.existed;
  const int ok = pov_file_commit(&s.file);
  pov_file_discard(&s.file);
  if (!ok)
    return 0;
  try {
    if (!owner)
      owned.erase(target);
    else if (!existed || owned.count(target))
      owned.insert(target);
    else
      return 1;
  } catch (...) {
    return 1; // out of memory: the file is kept rather than deleted later
  }
  if (owner && s.created)
    *s.created = 1;
  return 1;
}

} // namespace

namespace {

// Opens a temporary file beside target, to replace the file found there
// (info, when found) on commit; anything other than a regular file found
// is opened directly.
int open_for(PovFileOut *out, const std::string &target, const struct stat *found) {
  out->existed = found ? 1 : 0;
  if (found && !S_ISREG(found->st_mode)) {
    // A device or FIFO is written directly; a directory cannot be opened.
    out->file = fopen(target.c_str(), "w");
    out->target = out->file ? copy_text(target) : nullptr;
    return out->file != nullptr;
  }
  std::string temp;
  const int fd = create_temporary(target, found, temp, &out->cleanup);
  if (fd < 0)
    return 0;
  out->file = fdopen(fd, "w");
  out->target = copy_text(target);
  out->temp = copy_text(temp);
  if (!out->file || !out->target || !out->temp) {
    if (!out->file)
      close(fd);
    unlink(temp.c_str());
    pov_file_discard(out);
    errno = ENOMEM;
    return 0;
  }
  return 1;
}

} // namespace

int pov_file_open(PovFileOut *out, const char *path) {
  *out = PovFileOut{nullptr, nullptr, nullptr, 0, nullptr};
  if (!path || !*path) {
    errno = ENOENT;
    return 0;
  }
  const std::string target = final_target(path);
  struct stat info;
  return open_for(out, target, stat(target.c_str(), &info) == 0 ? &info : nullptr);
}

int pov_file_open_derived(PovFileOut *out, const char *path) {
  *out = PovFileOut{nullptr, nullptr, nullptr, 0, nullptr};
  if (!path || !*path) {
    errno = ENOENT;
    return 0;
  }
  // A symbolic link at the name is replaced like a missing file: the new
  // file gets the permissions a new file gets.
  struct stat info;
  const bool found = lstat(path, &info) == 0;
  if (found && S_ISLNK(info.st_mode)) {
    if (!open_for(out, path, nullptr))
      return 0;
    out->existed = 1;
    return 1;
  }
  return open_for(out, path, found ? &info : nullptr);
}

int pov_file_close(PovFileOut *out) {
  if (!out->file)
    return 0;
  int ok = std::ferror(out->file) == 0;
  ok = std::fclose(out->file) == 0 && ok;
  out->file = nullptr;
  return ok;
}

int pov_file_commit(PovFileOut *out) {
  if (out->file || !out->target)
    return 0;
  if (!out->temp)
    return 1; // written directly
  if (std::rename(out->temp, out->target) != 0)
    return 0;
  std::free(out->temp);
  out->temp = nullptr;
  return 1;
}

void pov_file_discard(PovFileOut *out) {
  if (out->file)
    std::fclose(out->file);
  if (out->temp)
    unlink(out->temp);
  drop_cleanup(out->cleanup);
  std::free(out->target);
  std::free(out->temp);
  *out = PovFileOut{nullptr, nullptr, nullptr, 0, nullptr};
}

void pov_files_begin(PovFileStage *files, int owner) {
  pov_files_end(files, 0);
  files->staging = 1;
  files->staging_owner = owner;
}

void pov_file_disown(PovFileStage *files, const char *path) {
  std::set<std::string> &owned = files->owned;
  if (path)
    owned.erase(final_target(path));
}

int pov_file_stage(PovFileStage *files, PovFileOut *out, int *created) {
  if (out->file && !pov_file_close(out)) {
    pov_file_discard(out);
    return 0;
  }
  PovStagedFile s{*out, created};
  *out = PovFileOut{nullptr, nullptr, nullptr, 0, nullptr};
  if (files->staging) {
    try {
      files->staged.push_back(s);
      return 1;
    } catch (...) {
      pov_file_discard(&s.file);
      return 0;
    }
  }
  return commit_staged(files->owned, s, 1); // outside a scene write: as a draw would
}

const char *pov_file_staged(const PovFileStage *files, const char *path) {
  if (!path)
    return nullptr;
  for (const PovStagedFile &s : files->staged)
    if (s.file.target && s.file.temp && std::strcmp(s.file.target, path) == 0)
      return s.file.temp;
  return nullptr;
}

int pov_files_end(PovFileStage *files, int commit) {
  int ok = commit;
  for (PovStagedFile &s : files->staged) {
    if (commit)
      ok = commit_staged(files->owned, s, files->staging_owner) && ok;
    else
      pov_file_discard(&s.file);
  }
  files->staged.clear();
  files->staging = 0;
  files->staging_owner = 0;
  return ok;
}

void pov_files_abandon(PovFileStage *files) {
  pov_files_end(files, 0);
  // The writers that held the rest are gone: their temporary names are the
  // live entries of the clean-up list.
  std::vector<CleanupEntry *> live;
  try {
    for (CleanupEntry *e = cleanup_list.load(); e; e = e->next)
      if (e->live)
        live.push_back(e);
  } catch (...) {
    // no room for the list: unlink in place, the entries stay
    for (CleanupEntry *e = cleanup_list.load(); e; e = e->next)
      if (e->live)
        unlink(e->path);
    return;
  }
  for (CleanupEntry *e : live) {
    unlink(e->path);
    drop_cleanup(e);
  }
}
