// Path helpers. An extension is the text after the last '.' of the file name
// when it starts with an ASCII letter and holds only ASCII letters and
// digits; that keeps the fractional numbers that derived texture names carry
// ("k   0.25   1") from ever being taken for one.
#include "zalbase.h"

#include <cstring>
#include <string>

namespace {

const size_t kCapacity = ZAL_NAME_SIZE - 1;

bool is_separator(char c) { return c == '/' || c == '\\'; }
bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

struct PathParts {
  std::string dir;  // with its trailing separator, or empty
  std::string name; // without extension
  std::string ext;  // without the dot, or empty
};

PathParts split(const std::string &path) {
  PathParts parts;
  size_t slash = std::string::npos;
  for (size_t i = path.size(); i-- > 0;)
    if (is_separator(path[i])) {
      slash = i;
      break;
    }
  std::string file = path;
  if (slash != std::string::npos) {
    parts.dir = path.substr(0, slash + 1);
    file = path.substr(slash + 1);
  }
  size_t dot = file.rfind('.');
  if (dot != std::string::npos && dot + 1 < file.size() && is_letter(file[dot + 1])) {
    bool plain = true;
    for (size_t i = dot + 1; i < file.size(); ++i)
      plain = plain && (is_letter(file[i]) || is_digit(file[i]));
    if (plain) {
      parts.ext = file.substr(dot + 1);
      file.resize(dot);
    }
  }
  parts.name = file;
  return parts;
}

char *put(char *out, const std::string &text) {
  size_t n = text.size() < kCapacity ? text.size() : kCapacity;
  std::memmove(out, text.data(), n);
  out[n] = '\0';
  return out;
}

std::string join(const PathParts &parts) {
  std::string path = parts.dir + parts.name;
  if (!parts.ext.empty())
    path += "." + parts.ext;
  return path;
}

} // namespace

char *pathname_get_simple(const char *path, char *out) {
  PathParts parts = split(path ? path : "");
  return put(out, join({"", parts.name, parts.ext}));
}

void split_path(const char *path, char *dir, char *name, char *ext) {
  PathParts parts = split(path ? path : "");
  if (dir)
    put(dir, parts.dir);
  if (name)
    put(name, parts.name);
  if (ext)
    put(ext, parts.ext);
}

char *pathname_set(char *out, const char *base, const char *name, const char *, const char *ext) {
  PathParts parts = split(base ? base : "");
  if (name)
    parts.name = name;
  if (ext)
    parts.ext = ext;
  return put(out, join(parts));
}

char *pathname_add_ext(char *out, const char *in, const char *ext) {
  std::string path = in ? in : "";
  if (ext && *ext)
    path += std::string(".") + ext;
  return put(out, path);
}
