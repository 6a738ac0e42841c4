// The texture block of a geometry object: an image-map pigment and a bump-map
// normal made from the converted Targa file, each with the mapping transforms
// of the texture method, then the texture's own finish. The texture activity
// bits decide which of the two passes is live; the other stays visible in the
// scene text inside a comment.
#include "base/pov_finish.h"
#include "base/pov_print.h"
#include "texture/pov_texture_internal.h"

#include <algorithm>
#include <cmath>

namespace {

struct Mapping {
  int method;
  ZAL_VECT2 scale;
  ZAL_VECT2 position;
  float angle;
  ZAL_VECT3 grid_angles;
  ZAL_VECT3 grid_position;
  float extent;      // the largest size of the object's geometry
  int width, height; // the converted image's pixels
};

Mapping read_mapping(_object *object, const TextureRecord &record) {
  Mapping m;
  m.width = record.width, m.height = record.height;
  m.method = obj_get_texturemethod(object);
  obj_get_texturescale(object, m.scale);
  m.angle = obj_get_textureangle(object);
  obj_get_texturepos(object, m.position);
  obj_get_texturegrideangles(object, m.grid_angles);
  obj_get_texturegridpos(object, m.grid_position);
  float extents[6] = {0, 0, 0, 0, 0, 0};
  VYobject_getextents(obj_get_geometry(object), extents);
  m.extent = std::max(extents[0], std::max(extents[1], extents[2]));
  return m;
}

void write_angle_and_position(FILE *file, const Mapping &m) {
  if (m.angle != 0.0f)
    pov_printf(file, 0, " rotate <0, 0, %g>", static_cast<double>(-m.angle));
  if (m.position.x != 0.0f || m.position.y != 0.0f)
    pov_printf(file, 0, " translate <%g, %g>", static_cast<double>(m.position.x),
               static_cast<double>(m.position.y));
}

void write_grid_translation(FILE *file, const Mapping &m) {
  const ZAL_VECT3 &p = m.grid_position;
  if (p.x != 0.0f || p.y != 0.0f || p.z != 0.0f)
    pov_printf(file, 0, " translate <%g, %g, %g>", static_cast<double>(p.x), static_cast<double>(p.y),
               static_cast<double>(p.z));
}

// The horizontal scale of cylindrical and spherical textures, and the
// vertical one of spherical textures, are built into the Targa image.
void write_mapping(FILE *file, const Mapping &m) {
  double extent = m.extent;
  switch (m.method) {
  case 0:
    pov_printf(file, 0, " translate <-0.5, -0.5>");
    pov_printf(file, 0, " scale <%g, %g, 1>", texture_reciprocal(m.scale.x), texture_reciprocal(m.scale.y));
    write_angle_and_position(file, m);
    pov_printf(file, 0, " scale <%g, %g, 1>", extent, extent);
    pov_print_euler(file, 0, m.grid_angles, 1);
    write_grid_translation(file, m);
    break;
  case 1:
    pov_printf(file, 0, " translate <0, -0.5>");
    pov_printf(file, 0, " rotate <0, 90, 0> scale <-1, 1, 1>");
    pov_printf(file, 0, " scale <1, %g, 1>", texture_reciprocal(m.scale.y));
    write_angle_and_position(file, m);
    pov_printf(file, 0, " scale <1, %g, 1>", extent);
    pov_print_euler(file, 0, m.grid_angles, 1);
    write_grid_translation(file, m);
    break;
  case 2:
    pov_printf(file, 0, " rotate <0, 90, 0> scale <-1, 1, 1>");
    pov_print_euler(file, 0, m.grid_angles, 1);
    break;
  default:
    break;
  }
}

// One pass: 1 the image-map pigment, 2 the bump-map normal.
// `uv`: the 3.7 text lays the image on by the mesh's texture coordinates
// (uv_mapping in the pass: at the texture's head it would make the texture
// a patterned one, which POV-Ray cannot put a layer such as the emission
// over): no projection then. `srgb`: the 3.7 text marks the image as sRGB,
// to be decoded into linear light.
void write_pass(FILE *file, int level, int pass, const char *file_name, float opacity, int type, int quality,
                const Mapping &m, _object *object, bool srgb = false, bool uv = false) {
  ImageBlock block{pass, file_name, opacity, type, quality, 0, srgb};
  if (!uv)
    block.map_type = m.method == 2 ? 1 : m.method == 1 ? 2 : 0;
  pov_printf(file, level, pass == 1 ? "pigment { " : "normal { ");
  if (uv) {
    pov_printf(file, 0, "uv_mapping ");
    pov_write_uv_image(file, object, block, m.width, m.height);
  } else {
    pov_write_image_block(file, block);
    write_mapping(file, m);
  }
  pov_printf(file, 0, "}\n");
}

} // namespace

double texture_reciprocal(float v) {
  if (v == 0.0f)
    return 0;
  float r = 1.0f / v;
  return std::isfinite(r) ? r : 0;
}

void pov_write_image_block(FILE *file, const ImageBlock &b) {
  if (b.pass == 1) {
    pov_printf(file, 0, "image_map { tga \"%s\"", b.file_name);
    if (b.srgb)
      pov_printf(file, 0, " gamma srgb");
    if (b.opacity != 1.0f)
      pov_printf(file, 0, " transmit all %g", static_cast<double>(1.0f - b.opacity));
  } else {
    pov_printf(file, 0, "bump_map { tga \"%s\" bump_size 2", b.file_name);
  }
  if (b.type == 1)
    pov_printf(file, 0, " once");
  if (b.quality == 1)
    pov_printf(file, 0, " interpolate 2");
  if (b.map_type != 0)
    pov_printf(file, 0, " map_type %d", b.map_type);
  pov_printf(file, 0, "}");
}

int write_texture_statements(PovSession &session, FILE *file, int depth, _object *object,
                             const ZAL_COLOR &colour, float opacity) {
  const char *name = obj_get_texturename(object);
  int active = obj_get_textureactive(object);
  // An image laid on by the mesh's texture coordinates has no 3.0 form:
  // the object shows its own colour.
  if (!name || !*name || obj_get_texturetype(object) == 2 || obj_get_texturemapping(object) == 1)
    return 0;
  int usable = 0;
  TextureRecord *record = texture_acquire(session, object, &usable);
  if (!record)
    return 0; // out of memory: the object keeps its plain pigment and finish
  if (!usable)
    active = 0;
  if (active == 0)
    pov_printf(file, 0, "/*\n");
  record->derive_file_name();
  char file_name[ZAL_NAME_SIZE];
  zal_narrow(file_name, record->file_name ? record->file_name : "");

  int type = obj_get_texturetype(object);
  int quality = obj_get_texturequality(object);
  Mapping mapping = read_mapping(object, *record);
  pov_printf(file, depth, "texture {\n");
  int level = depth + 1;
  for (int pass = 1; pass <= 2; pass++) {
    int commented = active != 0 && (active & pass) == 0;
    if (commented) {
      if (pass == 1)
        pov_write_pigment(file, level, colour, opacity);
      pov_printf(file, level, "/*\n");
      level++;
    }
    write_pass(file, level, pass, file_name, opacity, type, quality, mapping, object);
    if (commented) {
      level--;
      pov_printf(file, level, "*/\n");
    }
  }
  pov_printf(file, depth, "}\n");

  int wrote_finish = 0;
  if (active == 0) {
    pov_printf(file, 0, "*/\n");
  } else {
    ZAL_COLOR specular;
    obj_get_specular(object, specular);
    pov_write_finish(file, depth, object, ZAL_COLOR{1, 1, 1}, specular, opacity);
    wrote_finish = 1;
  }
  texture_release(session.module, record);
  return wrote_finish;
}

int pov_may_write_image_layers37(_object *object, int uv) {
  const char *name = obj_get_texturename(object);
  // Laid on by texture coordinates the mesh does not have: its own colour.
  return name && *name && obj_get_texturetype(object) != 2 && obj_get_textureactive(object) != 0 &&
         (uv || obj_get_texturemapping(object) != 1);
}

int pov_write_image_layers37(PovSession &session, FILE *file, int depth, _object *object, int uv,
                             float opacity) {
  if (!pov_may_write_image_layers37(object, uv))
    return 0;
  int active = obj_get_textureactive(object);
  int usable = 0;
  TextureRecord *record = texture_acquire(session, object, &usable);
  if (!record)
    return 0;
  int wrote_pigment = 0;
  if (usable) {
    record->derive_file_name();
    char file_name[ZAL_NAME_SIZE];
    zal_narrow(file_name, record->file_name ? record->file_name : "");
    int type = obj_get_texturetype(object);
    int quality = obj_get_texturequality(object);
    Mapping mapping = read_mapping(object, *record);
    for (int pass = 1; pass <= 2; pass++)
      if (active & pass)
        write_pass(file, depth, pass, file_name, opacity, type, quality, mapping, object, true, uv != 0);
    wrote_pigment = active & 1;
  }
  texture_release(session.module, record);
  return wrote_pigment;
}
