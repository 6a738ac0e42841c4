// Whole-file writes for the host, on the shared writer (wholefile/).
#include "core/atomic_file.h"

#include "wholefile/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zal {

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
  target_ = wf::final_target(path);
  struct stat info;
  const bool found = stat(target_.c_str(), &info) == 0;
  file_ = wf::open_beside(target_, found ? &info : nullptr, ".bf-", temp_, &cleanup_);
  return file_ != nullptr;
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
  bool ok = wf::finish(file_) && !error_;
  file_ = nullptr;
  if (ok && !temp_.empty()) {
    ok = wf::put_in_place(temp_.c_str(), target_.c_str(), &cleanup_);
    if (ok)
      temp_.clear();
  }
  const int error = error_ ? error_ : errno;
  discard();
  errno = ok ? 0 : (error ? error : EIO);
  return ok;
}

void AtomicFile::discard() {
  wf::discard(file_, temp_.c_str(), cleanup_);
  file_ = nullptr;
  temp_.clear();
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
