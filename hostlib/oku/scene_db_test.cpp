// The scene database: tree, properties, view point, environment, geometry.
#include "oku/scene_db.h"
#include "vy/mesh.h"

#include <gtest/gtest.h>

namespace {

class SceneDb : public ::testing::Test {
protected:
  void SetUp() override { scene_reset(); }
  void TearDown() override { scene_reset(); }
};

TEST_F(SceneDb, ResetGivesAFreshRootAndDefaults) {
  _object *root = db_get_root();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(obj_get_type(root), OBJECT_TYPE_ROOT);
  EXPECT_STREQ(obj_get_name(root), "");
  EXPECT_EQ(obj_get_children(root)->count(), 0);
  ZAL_COLOR c;
  obj_get_color(root, c);
  EXPECT_EQ(c.r, -1.0f);
  env_get_bgcolor(c);
  EXPECT_EQ(c.r, 0.0f);
  EXPECT_EQ(c.b, 0.0f);
  EXPECT_FLOAT_EQ(env_get_ambient(), 0.2f);
  scene_environment().ambient = 0.5f;
  scene_environment().background = {0.1f, 0.2f, 0.3f};
  EXPECT_EQ(env_get_ambient(), 0.5f);
  env_get_bgcolor(c);
  EXPECT_EQ(c.g, 0.2f);
  scene_reset();
  EXPECT_NE(db_get_root(), nullptr);
  EXPECT_FLOAT_EQ(env_get_ambient(), 0.2f);
}

TEST_F(SceneDb, ChildrenKeepTheirOrderAndParent) {
  _object *a = scene_add_object(nullptr, OBJECT_TYPE_GROUP);
  _object *b = scene_add_object(nullptr, OBJECT_TYPE_GEOMETRY);
  _object *c = scene_add_object(a, 42);
  LIST *children = obj_get_children(db_get_root());
  ASSERT_EQ(children->count(), 2);
  EXPECT_EQ(children->get(1), a);
  EXPECT_EQ(children->get(2), b);
  EXPECT_EQ(obj_get_children(a)->get(1), c);
  EXPECT_EQ(c->parent, a);
  EXPECT_EQ(obj_get_type(c), 42);
  LIST_ITER it(obj_get_children(db_get_root()));
  ASSERT_TRUE(it.next());
  EXPECT_EQ(it.getdata(), a);
}

TEST_F(SceneDb, NodeDefaultsAndLightsAreWhite) {
  _object *o = scene_add_object(nullptr, OBJECT_TYPE_GEOMETRY);
  _object *light = scene_add_object(nullptr, OBJECT_TYPE_LIGHT);
  EXPECT_EQ(obj_get_active(o), 1);
  EXPECT_EQ(obj_get_vis(o), 1);
  EXPECT_EQ(obj_get_transparency(o), 1.0f);
  EXPECT_EQ(obj_get_id(o), 0);
  EXPECT_EQ(obj_get_viewangle(o), 45.0f);
  ZAL_COLOR c;
  obj_get_color(o, c);
  EXPECT_EQ(c.r, -1.0f);
  obj_get_color(light, c);
  EXPECT_EQ(c.r, 1.0f);
  EXPECT_EQ(c.g, 1.0f);
  EXPECT_EQ(c.b, 1.0f);
  EXPECT_EQ(obj_get_ltype(light), 0);
  EXPECT_EQ(obj_get_intensity(light), 1.0f);
  EXPECT_EQ(obj_get_angle(light), 30.0f);
  EXPECT_EQ(obj_get_exponent(light), 1.0f);
  EXPECT_EQ(obj_set_id(o, 7), 1);
  EXPECT_EQ(obj_get_id(o), 7);
}

TEST_F(SceneDb, TextureCalls) {
  _object *o = scene_add_object(nullptr, OBJECT_TYPE_GEOMETRY);
  EXPECT_EQ(obj_get_texturename(o), nullptr);
  EXPECT_EQ(obj_get_textureactive(o), 0);
  o->has_texture = true;
  EXPECT_STREQ(obj_get_texturename(o), ""); // an empty name stays empty
  o->texture.image = "/img/wood.png";
  o->texture.active = 3;
  o->texture.method = 2;
  o->texture.scale = {2, 3};
  o->texture.grid_angles = {1, 2, 3};
  EXPECT_STREQ(obj_get_texturename(o), "/img/wood.png");
  EXPECT_EQ(obj_get_textureactive(o), 3);
  EXPECT_EQ(obj_get_texturemethod(o), 2);
  ZAL_VECT2 s;
  obj_get_texturescale(o, s);
  EXPECT_EQ(s.y, 3.0f);
  ZAL_VECT3 g;
  obj_get_texturegrideangles(o, g);
  EXPECT_EQ(g.z, 3.0f);
}

TEST_F(SceneDb, GeometryListAndParams) {
  _object *o = scene_add_object(nullptr, OBJECT_TYPE_GEOMETRY);
  EXPECT_EQ(obj_get_geometry(o), nullptr);
  _geometry *g1 = scene_add_geometry(o);
  _geometry *g2 = scene_add_geometry(o);
  VYobject *m1 = VYobject_create();
  g1->set_mesh(m1);
  g2->set_part_file("/parts/knob.obj");
  g2->part_info().type_ = "obj";
  EXPECT_EQ(obj_get_geometry(o), m1);
  EXPECT_EQ(obj_get_geolist(o)->count(), 2);
  EXPECT_EQ(obj_get_geolist(o)->get(2), g2);
  EXPECT_EQ(g1->part_name(), nullptr);
  EXPECT_STREQ(g2->part_name(), "/parts/knob.obj");
  EXPECT_STREQ(g2->part().type(), "obj");
  g1->set_mesh(VYobject_create()); // the first mesh is released

  ASSOC *vars = obj_get_vars(o);
  EXPECT_EQ(vars->find("_GEOM_PARAMS"), 0);
  GeomParams p{0, 0, 2, 4, 6, 1, 2, 3};
  scene_set_params(o, p);
  auto *stored = static_cast<GeomParams *>(vars->getvalue("_GEOM_PARAMS"));
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->size_z, 6.0f);
  p.kind = 3;
  scene_set_params(o, p); // replaces, one entry
  EXPECT_EQ(vars->count(), 1);
  EXPECT_EQ(static_cast<GeomParams *>(vars->getvalue(vars->find("_GEOM_PARAMS")))->kind, 3);
}

TEST_F(SceneDb, AMeshSharedByGeometriesLivesUntilTheLastGoes) {
  VYobject *raw = VYobject_create();
  const int p = VYobject_add_position(raw, 1, 2, 3);
  VYobject_begin_polygon(raw, {1, 1, 1});
  VYobject_add_corner(raw, p, -1);
  std::weak_ptr<VYobject> watch;
  {
    _geometry first;
    first.set_mesh(raw);
    first.set_mesh(raw); // the same mesh again changes nothing
    const std::shared_ptr<VYobject> mesh = first.shared_mesh();
    watch = mesh;
    {
      _geometry second;
      second.share_mesh(mesh);
      EXPECT_EQ(watch.use_count(), 3);
    }
    EXPECT_EQ(VYobject_polygon_count(first.handle()), 1); // still alive (ASan checks)
    _object *o = scene_add_object(nullptr, OBJECT_TYPE_GEOMETRY);
    scene_add_geometry(o)->share_mesh(mesh);
    scene_add_geometry(scene_add_object(nullptr, OBJECT_TYPE_GEOMETRY))->share_mesh(mesh);
  }
  EXPECT_EQ(watch.use_count(), 2); // the two in the database
  EXPECT_EQ(VYobject_polygon_count(
                obj_get_geometry(static_cast<_object *>(obj_get_children(db_get_root())->get(1)))),
            1);
  scene_reset(); // releases both users; the last one destroys the mesh
  EXPECT_TRUE(watch.expired());
}

TEST_F(SceneDb, ViewPointIsNamedCameraElseFirstInTreeOrder) {
  OkuAssembly *assembly = obj_get_assembly(db_get_root());
  ASSERT_NE(assembly, nullptr);
  EXPECT_EQ(RootGetViewPoint(assembly), nullptr); // no camera at all
  _object *group = scene_add_object(nullptr, OBJECT_TYPE_GROUP);
  _object *later = scene_add_object(nullptr, OBJECT_TYPE_CAMERA);
  _object *nested = scene_add_object(group, OBJECT_TYPE_CAMERA);
  EXPECT_EQ(RootGetViewPoint(assembly), nested); // depth first
  scene_set_viewpoint(later);
  EXPECT_EQ(RootGetViewPoint(assembly), later);
  EXPECT_EQ(RootGetViewPoint(nullptr), nullptr);
  scene_reset();
  EXPECT_EQ(RootGetViewPoint(obj_get_assembly(db_get_root())), nullptr);
}

TEST_F(SceneDb, NullNodeAnswersDefaults) {
  EXPECT_EQ(obj_get_type(nullptr), 0);
  EXPECT_STREQ(obj_get_name(nullptr), "");
  EXPECT_EQ(obj_get_children(nullptr)->count(), 0);
  EXPECT_EQ(obj_get_geolist(nullptr)->count(), 0);
  EXPECT_EQ(obj_get_geometry(nullptr), nullptr);
  EXPECT_EQ(obj_get_texturename(nullptr), nullptr);
  EXPECT_EQ(obj_get_assembly(nullptr), nullptr);
  EXPECT_EQ(obj_set_id(nullptr, 3), 0);
  EXPECT_EQ(scene_add_geometry(nullptr), nullptr);
  ZAL_COLOR c;
  obj_get_color(nullptr, c);
  EXPECT_EQ(c.r, -1.0f);
  EXPECT_EQ(obj_get_grpradius(nullptr), 0.0f);
}

TEST_F(SceneDb, VeryDeepTreeIsReleasedWithoutRecursion) {
  _object *node = nullptr;
  for (int i = 0; i < 200000; ++i)
    node = scene_add_object(node, OBJECT_TYPE_GROUP);
  scene_reset(); // would overflow the stack if release recursed
  EXPECT_EQ(obj_get_children(db_get_root())->count(), 0);
}

} // namespace
