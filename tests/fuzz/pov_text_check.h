// A checker for the scene text that the module writes: what POV-Ray's
// parser needs before it reads a single object. Block comments nest and
// must be closed, strings stay on their line, braces and parentheses
// balance, no mesh block is empty, every number is finite and no "nan" or
// "inf" appears outside a comment.
#pragma once

#include <string>

namespace bf_fuzz {

// Answers "" when the text passes, else what is wrong and where ("line 3:
// ...").
std::string check_pov_text(const std::string &text);

// Whether `text` is one whole block comment "/* ... */" as POV-Ray reads it
// (comments nest): nothing of it is outside the comment.
bool is_one_block_comment(const std::string &text);

} // namespace bf_fuzz
