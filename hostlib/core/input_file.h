// Files a run reads (scene files, the user's definitions, images) are
// opened only when they are regular files of bounded size: a FIFO would
// wait for a writer for ever and a device such as /dev/zero never ends.
// The file is opened without waiting and checked before a byte is read.
#pragma once

#include <cstdio>
#include <string>

namespace zal {

class InputFile {
public:
  InputFile() = default;
  ~InputFile() { close(); }
  InputFile(const InputFile &) = delete;
  InputFile &operator=(const InputFile &) = delete;

  // Opens path for reading when it is a regular file (symbolic links
  // followed) of at most max_bytes. False with why() set: the system's
  // reason, "not a regular file" or "larger than N bytes".
  bool open(const std::string &path, long long max_bytes);
  FILE *file() const { return file_; }
  long long size() const { return size_; }
  const std::string &why() const { return why_; }
  // The open file, now the caller's to close.
  FILE *release() {
    FILE *file = file_;
    file_ = nullptr;
    return file;
  }
  void close();

private:
  FILE *file_ = nullptr;
  long long size_ = 0;
  std::string why_;
};

// The whole of a regular file of at most max_bytes (a file that grows past
// it while read is refused too). False with why set as InputFile::open does.
bool read_input_file(const std::string &path, long long max_bytes, std::string &text, std::string &why);

} // namespace zal
