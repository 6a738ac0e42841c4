// Indented output helpers: the indentation shows the depth in the object tree.
//
// A line is put together in memory, numbers through pov_format_g, and
// handed to the stream with one write: a scene of thousands of objects is
// hundreds of thousands of lines, and a stream call per piece (or printf's
// parsing of every number) would cost more than the writing itself. Formats
// with conversions other than the few that scene text uses go to vfprintf.
#include "base/pov_print.h"
#include "base/pov_text.h"
#include "base/pov_text_out.h"

#include <charconv>
#include <clocale>
#include <cstdarg>
#include <cstring>

namespace {

const int kLineCapacity = 512;
const int kNumberText = 32; // room for one number of any supported kind
const int kVectorText = 96; // room for three numbers of a vector

// A line is collected in a block on the stack and handed to the stream
// whenever the block fills up.
struct Line {
  PovTextOut out;
  char block[kLineCapacity];
};

void open_line(Line &line, FILE *file, int depth) {
  line.out = PovTextOut{file, line.block, 0, sizeof line.block, 0};
  for (; depth > 0; --depth)
    pov_text_out_write(&line.out, "  ", 2);
}

void add_char(PovTextOut *out, char c) {
  *pov_text_out_reserve(out, 1) = c;
  ++out->used;
}

void add_number(PovTextOut *out, double v) {
  char *at = pov_text_out_reserve(out, kNumberText);
  out->used += static_cast<size_t>(pov_format_g(at, v));
}

template <class Int> void add_integer(PovTextOut *out, Int v) {
  char *at = pov_text_out_reserve(out, kNumberText);
  pov_text_out_commit(out, std::to_chars(at, at + kNumberText, v).ptr);
}

// The conversion that starts at format (just after the '%'): its letter,
// whether it takes a long, and its length in the format; 0 for anything
// that is not one of "%d", "%i", "%u", "%ld", "%lu", "%s", "%c", "%g",
// "%.6g" and "%%".
char conversion(const char *format, bool &is_long, int &length) {
  is_long = false;
  const char *p = format;
  if (p[0] == '.' && p[1] == '6' && p[2] == 'g') {
    length = 3;
    return 'g';
  }
  if (*p == 'l') {
    is_long = true;
    ++p;
  }
  const char c = *p;
  length = static_cast<int>(p - format) + 1;
  if (is_long)
    return c == 'd' || c == 'u' ? c : 0;
  switch (c) {
  case 'i':
    return 'd';
  case 'd':
  case 'u':
  case 's':
  case 'c':
  case 'g':
  case '%':
    return c;
  default:
    return 0;
  }
}

// printf's own conversions take the decimal point from the process locale;
// scene text has '.' whatever locale the host has set, so they run in "C".
locale_t c_numbers() {
  static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

bool only_known_conversions(const char *format) {
  for (const char *p = std::strchr(format, '%'); p; p = std::strchr(p, '%')) {
    bool is_long;
    int length;
    if (!conversion(p + 1, is_long, length))
      return false;
    p += 1 + length;
  }
  return true;
}

void add_argument(PovTextOut *line, char c, bool is_long, va_list &args) {
  switch (c) {
  case 'd':
    if (is_long)
      add_integer(line, va_arg(args, long));
    else
      add_integer(line, va_arg(args, int));
    break;
  case 'u':
    if (is_long)
      add_integer(line, va_arg(args, unsigned long));
    else
      add_integer(line, va_arg(args, unsigned));
    break;
  case 's': {
    const char *s = va_arg(args, const char *);
    if (!s)
      s = "(null)"; // what glibc's printf writes for a null text
    pov_text_out_write(line, s, std::strlen(s));
    break;
  }
  case 'c':
    add_char(line, static_cast<char>(va_arg(args, int)));
    break;
  case 'g':
    add_number(line, va_arg(args, double));
    break;
  default:
    add_char(line, '%');
  }
}

void format_line(PovTextOut *line, const char *format, va_list &args) {
  const char *p = format;
  while (*p) {
    const char *mark = std::strchr(p, '%');
    size_t plain = mark ? static_cast<size_t>(mark - p) : std::strlen(p);
    pov_text_out_write(line, p, plain);
    if (!mark)
      break;
    bool is_long;
    int length;
    char c = conversion(mark + 1, is_long, length);
    add_argument(line, c, is_long, args);
    p = mark + 1 + length;
  }
}

} // namespace

void pov_printf(FILE *file, int depth, const char *format, ...) {
  Line line;
  open_line(line, file, depth);
  va_list args;
  va_start(args, format);
  if (only_known_conversions(format)) {
    format_line(&line.out, format, args);
    pov_text_out_flush(&line.out);
  } else {
    pov_text_out_flush(&line.out);
    locale_t host = uselocale(c_numbers());
    vfprintf(file, format, args);
    uselocale(host);
  }
  va_end(args);
}

void pov_print_vector(FILE *file, int depth, const char *keyword, const char *number_format, float a, float b,
                      float c) {
  const char *format = number_format ? number_format : "%g";
  if (std::strcmp(format, "%g") != 0 && std::strcmp(format, "%.6g") != 0) {
    // Another number format: each component through printf's own
    // conversion, straight to the stream, as long as the format makes it.
    pov_printf(file, depth, "%s%s<", keyword ? keyword : "", keyword && *keyword ? " " : "");
    const float values[3] = {a, b, c};
    for (int i = 0; i < 3; ++i) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral" // the caller's number format, one double
      pov_printf(file, 0, format, static_cast<double>(values[i]));
#pragma GCC diagnostic pop
      pov_printf(file, 0, "%s", i < 2 ? ", " : ">\n");
    }
    return;
  }
  Line line;
  open_line(line, file, depth);
  PovTextOut *out = &line.out;
  if (keyword && *keyword) {
    pov_text_out_write(out, keyword, std::strlen(keyword));
    add_char(out, ' ');
  }
  add_char(out, '<');
  const float v[3] = {a, b, c};
  char *at = pov_text_out_reserve(out, kVectorText);
  out->used += static_cast<size_t>(pov_format_g3(at, v));
  pov_text_out_write(out, ">\n", 2);
  pov_text_out_flush(out);
}

void pov_print_vec3(FILE *file, int depth, const char *keyword, float a, float b, float c) {
  pov_print_vector(file, depth, keyword, "%g", a, b, c);
}

void pov_print_vect3(FILE *file, int depth, const char *keyword, const ZAL_VECT3 &v) {
  pov_print_vec3(file, depth, keyword, v.x, v.y, v.z);
}

void pov_print_euler(FILE *file, int depth, const ZAL_VECT3 &angles, int inline_text) {
  const float turns[3][3] = {{0, 0, angles.z}, {0, angles.y, 0}, {angles.x, 0, 0}};
  const float amount[3] = {angles.z, angles.y, angles.x};
  for (int i = 0; i < 3; ++i) {
    if (amount[i] == 0)
      continue;
    const float *t = turns[i];
    if (inline_text)
      pov_printf(file, 0, " rotate <%g, %g, %g>", static_cast<double>(t[0]), static_cast<double>(t[1]),
                 static_cast<double>(t[2]));
    else
      pov_print_vec3(file, depth, "rotate", t[0], t[1], t[2]);
  }
}
