#include "oku/quiet_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace oku {

namespace {

void flush_all() {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(stdout);
  std::fflush(stderr);
}

} // namespace

QuietOutput::QuietOutput() {
  flush_all();
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0)
    return;
  for (int fd = 1; fd <= 2; ++fd) {
    saved_[fd - 1] = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (saved_[fd - 1] >= 0)
      dup2(null, fd);
  }
  close(null);
}

QuietOutput::~QuietOutput() {
  flush_all(); // what the library left in the buffers goes to /dev/null too
  for (int fd = 1; fd <= 2; ++fd)
    if (saved_[fd - 1] >= 0) {
      dup2(saved_[fd - 1], fd);
      close(saved_[fd - 1]);
    }
}

} // namespace oku
