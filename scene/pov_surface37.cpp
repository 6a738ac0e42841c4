// Object statements in the POV-Ray 3.7 language. A part is one mesh2
// whatever its colours, so an object is one statement: its shape, its
// surface as texture layers (the base, then the emission above it), an
// interior when the surface reflects, its transforms.
//
// A part whose mesh carries colours of its own gives each of them a texture
// of the object's surface in that colour, through the include file's macro
// OKU_ENTRY: the declarations written before the include line tell it how.
// Its triangles then wear those textures, and the statement's own texture
// covers none of them.
#include "base/pov_finish.h"
#include "base/pov_print.h"
#include "scene/pov_writers.h"
#include "texture/pov_texture.h"

namespace {

// The surface in the linear colour, or (null) in the macro's parameter;
// answers whether it used the parameter (no image was written).
bool write_surface(PovSession &session, FILE *file, int depth, _object *node, int has_uv,
                   const ZAL_COLOR *linear, const PovObjectValues *values) {
  const int uv = has_uv && obj_get_texturemapping(node) == 1;
  pov_printf(file, depth, "texture {\n");
  const int image = pov_write_image_layers37(session, file, depth + 1, node, uv, values->opacity);
  const double transmit = 1 - values->opacity;
  if (!image && linear)
    pov_printf(file, depth + 1, "pigment {color rgb <%g, %g, %g> transmit %g}\n", linear->r, linear->g,
               linear->b, transmit);
  else if (!image)
    pov_printf(file, depth + 1, "pigment {color rgb OKU_C transmit %g}\n", transmit);
  pov_write_finish37(file, depth + 1, node, values->specular, values->opacity);
  pov_printf(file, depth, "}\n");
  pov_write_emission_layer(file, depth, node);
  return !image && !linear;
}

} // namespace

// How OKU_ENTRY gives an entry its texture: 0 the declared OKU_BASE with
// the entry's pigment, 1 the same under the declared OKU_GLOW layer, 2 the
// one OKU_SURFACE (the surface does not depend on the entry's colour: an
// image, or the object's own colour). POV-Ray reads a macro's body again
// from its file at every call, so the include never calls back into this
// file: a coloured scan has hundreds of thousands of entries.
void pov_write_part_texture37(PovSession &session, FILE *file, int depth, _object *node, int has_uv) {
  PovObjectValues values;
  values.opacity = obj_get_transparency(node) * session.inherited_opacity;
  pov_read_object_values(node, &values);
  // An object of its own colour keeps it on every triangle.
  const ZAL_COLOR linear = pov_linear_colour(values.colour);
  pov_printf(file, depth, "#macro OKU_TEXTURE(OKU_C)\n");
  pov_printf(file, depth + 1, "#local OKU_LAYERS =\n");
  const bool per_entry = write_surface(session, file, depth + 1, node, has_uv,
                                       values.colour.r != -1 ? &linear : nullptr, &values);
  pov_printf(file, depth + 1, "; OKU_LAYERS\n");
  pov_printf(file, depth, "#end\n");
  const int glows = pov_has_emission_layer(node);
  pov_printf(file, depth, "#declare OKU_KIND = %d;\n", !per_entry ? 2 : glows ? 1 : 0);
  if (!per_entry) {
    pov_printf(file, depth, "#declare OKU_SURFACE = OKU_TEXTURE(<0, 0, 0>);\n");
    return;
  }
  pov_printf(file, depth, "#declare OKU_TRANSMIT = %g;\n", 1 - values.opacity);
  pov_printf(file, depth, "#declare OKU_BASE = texture {\n");
  pov_write_finish37(file, depth + 1, node, values.specular, values.opacity);
  pov_printf(file, depth, "}\n");
  if (glows) {
    pov_printf(file, depth, "#declare OKU_GLOW =\n");
    pov_write_emission_layer(file, depth, node);
  }
}

void pov_write_object_statement37(PovSession &session, FILE *file, int depth, _object *node, const char *name,
                                  PartRecord *record, const PovObjectValues *values) {
  pov_printf(file, depth, "object { // %s\n", name);
  pov_write_shape(file, depth + 1, node, record);
  if (!record || !record->own_colours) {
    const ZAL_COLOR linear = pov_linear_colour(pov_statement_colour(values->colour, record, 0));
    write_surface(session, file, depth + 1, node, record && record->has_uv, &linear, values);
  }
  if (pov_reflects(node))
    pov_printf(file, depth + 1, "interior {ior 1.5}\n");
  pov_write_transforms(file, depth + 1, values);
  pov_printf(file, depth + 1, "#if (NO_SHADOWS) no_shadow #end\n");
  pov_printf(file, depth, "}\n");
}
