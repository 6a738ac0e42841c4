// The frame every scene file opens with: it declares the identifiers that the
// statements after it use (image size, shadow switch, colours).
#include "base/pov_finish.h"
#include "base/pov_print.h"
#include "scene/pov_backdrop.h"
#include "scene/pov_writers.h"

void pov_write_frame(PovSession &session, FILE *file, int depth, _object *root, const SceneOptions *options) {
  static const SceneOptions save_options = {640, 480, 1, 1};
  if (!options)
    options = &save_options;
  ZAL_COLOR background;
  obj_get_color(root, background);
  if (background.r == -1)
    env_get_bgcolor(background);
  float ambient = pov_ambient_level();
  // 3.7: the language first, declarations ended by semicolons (3.7 asks for
  // them), colours in linear light and the gamma that goes with it.
  const bool v37 = session.pov_language == kPovLanguage37;
  const char *end = v37 ? ";" : "";
  if (v37) {
    background = pov_linear_colour(background);
    pov_printf(file, depth, "#version 3.7;\n");
    pov_printf(file, depth, "/* Brightfold generated POV-Ray 3.7 scene file */\n");
  } else {
    pov_printf(file, depth, "/* Brightfold generated POV 3.0 scene file */\n");
    pov_printf(file, depth, "/* Version 5.0 */\n");
  }
  pov_printf(file, depth, "\n");
  pov_printf(file, depth, "#declare IMAGE_WIDTH = %d%s\n", options->width, end);
  pov_printf(file, depth, "#declare IMAGE_HEIGHT = %d%s\n", options->height, end);
  pov_printf(file, depth, "#declare NO_SHADOWS = %d%s\n", options->shadows == 0 ? 1 : 0, end);
  pov_printf(file, depth, "#declare BACKGROUND_COLOR = rgb <%g, %g, %g>%s\n", background.r, background.g,
             background.b, end);
  pov_printf(file, depth, "#declare AMBIENT_COLOR = %g%s\n", ambient, end);
  pov_printf(file, depth, "\n");
  pov_printf(file, depth, "#declare OKU_SCENE_DEFS = \"okudefs.inc\"%s\n", end);
  pov_printf(file, depth, "#if (file_exists (OKU_SCENE_DEFS))\n");
  pov_printf(file, depth, "#include OKU_SCENE_DEFS\n");
  pov_printf(file, depth, "#end\n");
  pov_printf(file, depth, "\n");
  if (v37) {
    // A 3.7 background is clear in a picture with alpha only when it
    // transmits all: the renderer is told BACKGROUND_CLEAR=1 then (Declare=).
    pov_printf(file, depth, "#ifndef (BACKGROUND_CLEAR) #declare BACKGROUND_CLEAR = 0; #end\n");
    pov_printf(file, depth, "global_settings { assumed_gamma 1.0 ambient_light AMBIENT_COLOR }\n");
    pov_printf(file, depth, "background { color BACKGROUND_COLOR transmit BACKGROUND_CLEAR }\n");
  } else {
    pov_printf(file, depth, "global_settings { ambient_light AMBIENT_COLOR }\n");
    pov_printf(file, depth, "background { color BACKGROUND_COLOR }\n");
  }
  pov_write_backdrop(session, file, depth, root);
}
