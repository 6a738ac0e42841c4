// Indented output helpers: the indentation shows the depth in the object tree.
//
// A line is put together in memory, numbers through pov_format_g, and
// handed to the stream with one write: a scene of thousands of objects is
// hundreds of thousands of lines, and a stream call per piece (or printf's
// parsing of every number) would cost more than the writing itself. Formats
// with conversions other than the few that scene text uses go to vfprintf.
#include "base/pov_print.h"
#include "base/pov_text.h"

#include <charconv>
#include <cstdarg>
#include <cstring>

namespace {

const int kLineCapacity = 512;
const int kNumberText = 32; // room for one number of any supported kind
const int kVectorText = 96; // room for three numbers of a vector

// Collects a line and hands it to the stream whenever it fills up.
struct LineBuffer {
  FILE *file;
  int length;
  char text[kLineCapacity];

  void flush() {
    if (length > 0)
      fwrite(text, 1, static_cast<size_t>(length), file);
    length = 0;
  }
  // Makes room for n more bytes (n at most kLineCapacity).
  char *reserve(int n) {
    if (length + n > kLineCapacity)
      flush();
    return text + length;
  }
  void add(const char *s, size_t n) {
    if (n > static_cast<size_t>(kLineCapacity / 2)) {
      flush();
      fwrite(s, 1, n, file);
      return;
    }
    std::memcpy(reserve(static_cast<int>(n)), s, n);
    length += static_cast<int>(n);
  }
  void add_char(char c) {
    *reserve(1) = c;
    ++length;
  }
  void add_indent(int depth) {
    for (; depth > 0; --depth)
      add("  ", 2);
  }
  void add_number(double v) {
    char *at = reserve(kNumberText);
    length += pov_format_g(at, v);
  }
  template <class Int> void add_integer(Int v) {
    char *at = reserve(kNumberText);
    length += static_cast<int>(std::to_chars(at, at + kNumberText, v).ptr - at);
  }
};

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

void add_argument(LineBuffer &line, char c, bool is_long, va_list &args) {
  switch (c) {
  case 'd':
    if (is_long)
      line.add_integer(va_arg(args, long));
    else
      line.add_integer(va_arg(args, int));
    break;
  case 'u':
    if (is_long)
      line.add_integer(va_arg(args, unsigned long));
    else
      line.add_integer(va_arg(args, unsigned));
    break;
  case 's': {
    const char *s = va_arg(args, const char *);
    if (!s)
      s = "(null)"; // what glibc's printf writes for a null text
    line.add(s, std::strlen(s));
    break;
  }
  case 'c':
    line.add_char(static_cast<char>(va_arg(args, int)));
    break;
  case 'g':
    line.add_number(va_arg(args, double));
    break;
  default:
    line.add_char('%');
  }
}

void format_line(LineBuffer &line, const char *format, va_list &args) {
  const char *p = format;
  while (*p) {
    const char *mark = std::strchr(p, '%');
    size_t plain = mark ? static_cast<size_t>(mark - p) : std::strlen(p);
    line.add(p, plain);
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
  LineBuffer line;
  line.file = file;
  line.length = 0;
  line.add_indent(depth);
  va_list args;
  va_start(args, format);
  if (only_known_conversions(format)) {
    format_line(line, format, args);
    line.flush();
  } else {
    line.flush();
    vfprintf(file, format, args);
  }
  va_end(args);
}

void pov_print_vector(FILE *file, int depth, const char *keyword, const char *number_format, float a, float b,
                      float c) {
  const char *format = number_format ? number_format : "%g";
  if (std::strcmp(format, "%g") != 0 && std::strcmp(format, "%.6g") != 0) {
    // Another number format: its own text per component.
    char numbers[3][64];
    const float values[3] = {a, b, c};
    for (int i = 0; i < 3; ++i)
      snprintf(numbers[i], sizeof numbers[i], format, static_cast<double>(values[i]));
    pov_printf(file, depth, "%s%s<%s, %s, %s>\n", keyword ? keyword : "", keyword && *keyword ? " " : "",
               numbers[0], numbers[1], numbers[2]);
    return;
  }
  LineBuffer line;
  line.file = file;
  line.length = 0;
  line.add_indent(depth);
  if (keyword && *keyword) {
    line.add(keyword, std::strlen(keyword));
    line.add_char(' ');
  }
  line.add_char('<');
  const float v[3] = {a, b, c};
  char *at = line.reserve(kVectorText);
  line.length += pov_format_g3(at, v);
  line.add(">\n", 2);
  line.flush();
}

void pov_print_vec3(FILE *file, int depth, const char *keyword, float a, float b, float c) {
  pov_print_vector(file, depth, keyword, "%g", a, b, c);
}

void pov_print_vect3(FILE *file, int depth, const char *keyword, const ZAL_VECT3 &v) {
  pov_print_vec3(file, depth, keyword, v.x, v.y, v.z);
}
