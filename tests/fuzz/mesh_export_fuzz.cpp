// Random meshes into the part include file writer: polygons of 0 to 8
// corners, shared and missing normals, repeated and nearly equal colours,
// huge, tiny, denormal and signed-zero coordinates. Every value the host
// hands over is finite (the loaders refuse others); the include file must
// then hold only finite numbers, no empty mesh, balanced braces, one mesh
// per colour and the closing OKU_OBJECT declaration.
#include "fuzz_support.h"
#include "pov_text_check.h"

#include "geometry/pov_mesh_internal.h"
#include "tests/support/module_state.h"
#include "vy/mesh.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>

namespace {

const float kValues[] = {0.0f,  -0.0f,    1.0f,  -1.0f,  0.5f,   1e-45f,      -1e-45f, 1e-38f,   1e-20f,
                         1e-7f, 1e7f,     1e18f, 1e20f,  -1e20f, 1e30f,       1e38f,   FLT_MAX,  -FLT_MAX,
                         3.0f,  123.456f, 2e19f, -2e19f, 1e19f,  16777217.0f, 0.1f,    1.000001f};

// With BF_FUZZ_MAX_COORDINATE set (say to 1e18), coordinates stay within
// it: a long run can then look past a fault it has already found in huge
// coordinates. Unset, as when ctest replays the inputs, every float counts.
float limit() {
  static const float value = [] {
    const char *text = std::getenv("BF_FUZZ_MAX_COORDINATE");
    return text ? std::strtof(text, nullptr) : FLT_MAX;
  }();
  return value;
}

float value(bf_fuzz::Bytes &in) {
  const unsigned pick = in.byte();
  float f;
  if (pick < 200) {
    f = kValues[pick % (sizeof kValues / sizeof kValues[0])];
  } else {
    uint32_t bits = in.u32();
    std::memcpy(&f, &bits, sizeof f);
    if (!std::isfinite(f))
      f = bits & 0x80000000u ? -FLT_MAX : FLT_MAX;
  }
  return std::fabs(f) <= limit() ? f : std::copysign(limit(), f);
}

ZAL_COLOR colour(bf_fuzz::Bytes &in) {
  static const ZAL_COLOR palette[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                      {1, 1, 1}, {0, 0, 0}, {0.5f, 0.5f, 0.5f}};
  const unsigned pick = in.byte();
  if (pick < 240)
    return palette[pick % 6];
  const float r = std::fabs(value(in)), g = std::fabs(value(in)), b = std::fabs(value(in));
  return {r > 1 ? 1 : r, g > 1 ? 1 : g, b > 1 ? 1 : b};
}

int count_of(const std::string &text, const std::string &what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace bf_fuzz;
  const std::string &dir = scratch_dir();
  Bytes in(data, size);
  const unsigned shape = in.byte();
  VYobject *mesh = nullptr;
  if (shape != 255) {
    mesh = VYobject_create();
    const unsigned positions = 1 + in.below(16), normals = in.below(8);
    for (unsigned i = 0; i < positions; ++i)
      VYobject_add_position(mesh, value(in), value(in), value(in));
    for (unsigned i = 0; i < normals; ++i)
      VYobject_add_normal(mesh, value(in), value(in), value(in));
    const unsigned polygons = in.below(40);
    for (unsigned p = 0; p < polygons && !in.empty(); ++p) {
      VYobject_begin_polygon(mesh, colour(in));
      const unsigned corners = in.below(9);
      for (unsigned k = 0; k < corners; ++k) {
        const int normal = normals > 0 && in.byte() % 3 != 0 ? static_cast<int>(in.below(normals)) : -1;
        VYobject_add_corner(mesh, static_cast<int>(in.below(positions)), normal);
      }
    }
  }
  PartRecord *record = pov_new_part_record("oku_Fuzz_1");
  if (record == nullptr)
    fail("no record");
  const std::string path = dir + "/Fuzz.inc";
  TestSession module;
  if (!pov_write_part_file(module.session, mesh, path.c_str(), record))
    fail("the include file was not written");
  const std::string text = read_file(path);
  if (const std::string problem = check_pov_text(text); !problem.empty())
    fail(problem, text);
  const int colours = record->colours->count();
  if (text.rfind("/* Object oku_Fuzz_1 */\n", 0) != 0)
    fail("the first line is not the part's comment", text);
  if (count_of(text, "#declare OKU_MESH_") != colours)
    fail("not one mesh per colour", text);
  if (count_of(text, "#declare OKU_OBJECT = ") != 1)
    fail("no single OKU_OBJECT", text);
  pov_release_part(record);
  VYobject_destroy(mesh);
  clear_scratch();
  return 0;
}
