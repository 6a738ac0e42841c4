// Typed reads from scene-file JSON.
#include "app/scene/json_value.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <vector>

namespace bf {

namespace {

// Length of the well-formed UTF-8 sequence at s[i], or 0.
size_t utf8_length(const std::string &s, size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > s.size())
    return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
      return 0;
  return n;
}

} // namespace

std::string printable(const std::string &message, bool keep_line_breaks) {
  std::string out;
  char code[16];
  for (size_t i = 0; i < message.size();) {
    const unsigned char c = static_cast<unsigned char>(message[i]);
    const size_t n = utf8_length(message, i);
    if ((c < 0x20 || c == 0x7f) && !(keep_line_breaks && c == '\n')) {
      std::snprintf(code, sizeof code, "<U+%04X>", c);
      out += code;
      ++i;
    } else if (n == 0) {
      std::snprintf(code, sizeof code, "<0x%02X>", c);
      out += code;
      ++i;
    } else {
      out.append(message, i, n);
      i += n;
    }
  }
  return out;
}

void report(const std::string &message) {
  std::cerr << "brightfold: " << printable(message, true) << std::endl;
}

namespace {

// JSON pointer escaping: "~" is "~0" and "/" is "~1".
void append_escaped(std::string &out, std::string_view key) {
  for (char c : key) {
    if (c == '~')
      out += "~0";
    else if (c == '/')
      out += "~1";
    else
      out += c;
  }
}

double read_number(const JsonRef &ref) {
  if (!ref.value().is_number())
    ref.fail("expected a number");
  const double d = ref.value().get<double>();
  if (!std::isfinite(d) || std::fabs(d) > FLT_MAX)
    ref.fail("number out of range");
  return d;
}

std::string format_limit(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
  return text;
}

// The numbers of an array of exactly `n` numbers.
std::vector<float> read_numbers(const JsonRef &ref, size_t n) {
  const std::string what = "expected " + std::to_string(n) + " numbers";
  if (!ref.value().is_array() || ref.value().size() != n)
    ref.fail(what);
  std::vector<float> out;
  for (size_t i = 0; i < n; ++i)
    out.push_back(read_float(ref.element(i)));
  return out;
}

} // namespace

std::optional<JsonRef> JsonRef::get(std::string_view key) const {
  if (!value_.is_object())
    return std::nullopt;
  const auto it = value_.find(key);
  if (it == value_.end())
    return std::nullopt;
  return JsonRef(*it, this, it.key(), 0);
}

JsonRef JsonRef::member(std::string_view key) const {
  auto found = get(key);
  if (!found)
    fail("missing \"" + std::string(key) + "\"");
  return JsonRef(found->value_, this, found->key_, 0);
}

JsonRef JsonRef::element(size_t index) const {
  return JsonRef(value_.at(index), this, std::string_view(), index);
}

std::string JsonRef::pointer() const {
  std::vector<const JsonRef *> chain;
  for (const JsonRef *r = this; r->parent_ != nullptr; r = r->parent_)
    chain.push_back(r);
  std::string out;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    out += '/';
    if ((*it)->parent_->value_.is_array())
      out += std::to_string((*it)->index_);
    else
      append_escaped(out, (*it)->key_);
  }
  return out;
}

void JsonRef::fail(const std::string &message) const {
  const std::string where = pointer();
  throw SceneError(printable(file_ + ": " + (where.empty() ? "" : where + ": ") + message));
}

void JsonRef::warn(const std::string &message) const {
  const std::string where = pointer();
  report(printable("warning: " + file_ + ": " + (where.empty() ? "" : where + ": ") + message));
}

size_t JsonRef::expect_array() const {
  if (!value_.is_array())
    fail("expected an array");
  return value_.size();
}

float read_float(const JsonRef &ref) { return static_cast<float>(read_number(ref)); }

float read_float_in(const JsonRef &ref, float low, float high) {
  const float v = read_float(ref);
  if (v < low || v > high)
    ref.fail("must be between " + format_limit(low) + " and " + format_limit(high));
  return v;
}

float read_non_negative(const JsonRef &ref) {
  const float v = read_float(ref);
  if (v < 0)
    ref.fail("must not be negative");
  return v;
}

int read_int(const JsonRef &ref) {
  const json &v = ref.value();
  if (!v.is_number_integer())
    ref.fail("expected an integer");
  if (v.is_number_unsigned() ? v.get<uint64_t>() > static_cast<uint64_t>(INT_MAX)
                             : (v.get<int64_t>() < INT_MIN || v.get<int64_t>() > INT_MAX))
    ref.fail("integer out of range");
  return static_cast<int>(v.get<int64_t>());
}

int read_int_in(const JsonRef &ref, int low, int high) {
  const int v = read_int(ref);
  if (v < low || v > high)
    ref.fail("must be between " + std::to_string(low) + " and " + std::to_string(high));
  return v;
}

int read_flag(const JsonRef &ref) {
  const json &v = ref.value();
  if (v.is_boolean())
    return v.get<bool>() ? 1 : 0;
  if (v.is_number_integer() && (v == 0 || v == 1))
    return v.get<int>();
  ref.fail("expected true, false, 0 or 1");
}

std::string read_string(const JsonRef &ref) {
  if (!ref.value().is_string())
    ref.fail("expected a string");
  std::string s = ref.value().get<std::string>();
  if (s.find('\0') != std::string::npos)
    ref.fail("must not contain a NUL character");
  return s;
}

ZAL_VECT2 read_vec2(const JsonRef &ref) {
  const auto v = read_numbers(ref, 2);
  return {v[0], v[1]};
}

ZAL_VECT3 read_vec3(const JsonRef &ref) {
  const auto v = read_numbers(ref, 3);
  return {v[0], v[1], v[2]};
}

ZAL_QUAT read_vec4(const JsonRef &ref) {
  const auto v = read_numbers(ref, 4);
  return {v[0], v[1], v[2], v[3]};
}

ZAL_COLOR read_colour(const JsonRef &ref) {
  const auto v = read_numbers(ref, 3);
  for (size_t i = 0; i < 3; ++i)
    if (v[i] < 0 || v[i] > 1)
      ref.element(i).fail("must be between 0 and 1");
  return {v[0], v[1], v[2]};
}

} // namespace bf
