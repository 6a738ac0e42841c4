// Test helpers for the geometry writers: host meshes built corner by corner,
// a scratch directory, part records and the scene objects that use them.
#pragma once

#include "geometry/pov_parts.h"
#include "tests/support/module_scene.h"
#include "tests/support/module_state.h"
#include "vy/mesh.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include <unistd.h>

struct TestCorner {
  float x, y, z;
  bool has_normal = false;
  float nx = 0, ny = 0, nz = 0;
};

struct TestPolygon {
  ZAL_COLOR colour;
  std::vector<TestCorner> corners;
};

// A new host mesh with the polygons in the given order; every corner gets
// a position of its own.
inline VYobject *make_mesh(const std::vector<TestPolygon> &polygons) {
  VYobject *mesh = VYobject_create();
  for (const TestPolygon &polygon : polygons) {
    VYobject_begin_polygon(mesh, polygon.colour);
    for (const TestCorner &c : polygon.corners) {
      int position = VYobject_add_position(mesh, c.x, c.y, c.z);
      int normal = c.has_normal ? VYobject_add_normal(mesh, c.nx, c.ny, c.nz) : -1;
      VYobject_add_corner(mesh, position, normal);
    }
  }
  return mesh;
}

inline TestPolygon flat_polygon(ZAL_COLOR colour, std::initializer_list<TestCorner> corners) {
  return TestPolygon{colour, std::vector<TestCorner>(corners)};
}

// Owns a host mesh for the length of a test.
struct MeshHolder {
  explicit MeshHolder(VYobject *m) : mesh(m) {}
  ~MeshHolder() { VYobject_destroy(mesh); }
  MeshHolder(const MeshHolder &) = delete;
  MeshHolder &operator=(const MeshHolder &) = delete;
  VYobject *mesh;
};

// A record as the parts cache makes it; release with pov_release_part.
inline PartRecord *new_record(const char *name) {
  PartRecord *record = static_cast<PartRecord *>(calloc(1, sizeof(PartRecord)));
  record->name = strdup(name);
  record->colours = new LIST;
  return record;
}

// A fresh scratch directory, removed with everything in it afterwards, and
// a fresh module state with a session on it.
class GeometryTest : public ::testing::Test {
protected:
  void SetUp() override {
    scene_reset();
    char pattern[] = "/tmp/pov_geometry_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    std::string command = "rm -rf '" + dir + "'";
    ASSERT_EQ(system(command.c_str()), 0);
  }
  std::string path(const std::string &name) const { return dir + "/" + name; }
  bool exists(const std::string &name) const { return access(path(name).c_str(), F_OK) == 0; }

  std::string dir;
  TestSession module;
  PovSession &session = module.session;
  PovModuleState *const state = module.state;
};

// A geometry object under parent whose mesh is held by the object itself.
inline _object *add_mesh_object(_object *parent, const char *name, VYobject *mesh) {
  _object *node = add_node(parent, OBJECT_TYPE_GEOMETRY, name);
  scene_add_geometry(node)->set_mesh(mesh);
  return node;
}

// A geometry object whose mesh came from the part file at part_path.
inline _object *add_part_object(_object *parent, const char *name, const std::string &part_path,
                                VYobject *mesh) {
  _object *node = add_mesh_object(parent, name, mesh);
  LIST_ITER it(obj_get_geolist(node));
  it.first();
  static_cast<_geometry *>(it.getdata())->set_part_file(part_path);
  return node;
}
