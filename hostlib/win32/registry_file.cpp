// Reading a Windows .reg export into keys and values.
#include "registry_file.h"

#include "core/ascii_text.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits.h>
#include <sstream>
#include <unistd.h>

namespace win32 {
namespace {

std::string upper(std::string text) {
  for (char &c : text)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string trim(const std::string &text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos)
    return "";
  size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

// regedit writes UTF-16LE with a byte-order mark; everything else is taken as UTF-8.
std::string decode(const std::string &bytes) {
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
    return bytes.substr(3);
  if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE')
    return bytes;
  std::string out;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    unsigned long unit = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
      unsigned long low = static_cast<unsigned char>(bytes[i + 2]) | static_cast<unsigned char>(bytes[i + 3])
                                                                         << 8;
      if (low >= 0xDC00 && low < 0xE000) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    zal::append_utf8(out, unit);
  }
  return out;
}

// A quoted .reg string starting at text[pos] == '"'. Only \\ and \" are
// escapes; any other backslash stands for itself. Answers false when the
// closing quote is missing; pos then points past it.
bool read_quoted(const std::string &text, size_t &pos, std::string &out) {
  out.clear();
  for (size_t i = pos + 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') {
      pos = i + 1;
      return true;
    }
    if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"'))
      c = text[++i];
    out += c;
  }
  return false;
}

// The data part of a value line (after '='): a quoted string; false for
// anything else.
bool read_value(const std::string &text, RegValue &value) {
  if (!text.empty() && text[0] == '"') {
    size_t pos = 0;
    std::string s;
    if (!read_quoted(text, pos, s) || !trim(text.substr(pos)).empty())
      return false;
    value.type = REG_SZ;
    value.data.assign(s.begin(), s.end());
    value.data.push_back(0);
    return true;
  }
  // dword:, hex: and hex(n): values are skipped: the host reads strings only.
  return false;
}

} // namespace

std::string canonical_key_path(const std::string &path) {
  std::string out;
  std::string part;
  std::istringstream parts(path);
  while (std::getline(parts, part, '\\')) {
    if (part.empty())
      continue;
    part = upper(part);
    if (out.empty()) {
      if (part == "HKLM")
        part = "HKEY_LOCAL_MACHINE";
      else if (part == "HKCU")
        part = "HKEY_CURRENT_USER";
      else if (part == "HKCR")
        part = "HKEY_CLASSES_ROOT";
      else if (part == "HKU")
        part = "HKEY_USERS";
      else if (part == "HKCC")
        part = "HKEY_CURRENT_CONFIG";
    } else {
      out += '\\';
    }
    out += part;
  }
  return out;
}

void RegistryFile::apply_line(const std::string &raw, std::string &current) {
  std::string line = trim(raw);
  if (line.empty() || line[0] == ';')
    return;
  if (line[0] == '[') {
    size_t close = line.rfind(']');
    if (close == std::string::npos)
      return;
    std::string inner = line.substr(1, close - 1);
    if (!inner.empty() && inner[0] == '-') {
      std::string gone = canonical_key_path(inner.substr(1));
      keys_.erase(gone);
      auto it = keys_.lower_bound(gone + "\\");
      while (it != keys_.end() && it->first.compare(0, gone.size() + 1, gone + "\\") == 0)
        it = keys_.erase(it);
      current.clear();
      return;
    }
    current = canonical_key_path(inner);
    if (!current.empty())
      keys_[current];
    return;
  }
  if (current.empty())
    return; // the header line, or values outside any key
  std::string name;
  size_t pos = 0;
  if (line[0] == '@') {
    pos = 1;
  } else if (line[0] != '"' || !read_quoted(line, pos, name)) {
    return;
  }
  std::string rest = trim(line.substr(pos));
  if (rest.empty() || rest[0] != '=')
    return;
  rest = trim(rest.substr(1));
  RegKey &key = keys_[current];
  if (rest == "-") {
    key.values.erase(upper(name));
    return;
  }
  RegValue value;
  if (read_value(rest, value))
    key.values[upper(name)] = std::move(value);
}

RegistryFile RegistryFile::parse(const std::string &bytes) {
  RegistryFile registry;
  std::istringstream lines(decode(bytes));
  std::string line, logical, current;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    // Long hex values continue on the next line after a trailing backslash;
    // joined, the whole value is skipped at once.
    std::string right = line.substr(0, line.find_last_not_of(" \t") + 1);
    if (!right.empty() && right.back() == '\\' && right.front() != '[') {
      right.pop_back();
      logical += right;
      continue;
    }
    logical += line;
    registry.apply_line(logical, current);
    logical.clear();
  }
  if (!logical.empty())
    registry.apply_line(logical, current);
  return registry;
}

RegistryFile RegistryFile::load(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return RegistryFile();
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return parse(bytes);
}

bool RegistryFile::has_key(const std::string &path) const {
  std::string canonical = canonical_key_path(path);
  if (canonical.empty())
    return false;
  if (keys_.count(canonical))
    return true;
  std::string prefix = canonical + "\\";
  auto it = keys_.lower_bound(prefix);
  return it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

const RegKey *RegistryFile::key(const std::string &path) const {
  auto it = keys_.find(canonical_key_path(path));
  return it == keys_.end() ? nullptr : &it->second;
}

std::string registry_file_path() {
  const char *env = std::getenv("BRIGHTFOLD_REGISTRY");
  if (env && *env)
    return env;
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0)
    return "etc/registry.reg";
  std::string dir(exe, static_cast<size_t>(n));
  dir.erase(dir.rfind('/') + 1);
  return dir + "../etc/registry.reg";
}

} // namespace win32
