// Scene-file text: parsing with positions, nesting depth, duplicate keys.
#include "app/scene/json_text.h"

#include <algorithm>
#include <vector>

namespace bf {

namespace {

// Line and column (both from 1, columns counted in characters) of the byte
// at `offset`.
struct Place {
  size_t line = 1, column = 1;
};

Place place_of(const std::string &text, size_t offset) {
  Place p;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n')
      p = {p.line + 1, 1};
    else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
      ++p.column;
  }
  return p;
}

[[noreturn]] void fail_at(const std::string &file, const std::string &text, size_t offset,
                          const std::string &message) {
  const Place p = place_of(text, offset);
  throw SceneError(
      printable(file + ":" + std::to_string(p.line) + ":" + std::to_string(p.column) + ": " + message));
}

// "[json.exception.parse_error.101] parse error at line 1, column 5: syntax
// error while parsing value - ..." -> "syntax error while parsing value - ...".
// (The parser already writes control characters it quotes as <U+000A>.)
std::string parser_detail(const std::string &what) {
  const size_t column = what.find("column ");
  const size_t colon = what.find(": ", column == std::string::npos ? 0 : column);
  if (colon != std::string::npos)
    return what.substr(colon + 2);
  const size_t bracket = what.find("] ");
  return bracket != std::string::npos ? what.substr(bracket + 2) : what;
}

// Builds the document and remembers where the parser gave up; stops early
// on nesting far deeper than allowed, which the text scan then reports.
class Builder : public nlohmann::json_sax<json> {
public:
  explicit Builder(json &out) : dom_(out, false) {}
  bool null() override { return dom_.null(); }
  bool boolean(bool v) override { return dom_.boolean(v); }
  bool number_integer(number_integer_t v) override { return dom_.number_integer(v); }
  bool number_unsigned(number_unsigned_t v) override { return dom_.number_unsigned(v); }
  bool number_float(number_float_t v, const string_t &s) override { return dom_.number_float(v, s); }
  bool string(string_t &v) override { return dom_.string(v); }
  bool binary(binary_t &v) override { return dom_.binary(v); }
  bool start_object(std::size_t n) override { return deeper() && dom_.start_object(n); }
  bool key(string_t &v) override { return dom_.key(v); }
  bool end_object() override { return --depth_, dom_.end_object(); }
  bool start_array(std::size_t n) override { return deeper() && dom_.start_array(n); }
  bool end_array() override { return --depth_, dom_.end_array(); }
  bool parse_error(std::size_t position, const std::string &,
                   const nlohmann::detail::exception &error) override {
    error_position_ = position;
    error_ = parser_detail(error.what());
    return false;
  }

  std::size_t error_position_ = 0;
  std::string error_;

private:
  bool deeper() { return ++depth_ <= kMaxJsonDepth; }
  nlohmann::detail::json_sax_dom_parser<json> dom_;
  int depth_ = 0;
};

struct KeyAt {
  std::string key;
  size_t offset;
};

// The key as the parser reads it; the raw text if it does not parse (the
// parser has then reported it, or stopped before it).
std::string decoded_key(const std::string &raw) {
  if (raw.find('\\') == std::string::npos)
    return raw;
  json key = json::parse("\"" + raw + "\"", nullptr, false);
  return key.is_string() ? key.get<std::string>() : raw;
}

// The first repeated key of one object, by place in the text; null if none.
const KeyAt *first_repeat(std::vector<KeyAt> &keys) {
  std::stable_sort(keys.begin(), keys.end(), [](const KeyAt &a, const KeyAt &b) { return a.key < b.key; });
  const KeyAt *first = nullptr;
  for (size_t i = 1; i < keys.size(); ++i)
    if (keys[i].key == keys[i - 1].key && (first == nullptr || keys[i].offset < first->offset))
      first = &keys[i];
  return first;
}

// Walks the text of a document that the parser accepted up to this point:
// nesting depth and keys repeated within one object.
void scan_structure(const std::string &text, const std::string &file) {
  struct Frame {
    bool object;
    bool expect_key;
    std::vector<KeyAt> keys;
  };
  std::vector<Frame> stack;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      const size_t start = i++;
      while (i < text.size() && text[i] != '"')
        i += text[i] == '\\' ? 2 : 1;
      if (!stack.empty() && stack.back().object && stack.back().expect_key) {
        stack.back().keys.push_back({decoded_key(text.substr(start + 1, i - start - 1)), start});
        stack.back().expect_key = false;
      }
    } else if (c == '{' || c == '[') {
      stack.push_back({c == '{', c == '{', {}});
      if (stack.size() > static_cast<size_t>(kMaxJsonDepth))
        fail_at(file, text, i, "nesting deeper than " + std::to_string(kMaxJsonDepth) + " levels");
    } else if ((c == '}' || c == ']') && !stack.empty()) {
      if (const KeyAt *repeat = stack.back().object ? first_repeat(stack.back().keys) : nullptr)
        fail_at(file, text, repeat->offset, "duplicate key \"" + repeat->key + "\"");
      stack.pop_back();
    } else if (c == ',' && !stack.empty() && stack.back().object) {
      stack.back().expect_key = true;
    }
  }
}

} // namespace

json parse_scene_text(const std::string &text, const std::string &file) {
  // The parser takes a NUL byte for the end of the input and would ignore
  // whatever follows it; JSON has no place for one.
  if (const size_t nul = text.find('\0'); nul != std::string::npos)
    fail_at(file, text, nul, "a NUL byte (the file is not JSON text)");
  json document;
  Builder builder(document);
  const bool parsed = json::sax_parse(text, &builder, json::input_format_t::json, true);
  if (!parsed && !builder.error_.empty()) {
    // The position counts the characters read, the last one being the culprit.
    fail_at(file, text, builder.error_position_ > 0 ? builder.error_position_ - 1 : 0, builder.error_);
  }
  scan_structure(text, file);
  if (!parsed) // stopped for depth; the scan above has reported it
    throw SceneError(file + ": nesting deeper than " + std::to_string(kMaxJsonDepth) + " levels");
  return document;
}

} // namespace bf
