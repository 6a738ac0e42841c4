// Opening the files of a part for Assimp.
#include "oku/part_io.h"

#include "core/ascii_text.h"

#include <assimp/DefaultIOStream.h>
#include <assimp/MemoryIOWrapper.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

namespace oku {

namespace {

namespace fs = std::filesystem;

std::vector<NamedFileRead> &reads() {
  static std::vector<NamedFileRead> files;
  return files;
}

// The path with its links resolved, as far as they can be.
std::string resolved(const std::string &path) {
  std::error_code ec;
  const fs::path full = fs::weakly_canonical(fs::absolute(path, ec), ec);
  return ec ? fs::absolute(path, ec).lexically_normal().string() : full.string();
}

// A stream of the file's bytes that the open itself finds to be a regular
// file of bounded size: what stands at the name may have changed since it
// was looked at, and the open must not wait for a FIFO's writer.
class RegularFileStream : public Assimp::DefaultIOStream {
public:
  RegularFileStream(FILE *file, const std::string &name) : DefaultIOStream(file, name) {}
};

Assimp::IOStream *open_regular(const char *path) {
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat info;
  if (fd < 0)
    return nullptr;
  FILE *file = nullptr;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxReadFileBytes &&
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
    file = fdopen(fd, "rb");
  if (file == nullptr) {
    close(fd);
    return nullptr;
  }
  return new RegularFileStream(file, path);
}

} // namespace

std::string file_read_problem(const std::string &path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0)
    return errno == ENOENT ? "no such file" : std::strerror(errno);
  if (!S_ISREG(info.st_mode))
    return "not a regular file";
  if (info.st_size > kMaxReadFileBytes)
    return "larger than the " + std::to_string(kMaxReadFileBytes >> 20) + " MiB a part or model may read";
  return "";
}

const std::vector<NamedFileRead> &named_files_read() { return reads(); }

PartIOSystem::PartIOSystem(std::string alias, std::string real)
    : alias_(std::move(alias)), real_(std::move(real)) {}

bool PartIOSystem::Exists(const char *file) const {
  const char *path = map(file);
  if (path == nullptr)
    return false;
  struct stat info;
  if (stat(path, &info) != 0)
    return false;
  const std::string problem = file_read_problem(path);
  if (!problem.empty() && refused_.empty())
    refused_ = "cannot read \"" + std::string(path) + "\", which the file names: " + problem;
  return problem.empty();
}

void note_named_file(const std::string &path, const std::string &by) {
  const std::string full = resolved(path);
  if (full == resolved(by))
    return;
  for (const NamedFileRead &read : reads())
    if (read.path == full && read.by == by)
      return;
  const std::string folder = fs::path(resolved(by)).parent_path().string() + "/";
  reads().push_back({full, by, full.compare(0, folder.size(), folder) != 0});
}

bool utf16_to_utf8(const std::string &bytes, std::string &out) {
  if (bytes.size() < 2)
    return false;
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  bool little;
  if (byte(0) == 0xFF && byte(1) == 0xFE)
    little = true;
  else if (byte(0) == 0xFE && byte(1) == 0xFF)
    little = false;
  else
    return false;
  const auto unit = [&](size_t i) {
    return little ? byte(i) | (byte(i + 1) << 8) : (byte(i) << 8) | byte(i + 1);
  };
  out.clear();
  out.reserve(bytes.size() / 2);
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    unsigned code = unit(i);
    if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
        unit(i + 2) < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    zal::append_utf8(out, code);
  }
  return true;
}

Assimp::IOStream *PartIOSystem::Open(const char *file, const char *mode) {
  if (file == nullptr || mode == nullptr || std::strchr(mode, 'w') != nullptr || !Exists(file))
    return nullptr; // nothing is written, and nothing but a regular file read
  std::unique_ptr<Assimp::IOStream> stream(open_regular(map(file)));
  if (!stream)
    return nullptr;
  note_named_file(map(file), real_);
  char mark[2] = {};
  if (stream->Read(mark, 1, 2) != 2 ||
      !((mark[0] == '\xFF' && mark[1] == '\xFE') || (mark[0] == '\xFE' && mark[1] == '\xFF'))) {
    stream->Seek(0, aiOrigin_SET);
    return stream.release();
  }
  std::string bytes(stream->FileSize(), '\0');
  stream->Seek(0, aiOrigin_SET);
  bytes.resize(stream->Read(bytes.data(), 1, bytes.size()));
  std::string text;
  utf16_to_utf8(bytes, text);
  auto copy = std::make_unique<uint8_t[]>(text.size());
  std::memcpy(copy.get(), text.data(), text.size());
  const size_t size = text.size();
  // The stream owns the copy; Close() deletes the stream.
  return std::make_unique<Assimp::MemoryIOStream>(copy.release(), size, true).release();
}

} // namespace oku
