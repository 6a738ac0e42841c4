// Every number in the scene text goes through pov_format_g or, for vectors,
// pov_format_g3, which must give exactly what printf's "%g" gives, for every
// float and double the writers can hand them: the fuzzer's bytes are taken
// as raw float and double bits.
#include "fuzz_support.h"

#include "base/pov_text.h"

#include <cstdio>

namespace {

void compare(double v) {
  char expected[64], got[64];
  std::snprintf(expected, sizeof expected, "%g", v);
  std::memset(got, 'x', sizeof got);
  const int n = pov_format_g(got, v);
  if (n < 0 || n > 31 || got[n] != '\0' || std::strcmp(got, expected) != 0) {
    char bits[64];
    std::snprintf(bits, sizeof bits, "%a", v);
    bf_fuzz::fail(std::string("pov_format_g(") + bits + ") gave \"" +
                  std::string(got, n > 0 && n < 32 ? n : 0) + "\", printf gives \"" + expected + "\"");
  }
}

// The vector form: the three numbers side by side, ", " between them.
void compare3(const float v[3]) {
  char expected[128], got[128];
  std::snprintf(expected, sizeof expected, "%g, %g, %g", v[0], v[1], v[2]);
  std::memset(got, 'x', sizeof got);
  const int n = pov_format_g3(got, v);
  if (n < 0 || n > 95 || got[n] != '\0' || std::strcmp(got, expected) != 0) {
    char bits[96];
    std::snprintf(bits, sizeof bits, "%a, %a, %a", v[0], v[1], v[2]);
    bf_fuzz::fail(std::string("pov_format_g3(") + bits + ") gave \"" +
                  std::string(got, n > 0 && n < 96 ? n : 0) + "\", printf gives \"" + expected + "\"");
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  for (size_t i = 0; i + 12 <= size; i += 12) {
    float v[3];
    std::memcpy(v, data + i, sizeof v);
    compare3(v);
  }
  for (size_t i = 0; i + 4 <= size; i += 4) {
    float f;
    std::memcpy(&f, data + i, 4);
    compare(f);
    if (i + 8 <= size) {
      double d;
      std::memcpy(&d, data + i, 8);
      compare(d);
    }
  }
  return 0;
}
