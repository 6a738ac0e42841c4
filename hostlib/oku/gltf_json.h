// The JSON of a glTF file as Assimp's parser (rapidjson) reads it, for the
// checks made before Assimp reads the file: they must see the document that
// Assimp will see, or a file could hide what they look for.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace oku {

// Objects and arrays nested deeper than this are refused: rapidjson parses
// recursively, and a file of a few hundred kilobytes nested deep enough runs
// Assimp out of stack.
constexpr int kMaxJsonDepth = 1000;

// Parses `text` as rapidjson does: up to the first NUL byte, with bytes
// that are no UTF-8 kept (as the Latin-1 characters they would be). A
// document that names one member of an object twice (rapidjson takes the
// first, other parsers the last) or nests deeper than kMaxJsonDepth sets
// `problem`. Answers a discarded value when the text is no JSON.
nlohmann::json read_gltf_json(const std::string &text, std::string &problem);

} // namespace oku
