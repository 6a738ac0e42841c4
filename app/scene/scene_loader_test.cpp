// The scene-file loader: every key lands in the database with its default
// when absent; paths become absolute.
#include "app/scene/scene_loader.h"

#include "oku/scene_db.h"
#include "vy/mesh.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class SceneLoader : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) / ("bf_loader_" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "meshes");
  }
  void TearDown() override {
    scene_reset();
    fs::remove_all(dir_);
  }
  // Writes the scene file into the test directory and loads it.
  void load(const std::string &text) {
    const fs::path path = dir_ / "scene.json";
    std::ofstream(path) << text;
    bf::load_scene_file(path.string());
  }
  _object *child(_object *parent, int position) {
    return static_cast<_object *>(obj_get_children(parent)->get(position));
  }
  fs::path dir_;
};

TEST_F(SceneLoader, EmptySceneIsAnEmptyRootWithDefaultEnvironment) {
  load("{}");
  _object *root = db_get_root();
  EXPECT_EQ(obj_get_type(root), OBJECT_TYPE_ROOT);
  EXPECT_EQ(obj_get_children(root)->count(), 0);
  ZAL_COLOR c;
  env_get_bgcolor(c);
  EXPECT_EQ(c.r, 0.0f);
  EXPECT_FLOAT_EQ(env_get_ambient(), 0.2f);
  EXPECT_EQ(RootGetViewPoint(obj_get_assembly(root)), nullptr);
}

TEST_F(SceneLoader, NodeDefaults) {
  load(R"({"root": {"children": [{"type": "object"}, {"type": "light"}, {"type": "camera"}]}})");
  _object *o = child(db_get_root(), 1);
  EXPECT_STREQ(obj_get_name(o), "");
  EXPECT_EQ(obj_get_id(o), 0);
  EXPECT_EQ(obj_get_active(o), 1);
  EXPECT_EQ(obj_get_vis(o), 1);
  EXPECT_EQ(obj_get_transparency(o), 1.0f);
  ZAL_COLOR c;
  obj_get_color(o, c);
  EXPECT_EQ(c.r, -1.0f);
  obj_get_specular(o, c);
  EXPECT_EQ(c.r, 0.0f);
  obj_get_emission(o, c);
  EXPECT_EQ(c.g, 0.0f);
  EXPECT_EQ(obj_get_shininess(o), 0.0f);
  EXPECT_EQ(obj_get_reflectivity(o), 0.0f);
  EXPECT_EQ(obj_get_geolist(o)->count(), 0);
  EXPECT_EQ(obj_get_texturename(o), nullptr);
  _object *light = child(db_get_root(), 2);
  obj_get_color(light, c); // a light without a colour is white
  EXPECT_EQ(c.r, 1.0f);
  EXPECT_EQ(c.g, 1.0f);
  EXPECT_EQ(c.b, 1.0f);
  EXPECT_EQ(obj_get_ltype(light), 0);
  EXPECT_EQ(obj_get_intensity(light), 1.0f);
  EXPECT_EQ(obj_get_fadedistance(light), 0.0f); // no fade
  EXPECT_EQ(obj_get_angle(light), 30.0f);
  EXPECT_EQ(obj_get_exponent(light), 1.0f);
  _object *cam = child(db_get_root(), 3);
  EXPECT_EQ(obj_get_viewangle(cam), 45.0f);
  EXPECT_EQ(RootGetViewPoint(obj_get_assembly(db_get_root())), cam); // the first camera
}

TEST_F(SceneLoader, EveryNodeKey) {
  load(R"({
    "environment": {"background": [0.1, 0.2, 0.3], "ambient": 0.4},
    "root": {"name": "Showroom", "color": [0, 0, 0], "children": [
      {"type": "object", "name": "A", "id": 12, "active": 0, "visible": false, "opacity": 0.25,
       "position": [1, 2, 3], "rotation": [10, 20, 30], "color": [1, 0.5, 0],
       "specular": [0.5, 0.5, 0.5], "emission": [0.1, 0, 0], "shininess": 40, "reflectivity": 0.3,
       "orientation": [0, 0, 0.6, 0.8], "euler": [4, 5, 6], "midpoint": [7, 8, 9], "radius": 2},
      {"type": "light", "name": "Key", "kind": "spot", "position": [5, 5, -5], "look_at": [0, 0, 0],
       "sky": [0, 0, 1], "color": [0.5, 0.5, 0.5], "intensity": 2, "fade_distance": 7.5, "cone_angle": 25, "exponent": 10},
      {"type": "light", "kind": "distant", "active": 1, "visible": true},
      {"type": "light", "kind": 7},
      {"type": 9, "view_angle": 60, "children": [{"type": "group"}]}
    ]}})");
  _object *root = db_get_root();
  EXPECT_STREQ(obj_get_name(root), "Showroom");
  ZAL_COLOR c;
  obj_get_color(root, c);
  EXPECT_EQ(c.r, 0.0f); // black is a colour, not "none"
  env_get_bgcolor(c);
  EXPECT_EQ(c.b, 0.3f);
  EXPECT_EQ(env_get_ambient(), 0.4f);

  _object *a = child(root, 1);
  EXPECT_EQ(obj_get_type(a), OBJECT_TYPE_GEOMETRY);
  EXPECT_EQ(obj_get_id(a), 12);
  EXPECT_EQ(obj_get_active(a), 0);
  EXPECT_EQ(obj_get_vis(a), 0);
  EXPECT_EQ(obj_get_transparency(a), 0.25f);
  EXPECT_EQ(a->position.z, 3.0f);
  EXPECT_EQ(a->rotation.y, 20.0f);
  obj_get_color(a, c);
  EXPECT_EQ(c.g, 0.5f);
  obj_get_emission(a, c);
  EXPECT_EQ(c.r, 0.1f);
  EXPECT_EQ(obj_get_shininess(a), 40.0f);
  EXPECT_EQ(obj_get_reflectivity(a), 0.3f);
  ZAL_QUAT q;
  obj_get_orient(a, q, FRAME_SCENE);
  EXPECT_EQ(q.z, 0.6f);
  EXPECT_EQ(q.w, 0.8f);
  ZAL_VECT3 v;
  obj_get_eangles(a, v, FRAME_SCENE);
  EXPECT_EQ(v.y, 5.0f);
  obj_get_midpoint(a, v, FRAME_SCENE);
  EXPECT_EQ(v.z, 9.0f);
  EXPECT_EQ(obj_get_grpradius(a), 2.0f);

  _object *key = child(root, 2);
  EXPECT_EQ(obj_get_ltype(key), 2);
  EXPECT_TRUE(key->has_look_at);
  EXPECT_EQ(key->sky.z, 1.0f);
  EXPECT_EQ(obj_get_intensity(key), 2.0f);
  EXPECT_EQ(obj_get_fadedistance(key), 7.5f);
  EXPECT_EQ(obj_get_angle(key), 25.0f);
  EXPECT_EQ(obj_get_exponent(key), 10.0f);
  obj_get_color(key, c);
  EXPECT_EQ(c.r, 0.5f);
  EXPECT_EQ(obj_get_ltype(child(root, 3)), 1);
  EXPECT_EQ(obj_get_active(child(root, 3)), 1);
  EXPECT_EQ(obj_get_ltype(child(root, 4)), 7);
  _object *other = child(root, 5);
  EXPECT_EQ(obj_get_type(other), 9);
  EXPECT_EQ(obj_get_viewangle(other), 60.0f);
  EXPECT_EQ(obj_get_type(child(other, 1)), OBJECT_TYPE_GROUP);
}

TEST_F(SceneLoader, ViewpointNamesTheCamera) {
  load(R"({"viewpoint": "Second", "root": {"children": [
    {"type": "camera", "name": "First"}, {"type": "object", "name": "Second"},
    {"type": "group", "children": [{"type": "camera", "name": "Second"}]}]}})");
  _object *vp = RootGetViewPoint(obj_get_assembly(db_get_root()));
  ASSERT_NE(vp, nullptr);
  EXPECT_EQ(obj_get_type(vp), OBJECT_TYPE_CAMERA);
  EXPECT_STREQ(obj_get_name(vp), "Second");
}

TEST_F(SceneLoader, TexturePathsAndDefaults) {
  load(R"({"root": {"texture": {"image": "images/studio.png"}, "children": [
    {"type": "object", "texture": {"image": "", "active": 3, "type": 1, "method": 2, "quality": -1,
      "mapping": "uv", "scale": [2, 3], "position": [0.5, 0.25], "angle": 45, "grid_position": [1, 2, 3],
      "grid_angles": [4, 5, 6]}},
    {"type": "object", "texture": {"image": "/abs/wood.png"}}]}})");
  _object *root = db_get_root();
  EXPECT_EQ(obj_get_texturename(root), (dir_ / "images/studio.png").string());
  EXPECT_EQ(obj_get_textureactive(root), 1);
  EXPECT_EQ(obj_get_texturetype(root), 0);
  EXPECT_EQ(obj_get_texturemapping(root), 0);
  ZAL_VECT2 v2;
  obj_get_texturescale(root, v2);
  EXPECT_EQ(v2.x, 1.0f);
  EXPECT_EQ(v2.y, 1.0f);
  ZAL_VECT3 v3;
  obj_get_texturegridpos(root, v3);
  EXPECT_EQ(v3.x, 0.0f);

  _object *a = child(root, 1);
  EXPECT_STREQ(obj_get_texturename(a), "");
  EXPECT_EQ(obj_get_textureactive(a), 3);
  EXPECT_EQ(obj_get_texturetype(a), 1);
  EXPECT_EQ(obj_get_texturemethod(a), 2);
  EXPECT_EQ(obj_get_texturequality(a), -1);
  EXPECT_EQ(obj_get_texturemapping(a), 1);
  obj_get_texturepos(a, v2);
  EXPECT_EQ(v2.y, 0.25f);
  EXPECT_EQ(obj_get_textureangle(a), 45.0f);
  obj_get_texturegrideangles(a, v3);
  EXPECT_EQ(v3.z, 6.0f);
  EXPECT_STREQ(obj_get_texturename(child(root, 2)), "/abs/wood.png");
  load(R"({"root": {"texture": {"mapping": "projection"}}})");
  EXPECT_EQ(obj_get_texturemapping(db_get_root()), 0);
}

TEST_F(SceneLoader, PrimitivesGiveParamsAndFittingBounds) {
  load(R"({"root": {"children": [
    {"type": "object", "geometry": {"primitive": "box", "size": [2, 4, 6]}, "pivot": [0.5, 0, 0]},
    {"type": "object", "geometry": {"primitive": "cone", "radius": 1, "height": 2}},
    {"type": "object", "geometry": {"primitive": "rectangle", "width": 4, "height": 2}},
    {"type": "object", "geometry": {"primitive": 7, "radius": 3}},
    {"type": "object", "geometry": {"primitive": "sphere"}}]}})");
  struct Expect {
    int kind;
    float extents[6];
  } expect[] = {{0, {2, 4, 6, 0, 0, 0}},
                {1, {2, 2, 2, 0, 1, 0}},
                {4, {4, 2, 0, 0, 0, 0}},
                {7, {6, 6, 6, 0, 0, 0}},
                {3, {1, 1, 1, 0, 0, 0}}};
  for (int i = 0; i < 5; ++i) {
    _object *o = child(db_get_root(), i + 1);
    auto *p = static_cast<GeomParams *>(obj_get_vars(o)->getvalue("_GEOM_PARAMS"));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->kind, expect[i].kind);
    _geometry *g = static_cast<_geometry *>(obj_get_geolist(o)->get(1));
    EXPECT_EQ(g->part_name(), nullptr);
    float e[6];
    VYobject_getextents(obj_get_geometry(o), e);
    for (int k = 0; k < 6; ++k)
      EXPECT_FLOAT_EQ(e[k], expect[i].extents[k]) << i << "/" << k;
  }
  auto *box = static_cast<GeomParams *>(obj_get_vars(child(db_get_root(), 1))->getvalue("_GEOM_PARAMS"));
  EXPECT_EQ(box->size_y, 4.0f);
  float pivot[3];
  VYobject_getpivot(obj_get_geometry(child(db_get_root(), 1)), pivot, 0);
  EXPECT_EQ(pivot[0], 0.5f);
  auto *sphere = static_cast<GeomParams *>(obj_get_vars(child(db_get_root(), 5))->getvalue("_GEOM_PARAMS"));
  EXPECT_EQ(sphere->radius, 0.5f); // unset sizes fit the unit cube
}

TEST_F(SceneLoader, InlineMeshKeepsCornersNormalsAndColours) {
  load(R"({"root": {"children": [{"type": "object", "name": "Knob", "geometry": {"mesh": {
    "vertices": [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]],
    "normals": [[0, 0, 1]],
    "polygons": [{"v": [0, 1, 2, 3], "n": [0, 0, null, 0], "color": [1, 0, 0],
                  "uv": [[0, 0], [1, 0], [1, 1], [0, 1]], "colors": [[1, 0, 0], [0, 1, 0], [0, 0, 1], [1, 1, 1]]},
                 {"v": [0, 2, 3]}]}}}]}})");
  _object *o = child(db_get_root(), 1);
  _geometry *g = static_cast<_geometry *>(obj_get_geolist(o)->get(1));
  EXPECT_EQ(g->part_name(), nullptr);
  EXPECT_EQ(obj_get_vars(o)->find("_GEOM_PARAMS"), 0);
  VYpolygon poly;
  VYpolygon_initpoly(poly, obj_get_geometry(o));
  ASSERT_TRUE(VYpolygon_nextpoly(poly, poly));
  ASSERT_EQ(VYpolygon_nvertices(poly), 4);
  float r, gr, b, n[3], p[3];
  VYpolygon_getcolor(poly, r, gr, b);
  EXPECT_EQ(r, 1.0f);
  EXPECT_EQ(gr, 0.0f);
  EXPECT_TRUE(VYvertex_getnormal(VYpolygon_getvertex(poly, 0), n, 0));
  EXPECT_EQ(n[2], 1.0f);
  EXPECT_FALSE(VYvertex_getnormal(VYpolygon_getvertex(poly, 2), n, 0));
  VYvertex_getposition(VYpolygon_getvertex(poly, 2), p, 0);
  EXPECT_EQ(p[0], 1.0f);
  EXPECT_EQ(p[1], 1.0f);
  float uv[2];
  ASSERT_TRUE(VYvertex_getuv(VYpolygon_getvertex(poly, 3), uv));
  EXPECT_EQ(uv[0], 0.0f);
  EXPECT_EQ(uv[1], 1.0f);
  ASSERT_TRUE(VYvertex_getcolor(VYpolygon_getvertex(poly, 2), r, gr, b));
  EXPECT_EQ(r + gr, 0.0f);
  EXPECT_EQ(b, 1.0f);
  ASSERT_TRUE(VYpolygon_nextpoly(poly, poly));
  VYpolygon_getcolor(poly, r, gr, b);
  EXPECT_EQ(b, 1.0f); // white by default
  EXPECT_FALSE(VYvertex_getnormal(VYpolygon_getvertex(poly, 0), n, 0));
  EXPECT_FALSE(VYvertex_getuv(VYpolygon_getvertex(poly, 0), uv));
  EXPECT_FALSE(VYvertex_getcolor(VYpolygon_getvertex(poly, 0), r, gr, b));
}

TEST_F(SceneLoader, PartFilesAreAbsoluteTypedLabelledAndShared) {
  std::ofstream(dir_ / "meshes/quad.obj")
      << "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nf 1/1 2/2 3/3 4/4\n";
  std::ofstream(dir_ / "meshes/tri.model") << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
  load(R"({"root": {"children": [
    {"type": "object", "geometry": {"part": "meshes/quad.obj", "part_label": "Bracket",
                                    "part_params": "p=1"}, "pivot": [1, 2, 3]},
    {"type": "object", "geometry": [{"part": "meshes/../meshes/quad.obj"},
                                    {"part": "meshes/tri.model", "part_type": "OBJ"}]},
    {"type": "object", "geometry": {"part": "meshes/quad.obj"}}]}})");
  _object *a = child(db_get_root(), 1);
  _geometry *g = static_cast<_geometry *>(obj_get_geolist(a)->get(1));
  EXPECT_EQ(g->part_name(), (dir_ / "meshes/quad.obj").string());
  EXPECT_STREQ(g->part().type(), "obj");
  EXPECT_STREQ(g->part().name(), "Bracket");
  EXPECT_STREQ(g->part().params(), "p=1");
  EXPECT_EQ(VYobject_polygon_count(g->handle()), 1);

  _object *b = child(db_get_root(), 2);
  ASSERT_EQ(obj_get_geolist(b)->count(), 2);
  _geometry *shared = static_cast<_geometry *>(obj_get_geolist(b)->get(1));
  _geometry *typed = static_cast<_geometry *>(obj_get_geolist(b)->get(2));
  EXPECT_EQ(shared->part_name(), (dir_ / "meshes/quad.obj").string());
  EXPECT_STREQ(shared->part().name(), "");
  // Objects with the same part and pivot share its mesh; another pivot
  // needs a mesh of its own.
  EXPECT_NE(shared->handle(), g->handle());
  EXPECT_EQ(obj_get_geometry(child(db_get_root(), 3)), shared->handle());
  EXPECT_EQ(VYobject_polygon_count(shared->handle()), 1);
  EXPECT_STREQ(typed->part().type(), "OBJ");
  EXPECT_EQ(VYobject_polygon_count(typed->handle()), 1);
  // The pivot is the using object's own: the copy for the others has none.
  float pivot[3];
  VYobject_getpivot(g->handle(), pivot, 0);
  EXPECT_EQ(pivot[2], 3.0f);
  VYobject_getpivot(shared->handle(), pivot, 0);
  EXPECT_EQ(pivot[2], 0.0f);
  // The copy keeps the corners, positions and texture coordinates.
  VYpolygon poly;
  VYpolygon_initpoly(poly, shared->handle());
  ASSERT_TRUE(VYpolygon_nextpoly(poly, poly));
  ASSERT_EQ(VYpolygon_nvertices(poly), 4);
  float p[3], uv[2];
  VYvertex_getposition(VYpolygon_getvertex(poly, 2), p, 0);
  EXPECT_EQ(p[0], 1.0f);
  EXPECT_EQ(p[1], 1.0f);
  ASSERT_TRUE(VYvertex_getuv(VYpolygon_getvertex(poly, 1), uv));
  EXPECT_EQ(uv[0], 1.0f);
  EXPECT_EQ(uv[1], 0.0f);
}

TEST_F(SceneLoader, DeepestAllowedTreeLoads) {
  std::string text = R"({"root": {)";
  for (int i = 0; i < bf::kMaxTreeDepth; ++i)
    text += R"("children": [{"type": "group", )";
  text += R"("name": "leaf")";
  for (int i = 0; i < bf::kMaxTreeDepth; ++i)
    text += "}]";
  text += "}}";
  load(text);
  _object *node = db_get_root();
  for (int i = 0; i < bf::kMaxTreeDepth; ++i)
    node = child(node, 1);
  EXPECT_STREQ(obj_get_name(node), "leaf");
}

} // namespace
