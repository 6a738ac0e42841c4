// The one number formatter and the one name sanitiser that every writer uses.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes v exactly as printf("%g") (= "%.6g") would, NUL-terminated, into out
// (at least 32 bytes); answers the length.
int pov_format_g(char *out, double v);
// Writes the three numbers of a vector, "%g" each, separated by ", ", NUL-
// terminated, into out (at least 96 bytes); answers the length. The same
// text as three pov_format_g calls, in less time: the digits of the three
// are worked out side by side.
int pov_format_g3(char *out, const float v[3]);

// Writes the shortest decimal text that reads back as exactly v, NUL-
// terminated, into out (at least 32 bytes); answers the length. For the few
// numbers whose every bit POV-Ray checks (a camera's perpendicular vectors).
int pov_format_exact(char *out, double v);

// Writes n in decimal (no NUL) at out, which must have room for 10 bytes;
// answers the end of the digits. For the long lists of indices in a mesh.
char *pov_format_index(char *out, uint32_t n);

// Copies a name for a scene comment into out (256 bytes, cut at 255 bytes):
// control characters become '?', and "/*" and "*/" are broken up ("/ *",
// "* /") so the name can never end or open a comment. Plain names are unchanged.
char *pov_comment_name(char *out, const char *name);

// Where text, longer than n bytes, can be cut at n bytes or a little less
// without splitting a UTF-8 sequence: backs over the continuation bytes at
// text[n], at most three (a longer run is no character and is cut where it
// is) and never below `floor`.
size_t pov_utf8_cut(const char *text, size_t n, size_t floor);

// Maps the characters that would break a quoted file name in scene text
// ('"', '\\', control characters) to '_', in place; answers s. Applied
// before a file is created, so the name on disk and in the scene agree.
char *pov_safe_file_name(char *s);
