// POV-Ray's tokenizer, as far as the checks need it: block comments nest
// ("/*" inside a comment opens another level, "//" inside one means
// nothing), a line comment runs to the line end, a string ends at the next
// unescaped quote and may not run past its line.
#include "pov_text_check.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace bf_fuzz {

namespace {

struct Scanner {
  explicit Scanner(const std::string &t) : text(t) {}
  const std::string &text;
  size_t i = 0;
  int line = 1;
  std::string error;

  bool at(const char *s) const { return text.compare(i, std::char_traits<char>::length(s), s) == 0; }
  bool fail(const std::string &what) {
    if (error.empty())
      error = "line " + std::to_string(line) + ": " + what;
    return false;
  }
  void advance() {
    if (text[i] == '\n')
      ++line;
    ++i;
  }

  // At "/*": skips the whole (nested) comment.
  bool block_comment() {
    int depth = 0;
    while (i < text.size()) {
      if (at("/*")) {
        ++depth, i += 2;
      } else if (at("*/")) {
        i += 2;
        if (--depth == 0)
          return true;
      } else {
        advance();
      }
    }
    return fail("block comment not closed");
  }
  void line_comment() {
    while (i < text.size() && text[i] != '\n')
      ++i;
  }
  // At '"': the string must end on its line.
  bool string() {
    ++i;
    while (i < text.size() && text[i] != '"') {
      if (text[i] == '\n')
        return fail("string runs past its line");
      i += text[i] == '\\' && i + 1 < text.size() && text[i + 1] != '\n' ? 2 : 1;
    }
    if (i >= text.size())
      return fail("string not closed");
    ++i;
    return true;
  }
};

bool lower_equals(const std::string &word, const char *name) {
  std::string w;
  for (char c : word)
    w += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return w == name;
}

struct Open {
  char bracket;
  bool mesh;     // a "mesh {" block
  int triangles; // triangles seen directly inside it
  int line;
};

} // namespace

std::string check_pov_text(const std::string &text) {
  Scanner s(text);
  std::vector<Open> stack;
  std::string previous_word; // the identifier just before, if the last token was one
  while (s.error.empty() && s.i < text.size()) {
    const char c = text[s.i];
    if (s.at("/*")) {
      s.block_comment();
      continue;
    }
    if (s.at("*/")) {
      s.fail("\"*/\" outside a comment");
      break;
    }
    if (s.at("//")) {
      s.line_comment();
      continue;
    }
    std::string word;
    if (c == '"') {
      s.string();
    } else if (c == '{' || c == '(') {
      stack.push_back({c, c == '{' && previous_word == "mesh", 0, s.line});
      ++s.i;
    } else if (c == '}' || c == ')') {
      const char want = c == '}' ? '{' : '(';
      if (stack.empty() || stack.back().bracket != want) {
        s.fail(std::string("unbalanced '") + c + "'");
        break;
      }
      if (stack.back().mesh && stack.back().triangles == 0) {
        s.fail("empty mesh block");
        break;
      }
      stack.pop_back();
      ++s.i;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '#') {
      const size_t start = s.i++;
      while (s.i < text.size() && (std::isalnum(static_cast<unsigned char>(text[s.i])) || text[s.i] == '_'))
        ++s.i;
      word = text.substr(start, s.i - start);
      if (lower_equals(word, "nan") || lower_equals(word, "inf") || lower_equals(word, "infinity"))
        s.fail("not a finite number: " + word);
      if ((word == "smooth_triangle" || word == "triangle") && !stack.empty() && stack.back().mesh)
        ++stack.back().triangles;
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '.' && s.i + 1 < text.size() &&
                std::isdigit(static_cast<unsigned char>(text[s.i + 1])))) {
      char *end = nullptr;
      const double v = std::strtod(text.c_str() + s.i, &end);
      if (!std::isfinite(v))
        s.fail("number out of range: " + text.substr(s.i, static_cast<size_t>(end - (text.c_str() + s.i))));
      s.i = static_cast<size_t>(end - text.c_str());
    } else if (static_cast<unsigned char>(c) >= 0x80 ||
               (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t' && c != '\r')) {
      s.fail("stray byte " + std::to_string(static_cast<unsigned char>(c)) + " outside comments and strings");
    } else {
      const bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
      s.advance();
      if (blank)
        continue; // "mesh {" and "mesh{" alike
    }
    previous_word = word;
  }
  if (s.error.empty() && !stack.empty())
    s.error = "line " + std::to_string(stack.back().line) + ": '" + stack.back().bracket + "' not closed";
  return s.error;
}

bool is_one_block_comment(const std::string &text) {
  if (text.compare(0, 2, "/*") != 0)
    return false;
  Scanner s(text);
  return s.block_comment() && s.i == text.size();
}

} // namespace bf_fuzz
