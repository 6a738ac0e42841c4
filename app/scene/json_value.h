// Reading typed values out of a scene file's JSON, with messages that name
// the file and the JSON pointer of the bad value.
#pragma once

#include "zalbase.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace bf {

using json = nlohmann::json;

// A scene file that cannot be used; what() is the whole message for the user.
struct SceneError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A JSON value together with its place in the file. A child refers to its
// parent, so the pointer text is only built when a message needs it.
class JsonRef {
public:
  JsonRef(const json &document, const std::string &file) : value_(document), file_(file) {}

  const json &value() const { return value_; }
  // The member `key` of an object, if present.
  std::optional<JsonRef> get(std::string_view key) const;
  JsonRef member(std::string_view key) const; // must be present
  JsonRef element(size_t index) const;

  std::string pointer() const; // "/root/children/2/opacity"; "" for the document
  const std::string &file() const { return file_; }
  [[noreturn]] void fail(const std::string &message) const;
  // Prints "brightfold: warning: FILE: POINTER: MESSAGE" and goes on.
  void warn(const std::string &message) const;

  // Fails unless the value is an array; answers its size.
  size_t expect_array() const;

private:
  JsonRef(const json &value, const JsonRef *parent, std::string_view key, size_t index)
      : value_(value), file_(parent->file_), parent_(parent), key_(key), index_(index) {}

  const json &value_;
  const std::string &file_;
  const JsonRef *parent_ = nullptr;
  std::string_view key_; // empty with a parent: an array element
  size_t index_ = 0;
};

// The text with control characters shown as <U+000A> (as the JSON parser
// shows them) and bytes that are not UTF-8 as <0xE9>, so that a name or a
// byte quoted from a scene file cannot break or garble a message; line
// breaks stay when asked.
std::string printable(const std::string &text, bool keep_line_breaks = false);
// Prints "brightfold: MESSAGE" (printable, line breaks kept) on standard
// error.
void report(const std::string &message);

// Numbers must be finite and fit a 32-bit float.
float read_float(const JsonRef &ref);
float read_float_in(const JsonRef &ref, float low, float high);
float read_non_negative(const JsonRef &ref);
int read_int(const JsonRef &ref);
int read_int_in(const JsonRef &ref, int low, int high);
// true/false or 0/1, answered as 1/0.
int read_flag(const JsonRef &ref);
// Text without NUL characters.
std::string read_string(const JsonRef &ref);
ZAL_VECT2 read_vec2(const JsonRef &ref);
ZAL_VECT3 read_vec3(const JsonRef &ref);
ZAL_QUAT read_vec4(const JsonRef &ref);
// [r, g, b], each 0 to 1.
ZAL_COLOR read_colour(const JsonRef &ref);

} // namespace bf
