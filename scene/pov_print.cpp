// Indented output helpers: the indentation shows the depth in the object tree.
#include "scene/pov_print.h"
#include "scene/pov_text.h"

#include <cstdarg>
#include <cstring>

namespace {

void write_indent(FILE *file, int depth) {
  static const char spaces[] = "                                                                ";
  const int chunk = static_cast<int>(sizeof spaces - 1) / 2;
  while (depth > 0) {
    int n = depth < chunk ? depth : chunk;
    fwrite(spaces, 1, static_cast<size_t>(n) * 2, file);
    depth -= n;
  }
}

bool is_six_digit_g(const char *format) { return !strcmp(format, "%g") || !strcmp(format, "%.6g"); }

// Appends one component in the number format; answers the new length.
int append_number(char *line, int n, const char *format, float v) {
  if (is_six_digit_g(format))
    return n + pov_format_g(line + n, v);
  int w = snprintf(line + n, 64, format, static_cast<double>(v));
  return w < 0 ? n : n + (w < 63 ? w : 63);
}

} // namespace

void pov_printf(FILE *file, int depth, const char *format, ...) {
  write_indent(file, depth);
  va_list args;
  va_start(args, format);
  vfprintf(file, format, args);
  va_end(args);
}

void pov_print_vector(FILE *file, int depth, const char *keyword, const char *number_format, float a, float b,
                      float c) {
  write_indent(file, depth);
  if (keyword && *keyword) {
    fputs(keyword, file);
    fputc(' ', file);
  }
  const char *format = number_format ? number_format : "%g";
  char line[3 * 64 + 16];
  int n = 0;
  line[n++] = '<';
  n = append_number(line, n, format, a);
  line[n++] = ',';
  line[n++] = ' ';
  n = append_number(line, n, format, b);
  line[n++] = ',';
  line[n++] = ' ';
  n = append_number(line, n, format, c);
  line[n++] = '>';
  line[n++] = '\n';
  fwrite(line, 1, static_cast<size_t>(n), file);
}

void pov_print_vec3(FILE *file, int depth, const char *keyword, float a, float b, float c) {
  pov_print_vector(file, depth, keyword, "%g", a, b, c);
}

void pov_print_vect3(FILE *file, int depth, const char *keyword, const ZAL_VECT3 &v) {
  pov_print_vec3(file, depth, keyword, v.x, v.y, v.z);
}
