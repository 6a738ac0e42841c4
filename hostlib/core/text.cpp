// Text helpers and vector maths.
#include "core/ascii_text.h"
#include "zalbase.h"

#include <cmath>
#include <cstring>

int zal_strlen(const char *s) { return s ? static_cast<int>(std::strlen(s)) : 0; }

char *zal_strcpy(char *out, const char *in) {
  if (!in)
    in = "";
  return std::strcpy(out, in);
}

char *zal_strcat(char *out, const char *in) {
  if (!in)
    in = "";
  return std::strcat(out, in);
}

int zal_stricmp(const char *a, const char *b) {
  if (!a)
    a = "";
  if (!b)
    b = "";
  for (;; ++a, ++b) {
    int ca = static_cast<unsigned char>(zal::ascii_lower(*a));
    int cb = static_cast<unsigned char>(zal::ascii_lower(*b));
    if (ca != cb || ca == 0)
      return ca - cb;
  }
}

char *zal_narrow(char *out, const char *in) {
  const size_t capacity = ZAL_NAME_SIZE - 1;
  if (!in)
    in = "";
  size_t n = std::strlen(in);
  if (n > capacity)
    n = zal::utf8_cut(in, capacity);
  std::memmove(out, in, n);
  out[n] = '\0';
  return out;
}

float ZAL_VECT3::mag() const { return std::sqrt(x * x + y * y + z * z); }

ZAL_VECT3 ZAL_QUAT::xform(const ZAL_VECT3 &v) const {
  // R is the transpose of the quaternion's usual matrix M(q), so R * v is
  // v times M(q) as a row vector.
  const float m[3][3] = {{1 - 2 * y * y - 2 * z * z, 2 * x * y - 2 * z * w, 2 * x * z + 2 * y * w},
                         {2 * x * y + 2 * z * w, 1 - 2 * x * x - 2 * z * z, 2 * y * z - 2 * x * w},
                         {2 * x * z - 2 * y * w, 2 * y * z + 2 * x * w, 1 - 2 * x * x - 2 * y * y}};
  return {m[0][0] * v.x + m[1][0] * v.y + m[2][0] * v.z, m[0][1] * v.x + m[1][1] * v.y + m[2][1] * v.z,
          m[0][2] * v.x + m[1][2] * v.y + m[2][2] * v.z};
}
