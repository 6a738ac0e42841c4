// The backdrop: the scene root's texture shown on a plane far behind the
// scene, facing the camera. The scene language has no backdrop of its own,
// so the plane is placed four times the scene's reach ahead of the camera and
// its image is sized partly with scene-language expressions over IMAGE_WIDTH
// and IMAGE_HEIGHT, so the renderer fits it to whatever picture size it makes.
#include "scene/pov_backdrop.h"
#include "base/pov_print.h"
#include "texture/pov_texture.h"

#include <cmath>

namespace {

struct View {
  ZAL_VECT3 euler;   // the camera's Euler angles, for the plane's rotations
  ZAL_VECT3 target;  // where the plane goes
  float view_height; // the height the camera sees at the plane's distance
};

View read_view(_object *camera, _object *root) {
  View v;
  ZAL_VECT3 position, midpoint;
  ZAL_QUAT orientation;
  obj_get_pos(camera, position, FRAME_SCENE);
  obj_get_orient(camera, orientation, FRAME_SCENE);
  obj_get_eangles(camera, v.euler, FRAME_SCENE);
  ZAL_VECT3 direction = orientation.xform(ZAL_VECT3{0, 0, 1});
  obj_get_midpoint(root, midpoint, FRAME_CONTENTS);
  float radius = obj_get_grpradius(root);
  ZAL_VECT3 offset{position.x - midpoint.x, position.y - midpoint.y, position.z - midpoint.z};
  // A bound on the distance from the camera to anything in the scene.
  float reach = offset.mag() + radius;
  // A scene that reaches near the float range would make the plane's place
  // and size infinite: 1e30 is still behind everything and fills the view.
  if (!(reach <= 1e30f))
    reach = 1e30f;
  float ahead = 4 * reach;
  v.target = ZAL_VECT3{position.x + ahead * direction.x, position.y + ahead * direction.y,
                       position.z + ahead * direction.z};
  float view_angle = obj_get_viewangle(camera);
  // The tangent grows without bound as the view angle nears 180 degrees.
  v.view_height = 8 * reach * static_cast<float>(tan(view_angle * 0.017453292f / 2));
  if (!(std::fabs(v.view_height) <= 1e30f)) // the image sizes multiply it by the aspect again
    v.view_height = std::signbit(v.view_height) ? -1e30f : 1e30f;
  return v;
}

// Tiled: one image covers width x height pixels of the picture, with a
// corner of the image at a corner of the picture.
void write_tiled(FILE *file, int width, int height, float view_height, float aspect) {
  pov_printf(file, 0, " translate <-IMAGE_WIDTH / %d, -IMAGE_HEIGHT / %d, 0>", 2 * width, 2 * height);
  double size = static_cast<float>(height) * view_height;
  pov_printf(file, 0, " scale <%g, %g, 1> / IMAGE_HEIGHT\n", size, size);
  pov_printf(file, 0, " scale <%g, 1, 1>\n", static_cast<double>(aspect));
}

// The horizontal shift used when the image is wider than the picture (or the
// vertical one when it is taller): -1 and 1 push it to one side or the other.
// The shift comes before the scales, so it is measured in image widths
// (heights): half of what the image reaches beyond the picture, which is
// 1 - (picture aspect) / A of its width, so that its edge meets the
// picture's edge exactly (and the repeated image never shows).
// The two formats are the callers' literals, one number each.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
void write_shift(FILE *file, int choice, const char *to_low, const char *to_high, double value) {
  if (choice == -1)
    pov_printf(file, 0, to_low, value);
  else if (choice == 1)
    pov_printf(file, 0, to_high, value);
}
#pragma GCC diagnostic pop

// Fitted: the image keeps its proportions and covers the whole picture,
// centred, reaching beyond it at the sides or at top and bottom.
void write_fitted(FILE *file, int depth, _object *root, float view_height, float aspect) {
  pov_printf(file, 0, " translate <-0.5, -0.5>\n");
  pov_printf(file, 0, "#if ((IMAGE_WIDTH / IMAGE_HEIGHT) < %g)\n", static_cast<double>(aspect));
  pov_printf(file, depth + 2, "%s", "");
  write_shift(file, obj_get_texturemethod(root),
              "translate <(1 - IMAGE_WIDTH / IMAGE_HEIGHT / %g) / 2, 0, 0>",
              "translate <(IMAGE_WIDTH / IMAGE_HEIGHT / %g - 1) / 2, 0, 0>", aspect);
  pov_printf(file, 0, " scale <%g, %g, 1>\n", static_cast<double>(view_height),
             static_cast<double>(view_height));
  pov_printf(file, 0, "#else\n");
  pov_printf(file, depth + 2, "%s", "");
  float inverse = 1.0f / aspect;
  write_shift(file, obj_get_texturequality(root),
              "translate <0, (1 - IMAGE_HEIGHT / IMAGE_WIDTH / %g) / 2, 0>",
              "translate <0, (IMAGE_HEIGHT / IMAGE_WIDTH / %g - 1) / 2, 0>", inverse);
  double narrowed = view_height / aspect;
  pov_printf(file, 0, " scale <%g, %g, 1> * (IMAGE_WIDTH / IMAGE_HEIGHT)\n", narrowed, narrowed);
  pov_printf(file, 0, "#end\n");
  pov_printf(file, 0, " scale <%g, 1, 1>\n", static_cast<double>(aspect));
}

void write_placement(FILE *file, int depth, const View &v) {
  pov_printf(file, depth, "rotate <180, 0, 0>");
  pov_print_euler(file, 0, v.euler, 1);
  pov_printf(file, 0, " translate <%g, %g, %g>\n", static_cast<double>(v.target.x),
             static_cast<double>(v.target.y), static_cast<double>(v.target.z));
}

} // namespace

void pov_write_backdrop(PovSession &session, FILE *file, int depth, _object *root) {
  const char *name = obj_get_texturename(root);
  if (!name || !*name)
    return;
  int active = obj_get_textureactive(root);
  // The plane is placed relative to the camera: without one there is
  // nowhere to put it, and nothing is written (nor converted).
  _object *camera = RootGetViewPoint(obj_get_assembly(db_get_root()));
  if (!camera)
    return;
  int usable = 0;
  TextureRecord *record = texture_acquire(session, root, &usable);
  if (!record)
    return;
  if (!usable)
    active = 0;
  if (active == 0)
    pov_printf(file, 0, "/*\n");

  View view = read_view(camera, root);
  // A record whose conversion failed may hold no size; 1 x 1 keeps the
  // commented-out numbers finite.
  int width = record->width > 0 ? record->width : 1;
  int height = record->height > 0 ? record->height : 1;
  float aspect = static_cast<float>(width) / static_cast<float>(height);
  record->derive_file_name();
  char file_name[ZAL_NAME_SIZE];
  zal_narrow(file_name, record->file_name ? record->file_name : "");

  pov_printf(file, depth, "object {\n");
  pov_printf(file, depth + 1, "plane { <0, 0, 1>, 0 }\n");
  const bool language37 = session.pov_language == kPovLanguage37;
  pov_printf(file, depth + 1, "texture { pigment { image_map { tga \"%s\"%s }", file_name,
             language37 ? " gamma srgb" : "");
  if (obj_get_texturetype(root) == 1)
    write_tiled(file, width, height, view.view_height, aspect);
  else
    write_fitted(file, depth, root, view.view_height, aspect);
  // 3.7: the image as it is, lit by nothing (its emission is not scaled by
  // the ambient light).
  pov_printf(file, depth + 1, "} finish { %s }}\n",
             language37 ? "ambient 0 diffuse 0 emission 1" : "ambient 4/3");
  write_placement(file, depth + 1, view);
  pov_printf(file, depth + 1, "no_shadow\n");
  pov_printf(file, depth, "}\n");
  if (active == 0)
    pov_printf(file, 0, "*/\n");
  texture_release(session.module, record);
}
