// Files the host writes (pictures, kept scenes, Targa textures) are written
// whole under a temporary name in the target's own folder (the folder of a
// symbolic link's final target) and renamed into place only when complete:
// a failed write leaves the earlier file as it was. Ctrl-C, SIGTERM or
// SIGHUP while a temporary file exists removes it before the signal takes
// its usual course.
#pragma once

#include <cstdio>
#include <string>

namespace wf {
struct Pending;
}

namespace zal {

// Why the file at path must not be replaced, or "" when it may be: it is
// read-only (as opening it for writing would find; for the superuser, a
// file without any write permission), or, when only a regular file may
// stand there, something else does.
std::string write_refusal(const std::string &path, bool regular_only);

class AtomicFile {
public:
  AtomicFile() = default;
  ~AtomicFile() { discard(); }
  AtomicFile(const AtomicFile &) = delete;
  AtomicFile &operator=(const AtomicFile &) = delete;

  // A temporary file beside path's final target; a device or FIFO standing
  // at path is opened directly (nothing else is written). False with errno.
  bool open(const std::string &path);
  FILE *file() const { return file_; }
  // Appends bytes; a failure is remembered for commit() to answer.
  bool write(const void *data, size_t size);
  // Flushes, closes and renames into place. False with errno; the
  // temporary file is then gone.
  bool commit();
  // Drops an unfinished file: nothing appears under the target's name.
  void discard();

private:
  FILE *file_ = nullptr;
  std::string target_, temp_;
  wf::Pending *cleanup_ = nullptr;
  int error_ = 0; // errno of the first failed write
};

// Writes data to path through an AtomicFile. False with errno.
bool write_whole_file(const std::string &path, const void *data, size_t size);

} // namespace zal
