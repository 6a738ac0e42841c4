// Any bytes as a name: the object comment, the part's include file name,
// the part identifier and the derived Targa name must each stay inside
// their comment, their quotes or the identifier alphabet, whatever the
// name holds (line breaks, quotes, backslashes, comment markers, bytes that
// are not UTF-8, thousands of characters).
#include "fuzz_support.h"
#include "pov_text_check.h"

#include "base/pov_text.h"
#include "geometry/pov_parts.h"
#include "tests/support/module_state.h"
#include "texture/pov_texture_internal.h"

#include <climits>
#include <vector>

namespace {

using bf_fuzz::fail;

bool valid_utf8(const std::string &s) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size())
      return false;
    for (int k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
        return false;
    i += n;
  }
  return true;
}

bool has_control(const std::string &s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
      return true;
  return false;
}

// The text between the quotes of `line` ("... \"X\" ..."), which must hold
// exactly one string that the checker accepts.
void check_quoted(const std::string &line, const std::string &inside, const char *what) {
  if (const std::string problem = bf_fuzz::check_pov_text(line); !problem.empty())
    fail(std::string(what) + ": " + problem, line);
  for (char c : inside)
    if (c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
      fail(std::string(what) + " holds a character that ends or escapes the string", line);
}

void check_comment_name(const std::string &name) {
  char out[256];
  std::memset(out, 'x', sizeof out);
  pov_comment_name(out, name.c_str());
  if (std::memchr(out, '\0', sizeof out) == nullptr)
    fail("comment name not terminated");
  const std::string shown = out;
  if (has_control(shown))
    fail("comment name keeps a control character", shown);
  // As the object writer puts it: a line comment, inside a block comment
  // when the object is hidden.
  const std::string line = "object { // " + shown + "\n";
  if (!bf_fuzz::is_one_block_comment("/*\n" + line + "*/"))
    fail("the name leaves the hidden object's block comment", line);
  if (!bf_fuzz::check_pov_text(line + "}\n").empty())
    fail("the name leaves its line comment", line);
  if (valid_utf8(name) && !valid_utf8(shown))
    fail("a UTF-8 name was cut inside a character", shown);
  const bool plain = name.size() <= 255 && !has_control(name) && name.find("/*") == std::string::npos &&
                     name.find("*/") == std::string::npos;
  if (plain && shown != name)
    fail("a plain name was changed", name + " -> " + shown);
}

void check_file_name(const std::string &name) {
  std::vector<char> s(name.begin(), name.end());
  s.push_back('\0');
  pov_safe_file_name(s.data());
  const std::string safe = s.data();
  if (safe.size() != std::strlen(name.c_str()))
    fail("the safe file name changed length");
  check_quoted("#include \"" + safe + ".inc\"\n", safe, "include file name");
}

void check_part_name(const std::string &name, int counter) {
  TestSession module;
  PovSession &session = module.session;
  session.next_part_number = counter;
  std::vector<char> out(name.size() + 21, '\x7f');
  pov_make_part_name(session, name.c_str(), out.data());
  const std::string id = out.data();
  if (id.size() > 244 || id.rfind("oku_", 0) != 0)
    fail("bad part identifier", id);
  for (char c : id)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
      fail("part identifier outside the identifier alphabet", id);
  if (session.next_part_number <= 0)
    fail("the part counter went non-positive");
}

void check_texture_name(const std::string &name, bf_fuzz::Bytes &in) {
  TextureRecord *record = texture_record_new();
  record->texture_name = new char[name.size() + 1];
  std::memcpy(record->texture_name, name.c_str(), name.size() + 1);
  const unsigned mode = in.byte();
  record->scene_root = mode & 1;
  record->method = static_cast<int>(in.u32());
  record->type = static_cast<int>(in.u32());
  uint32_t bits[5] = {in.u32(), in.u32(), in.u32(), in.u32(), in.u32()};
  std::memcpy(&record->opacity, &bits[0], 4);
  std::memcpy(&record->scale.x, &bits[1], 4);
  std::memcpy(&record->scale.y, &bits[2], 4);
  std::memcpy(&record->position.x, &bits[3], 4);
  std::memcpy(&record->angle, &bits[4], 4);
  record->derive_file_name();
  if (record->file_name == nullptr) {
    texture_record_free(record);
    return;
  }
  const std::string file = record->file_name;
  if (file.size() > 255 || file.rfind("oku_", 0) != 0 || file.size() < 8 ||
      file.compare(file.size() - 4, 4, ".tga") != 0)
    fail("bad derived Targa name", file);
  if (file.find('/') != std::string::npos)
    fail("the derived Targa name leaves the current directory", file);
  if (valid_utf8(name) && !valid_utf8(file))
    fail("a UTF-8 texture name was cut inside a character", file);
  check_quoted("pigment { image_map { tga \"" + file + "\" } }\n", file, "Targa name");
  texture_record_free(record);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  bf_fuzz::Bytes in(data, size);
  const unsigned counter_pick = in.byte();
  const int counter = counter_pick < 128 ? 1 + static_cast<int>(counter_pick) : INT_MAX - (counter_pick & 7);
  bf_fuzz::Bytes settings(data, size); // the texture settings reuse the leading bytes
  std::string name = in.rest();
  // A name is a C string in the host: it ends at the first NUL.
  name.resize(std::strlen(name.c_str()));
  check_comment_name(name);
  check_file_name(name);
  check_part_name(name, counter);
  check_texture_name(name, settings);
  return 0;
}
