// The one number formatter and the one name sanitiser that every writer uses.
#pragma once

#include <cstddef>

// Writes v exactly as printf("%g") (= "%.6g") would, NUL-terminated, into out
// (at least 32 bytes); answers the length.
int pov_format_g(char *out, double v);
// Writes the three numbers of a vector, "%g" each, separated by ", ", NUL-
// terminated, into out (at least 96 bytes); answers the length. The same
// text as three pov_format_g calls, in less time: the digits of the three
// are worked out side by side.
int pov_format_g3(char *out, const float v[3]);

// Copies a name for a scene comment into out (256 bytes, cut at 255 bytes):
// control characters become '?', and "/*" and "*/" are broken up ("/ *",
// "* /") so the name can never end or open a comment. Plain names are unchanged.
char *pov_comment_name(char *out, const char *name);

// Maps the characters that would break a quoted file name in scene text
// ('"', '\\', control characters) to '_', in place; answers s. Applied
// before a file is created, so the name on disk and in the scene agree.
char *pov_safe_file_name(char *s);
