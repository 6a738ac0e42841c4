#include "core/input_file.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zal {

bool InputFile::open(const std::string &path, long long max_bytes) {
  close();
  // O_NONBLOCK: opening a FIFO does not wait for a writer, so it can be
  // refused after the look below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why_ = std::strerror(errno);
    return false;
  }
  struct stat info;
  if (fstat(fd, &info) != 0) {
    why_ = std::strerror(errno);
    ::close(fd);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    why_ = S_ISDIR(info.st_mode) ? "is a directory" : "not a regular file";
    ::close(fd);
    return false;
  }
  if (info.st_size > max_bytes) {
    why_ = "larger than " + std::to_string(max_bytes) + " bytes";
    ::close(fd);
    return false;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  file_ = fdopen(fd, "rb");
  if (!file_) {
    why_ = std::strerror(errno);
    ::close(fd);
    return false;
  }
  size_ = info.st_size;
  why_.clear();
  return true;
}

void InputFile::close() {
  if (file_)
    std::fclose(file_);
  file_ = nullptr;
  size_ = 0;
}

bool read_input_file(const std::string &path, long long max_bytes, std::string &text, std::string &why) {
  InputFile in;
  if (!in.open(path, max_bytes)) {
    why = in.why();
    return false;
  }
  text.clear();
  text.reserve(static_cast<size_t>(in.size()));
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in.file())) > 0;) {
    if (static_cast<long long>(text.size() + n) > max_bytes) {
      why = "larger than " + std::to_string(max_bytes) + " bytes";
      return false;
    }
    text.append(buffer, n);
  }
  if (std::ferror(in.file())) {
    why = std::strerror(errno);
    return false;
  }
  return true;
}

} // namespace zal
