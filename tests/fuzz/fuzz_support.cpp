#include "fuzz_support.h"

#include "zalbase.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace bf_fuzz {

namespace {

std::string make_scratch() {
  char pattern[] = "/tmp/bf_fuzz_XXXXXX";
  if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0)
    fail("cannot make the scratch directory");
  // Removed at exit, so a long run leaves nothing behind.
  std::atexit([] {
    clear_scratch();
    rmdir(scratch_dir().c_str());
  });
  return pattern;
}

void no_message(const char *, void *) {}

} // namespace

const std::string &scratch_dir() {
  // Never destroyed: the exit handler above still needs it.
  static const std::string &dir = *new std::string(make_scratch());
  return dir;
}

void clear_scratch() {
  const std::string &dir = scratch_dir();
  DIR *d = opendir(dir.c_str());
  if (d == nullptr)
    return;
  std::vector<std::string> names;
  while (dirent *e = readdir(d))
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
      names.push_back(e->d_name);
  closedir(d);
  for (const std::string &name : names)
    unlink((dir + "/" + name).c_str());
}

void write_file(const std::string &path, const std::string &data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!out)
    fail("cannot write " + path);
}

void fail(const std::string &what, const std::string &detail) {
  std::fprintf(stderr, "\nFUZZ CHECK FAILED: %s\n", what.c_str());
  if (!detail.empty())
    std::fprintf(stderr, "----\n%s\n----\n", detail.substr(0, 4000).c_str());
  std::fflush(stderr);
  std::abort();
}

void quiet_messages() { esd_set_sink(no_message, nullptr); }

} // namespace bf_fuzz
