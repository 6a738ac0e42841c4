// The tree walk: each node by its type, then its children one level deeper.
// The written scene is flat; the tree shows in the indentation and in the
// opacity that groups pass down to their subtree.
#include "scene/pov_save.h"
#include "scene/pov_writers.h"

void pov_write_node(PovSession &session, FILE *file, _object *node, const SceneOptions *options) {
  if (!node)
    return;
  OBJECT_TYPE type = obj_get_type(node);
  float saved_opacity = session.inherited_opacity;
  const int depth = session.indent_depth;
  switch (type) {
  case OBJECT_TYPE_ROOT:
    pov_write_frame(session, file, depth, node, options);
    break;
  case OBJECT_TYPE_GROUP:
    session.inherited_opacity *= obj_get_transparency(node);
    break;
  case OBJECT_TYPE_GEOMETRY:
    pov_write_geometry_object(session, file, depth, node);
    break;
  case OBJECT_TYPE_LIGHT:
    pov_write_light(file, depth, node, session.pov_language);
    break;
  case OBJECT_TYPE_CAMERA:
    pov_write_camera(file, depth, node, session.pov_language);
    break;
  default:
    break;
  }

  ++session.indent_depth;
  if (LIST *children = obj_get_children(node)) {
    LIST_ITER it(children);
    while (it.next())
      pov_write_node(session, file, static_cast<_object *>(it.getdata()), options);
  }
  --session.indent_depth;

  if (type == OBJECT_TYPE_GROUP)
    session.inherited_opacity = saved_opacity;
}
