// The tree walk: each node by its type, then its children one level deeper.
// The written scene is flat; the tree shows in the indentation and in the
// opacity that groups pass down to their subtree.
#include "scene/pov_save.h"
#include "scene/pov_writers.h"

void pov_write_node(FILE *file, _object *node, const SceneOptions *options) {
  if (!node)
    return;
  OBJECT_TYPE type = obj_get_type(node);
  float saved_opacity = inherited_opacity;
  switch (type) {
  case OBJECT_TYPE_ROOT:
    pov_write_frame(file, indent_depth, node, options);
    break;
  case OBJECT_TYPE_GROUP:
    inherited_opacity *= obj_get_transparency(node);
    break;
  case OBJECT_TYPE_GEOMETRY:
    pov_write_geometry_object(file, indent_depth, node);
    break;
  case OBJECT_TYPE_LIGHT:
    pov_write_light(file, indent_depth, node);
    break;
  case OBJECT_TYPE_CAMERA:
    pov_write_camera(file, indent_depth, node);
    break;
  default:
    break;
  }

  ++indent_depth;
  if (LIST *children = obj_get_children(node)) {
    LIST_ITER it(children);
    while (it.next())
      pov_write_node(file, static_cast<_object *>(it.getdata()), options);
  }
  --indent_depth;

  if (type == OBJECT_TYPE_GROUP)
    inherited_opacity = saved_opacity;
}
