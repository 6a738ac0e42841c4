// zaloku: the host's scene database and saver registry as the module sees it.
#pragma once

#include "zalbase.h"
#include "zalvy.h"

#include <memory>

struct _object;     // a node of the scene database
struct OkuAssembly; // the root's assembly (knows the view point)

typedef int OBJECT_TYPE;
enum : int {
  OBJECT_TYPE_ROOT = 1,
  OBJECT_TYPE_GROUP = 2,
  OBJECT_TYPE_GEOMETRY = 3,
  OBJECT_TYPE_LIGHT = 4,
  OBJECT_TYPE_CAMERA = 5,
};

typedef int FRAME;
enum : int {
  FRAME_OWN = 0,      // the node's own frame
  FRAME_CONTENTS = 1, // the node's contents (used for the root's midpoint)
  FRAME_PARENT = 2,   // the parent's frame
  FRAME_SCENE = 3,    // the frame of the whole scene
};

// ---------------------------------------------------------------- parts
// Shape parameters of a parametric geometry, stored under "_GEOM_PARAMS" in
// the object's variable table.
struct GeomParams {
  int32_t kind;     // 0 box, 1 cone, 2 cylinder, 3 sphere, 4 flat rectangle
  int32_t reserved; // not read by the module
  float size_x, size_y, size_z;
  float radius;
  float height;
  float width;
};

class _part_info {
public:
  const char *type() const { return type_.c_str(); }
  const char *name() const { return name_.c_str(); }
  const char *params() const { return params_.c_str(); }

  std::string type_, name_, params_;
};

// One geometry entry of an object: a mesh loaded from a part file, a mesh
// held in the scene file, or the bounds of a parametric shape.
class _geometry {
public:
  _geometry();
  ~_geometry();
  _geometry(const _geometry &) = delete;
  _geometry &operator=(const _geometry &) = delete;

  // Path of the part file the geometry was loaded from; null when none.
  const char *part_name() const { return has_part_file_ ? part_file_.c_str() : nullptr; }
  const _part_info &part() const { return part_info_; }
  VYobject *handle() const { return mesh_.get(); }

  // Host side.
  void set_part_file(const std::string &path) {
    part_file_ = path;
    has_part_file_ = true;
  }
  _part_info &part_info() { return part_info_; }
  // Takes ownership of a mesh of its own (releases a previous mesh); the
  // mesh it already holds changes nothing.
  void set_mesh(VYobject *mesh);
  // Shares a mesh with the other geometries that hold it (one part placed
  // many times): it is destroyed with the last of them.
  void share_mesh(std::shared_ptr<VYobject> mesh) { mesh_ = std::move(mesh); }
  const std::shared_ptr<VYobject> &shared_mesh() const { return mesh_; }

private:
  bool has_part_file_ = false;
  std::string part_file_;
  _part_info part_info_;
  std::shared_ptr<VYobject> mesh_;
};

// Lets a loader name a part from its name and parameter string.
class PartNamer {
public:
  virtual ~PartNamer() = default;
  // Writes at most capacity - 1 characters and a NUL into out; leaves out
  // empty when it has no name for the part.
  virtual void name_part(const char *name, const char *params, int capacity, char *out) = 0;
};

class LoaderFactory {
public:
  virtual ~LoaderFactory() = default;
  virtual const char *type() const = 0; // part type, e.g. "obj"
  virtual PartNamer *part_namer() = 0;  // null when the loader has none
  // Host side: loads a part file into a new mesh; null with a message in error.
  virtual VYobject *load(const char *path, const char *params, std::string &error) = 0;
};

// Loader factory for a part type (case-insensitive); null when none.
LoaderFactory *loader_get_factory(const char *type);

// ---------------------------------------------------------------- tree
_object *db_get_root();
LIST *obj_get_children(_object *o); // of _object *
OBJECT_TYPE obj_get_type(_object *o);
OkuAssembly *obj_get_assembly(_object *o);
_object *RootGetViewPoint(OkuAssembly *assembly); // null when the scene has no camera

int obj_get_active(_object *o);
int obj_get_vis(_object *o);
const char *obj_get_name(_object *o);
int obj_get_id(_object *o);
int obj_set_id(_object *o, int id);

int obj_get_pos(_object *o, ZAL_VECT3 &out, FRAME frame);
int obj_get_midpoint(_object *o, ZAL_VECT3 &out, FRAME frame);
int obj_get_orient(_object *o, ZAL_QUAT &out, FRAME frame);
int obj_get_eangles(_object *o, ZAL_VECT3 &out, FRAME frame);
float obj_get_grpradius(_object *o);
float obj_get_viewangle(_object *o);

int obj_get_color(_object *o, ZAL_COLOR &out);
int obj_get_specular(_object *o, ZAL_COLOR &out);
int obj_get_emission(_object *o, ZAL_COLOR &out);
float obj_get_transparency(_object *o); // used as an opacity: 1 opaque
float obj_get_shininess(_object *o);
float obj_get_reflectivity(_object *o);

int obj_get_ltype(_object *o); // 1 distant, 2 spot, other point
float obj_get_intensity(_object *o);
// The distance at which a point or spot light has its intensity, nearer
// brighter and farther dimmer by the square of the distance; 0 when the
// light does not fade.
float obj_get_fadedistance(_object *o);
float obj_get_angle(_object *o);
float obj_get_exponent(_object *o);

const char *obj_get_texturename(_object *o); // null when the object has no texture
int obj_get_textureactive(_object *o);
int obj_get_texturetype(_object *o);
int obj_get_texturemethod(_object *o);
// 0: the image is laid on by the texture's own projection (type, scale,
// position...); 1: by the texture coordinates of the mesh's corners.
int obj_get_texturemapping(_object *o);
// With mapping 1, how the image continues beyond 0..1 along u (out[0]) and v
// (out[1]): 0 repeated, 1 mirrored every other repeat, 2 its edge pixels
// drawn out.
int obj_get_texturewrap(_object *o, int out[2]);
int obj_get_texturequality(_object *o);
int obj_get_texturescale(_object *o, ZAL_VECT2 &out);
int obj_get_texturepos(_object *o, ZAL_VECT2 &out);
float obj_get_textureangle(_object *o);
int obj_get_texturegridpos(_object *o, ZAL_VECT3 &out);
int obj_get_texturegrideangles(_object *o, ZAL_VECT3 &out);

VYobject *obj_get_geometry(_object *o); // the first geometry's mesh, or null
LIST *obj_get_geolist(_object *o);      // of _geometry *
ASSOC *obj_get_vars(_object *o);

int env_get_bgcolor(ZAL_COLOR &out);
float env_get_ambient();

// ---------------------------------------------------------------- savers
class Saver {
public:
  virtual ~Saver() = default;
  virtual int save(void *context, _object *root, const char *path) = 0;
};

class SaverFactory {
public:
  virtual ~SaverFactory() = default;
  virtual const char *name() = 0;
  virtual const char *description() = 0;
  virtual int suffix_count() = 0;
  virtual const char *suffix(int index) = 0;
  virtual const char *suffix() = 0;
  virtual int hints() = 0;
  virtual int saver_code() = 0;
  virtual const char *version() = 0;
  virtual Saver *create_saver() = 0;
};

class SaverFactoryImp : public SaverFactory {
public:
  ~SaverFactoryImp() override = default;
  int suffix_count() override;            // 1
  const char *suffix(int index) override; // the suffix for index 0, else null
  const char *suffix() override;          // the suffix
  int hints() override;                   // 0
  const char *version() override;         // "1.0"

protected:
  explicit SaverFactoryImp(const char *suffix);

private:
  std::string suffix_;
};

int saver_register(SaverFactory *factory);   // 0 on success
int saver_unregister(SaverFactory *factory); // 0 on success, 1 when not registered
// Host side: registered savers in registration order.
int saver_count();
SaverFactory *saver_get(int position); // 1-based
SaverFactory *saver_find(const char *name);
