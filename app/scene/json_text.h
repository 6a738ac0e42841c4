// Parsing a scene file's text: syntax errors with their line and column, and
// the checks that the JSON parser leaves out.
#pragma once

#include "app/scene/json_value.h"

#include <string>

namespace bf {

// Deepest nesting of arrays and objects accepted in a scene file: room for
// the deepest tree of nodes (kMaxTreeDepth levels of children, two JSON
// levels each) and the values inside a node.
constexpr int kMaxJsonDepth = 600;

// Parses the text of the scene file `file`. A syntax error, a number that
// does not fit a double, nesting deeper than kMaxJsonDepth or a key given
// twice in one object throws SceneError "FILE:LINE:COL: ...".
json parse_scene_text(const std::string &text, const std::string &file);

} // namespace bf
