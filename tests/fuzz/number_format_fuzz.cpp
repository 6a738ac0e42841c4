// Every number in the scene text goes through pov_format_g, which must give
// exactly what printf's "%g" gives, for every float and double the writers
// can hand it: the fuzzer's bytes are taken as raw float and double bits.
#include "fuzz_support.h"

#include "scene/pov_text.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
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
