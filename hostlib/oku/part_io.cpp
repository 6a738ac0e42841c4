// Opening the files of a part for Assimp.
#include "oku/part_io.h"

#include "core/ascii_text.h"

#include <assimp/MemoryIOWrapper.h>

#include <cstring>
#include <memory>

namespace oku {

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
  std::unique_ptr<Assimp::IOStream> stream(DefaultIOSystem::Open(map(file), mode));
  if (!stream || mode == nullptr || std::strchr(mode, 'w') != nullptr)
    return stream.release();
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
