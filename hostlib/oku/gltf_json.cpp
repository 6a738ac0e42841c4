// glTF JSON read as Assimp reads it.
#include "oku/gltf_json.h"
#include "core/ascii_text.h"

#include <cstring>
#include <set>
#include <vector>

namespace oku {

namespace {

// The text up to its first NUL, each byte outside a UTF-8 sequence
// replaced by the character of that number.
std::string as_rapidjson_reads(const std::string &text) {
  const size_t size = strnlen(text.data(), text.size());
  std::string out;
  out.reserve(size);
  for (size_t i = 0; i < size;) {
    const size_t n = zal::utf8_sequence(text.data(), size, i);
    if (n == 0)
      zal::append_utf8(out, static_cast<unsigned char>(text[i++]));
    else
      out.append(text, i, n), i += n;
  }
  return out;
}

} // namespace

nlohmann::json read_gltf_json(const std::string &text, std::string &problem) {
  std::vector<std::set<std::string>> open; // the member names of each object being read
  bool twice = false;
  int deepest = 0;
  using Event = nlohmann::json::parse_event_t;
  const auto note = [&](int depth, Event event, nlohmann::json &parsed) {
    deepest = std::max(deepest, depth);
    if (event == Event::object_start)
      open.emplace_back();
    else if (event == Event::object_end && !open.empty())
      open.pop_back();
    else if (event == Event::key && !open.empty() && !open.back().insert(parsed.get<std::string>()).second)
      twice = true;
    return true;
  };
  nlohmann::json doc = nlohmann::json::parse(as_rapidjson_reads(text), note, false);
  if (deepest > kMaxJsonDepth)
    problem = "the file nests its JSON more than " + std::to_string(kMaxJsonDepth) + " levels deep";
  else if (twice)
    problem = "an object of the file names one member twice";
  return doc;
}

} // namespace oku
