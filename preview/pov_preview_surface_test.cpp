#include "preview/pov_preview_surface.h"
#include "tests/support/preview_home.h"

#include "geometry/pov_parts.h"
#include "hostlib/oku/scene_db.h"
#include "hostlib/vy/mesh.h"
#include "scene/pov_save.h"
#include "tests/support/failing_new.h"
#include "tests/support/module_state.h"
#include "texture/pov_texture.h"

#include <chrono>
#include <memory>

namespace {

using namespace pvtest;

// A one-triangle mesh object held in the scene itself (its include file is
// named after the object and its id).
_object *mesh_object(const char *name, int id, float x = 1) {
  _object *o = scene_add_object(nullptr, OBJECT_TYPE_GEOMETRY);
  o->name = name;
  o->id = id;
  VYobject *mesh = VYobject_create();
  int a = VYobject_add_position(mesh, 0, 0, 0);
  int b = VYobject_add_position(mesh, x, 0, 0);
  int c = VYobject_add_position(mesh, 0, 1, 0);
  VYobject_begin_polygon(mesh, ZAL_COLOR{1, 0.5f, 0});
  VYobject_add_corner(mesh, a, -1);
  VYobject_add_corner(mesh, b, -1);
  VYobject_add_corner(mesh, c, -1);
  scene_add_geometry(o)->set_mesh(mesh);
  return o;
}

_object *textured_ball(const std::string &image) {
  _object *o = scene_add_object(nullptr, OBJECT_TYPE_GEOMETRY);
  o->name = "Ball";
  GeomParams params{};
  params.kind = 3;
  params.radius = 1;
  scene_set_params(o, params);
  scene_add_geometry(o);
  o->has_texture = true;
  o->texture.image = image;
  return o;
}

class SurfaceTest : public PreviewFixture {
protected:
  void SetUp() override {
    PreviewFixture::SetUp();
    scene_reset();
    set_registry("", ""); // renders start nothing here
  }
  void TearDown() override {
    scene_reset();
    PreviewFixture::TearDown();
  }
  std::unique_ptr<PovPreviewSurface> surface(const VYsurfaceOptions *options = nullptr) {
    return std::make_unique<PovPreviewSurface>(state, nullptr, 64, 48, 24, options);
  }
  bool exists(const std::string &name) const { return fs::exists(work_ / name); }
  std::string scene_text() const { return read_file(work_ / "$$povuds.pov"); }
  std::vector<std::string> targa_files() const {
    std::vector<std::string> names;
    for (const std::string &name : work_entries())
      if (name.rfind("oku_", 0) == 0)
        names.push_back(name);
    return names;
  }
  std::string image(const std::string &name, Rgba colour) {
    fs::path path = root_ / name;
    write_targa(path, 4, 4, 24, [colour](int, int) { return colour; });
    return path.string();
  }
  TestSession module;
  PovModuleState *const state = module.state;
};

// Memory running out at any allocation of a draw: nothing is thrown to the
// host, no temporary file is left, and no scene stands for a render to take.
TEST_F(SurfaceTest, OutOfMemoryAnywhereInADrawIsCaught) {
  mesh_object("Knob", 4);
  std::unique_ptr<PovPreviewSurface> s = surface();
  esd_set_sink([](const char *, void *) {}, nullptr);
  const long failures = bftest::sweep_allocation_failures(
      [&] {
        s->draw();
        return bftest::allocations_left > 0; // the draw ran out of failures to meet
      },
      [&](long failing) {
        for (const std::string &name : work_entries())
          ASSERT_EQ(name.find(".partial"), std::string::npos) << name << " after allocation " << failing;
      });
  esd_set_sink(nullptr, nullptr);
  EXPECT_GT(failures, 10); // the draw allocates, and an exception never left it
  EXPECT_TRUE(exists("$$povuds.pov"));
}

TEST_F(SurfaceTest, AnswersItsTableOfOperations) {
  auto s = surface();
  EXPECT_EQ(s->has_bitmap(), 1);
  EXPECT_EQ(s->has_palette(), 0);
  EXPECT_EQ(s->palette(), nullptr);
  s->release_palette();
  s->release_bitmap(); // nothing held: nothing happens
  s->resize(vy_bitmap_info(10, 10, 8));
  s->resize(20, 20, 32);
  EXPECT_EQ(s->width(), 64);
  EXPECT_EQ(s->height(), 48);
  EXPECT_EQ(s->depth(), 24);
  s->begin_draw();
  s->end_draw();
  s->refresh();
  EXPECT_TRUE(work_entries().empty()); // none of these writes a file
  EXPECT_EQ(s->draw_count_value(), 0);
  EXPECT_EQ(s->first_draw_pending_value(), 1);
}

TEST_F(SurfaceTest, EachDrawWritesTheSceneWithTheSurfacesSizeAndFlags) {
  VYsurfaceOptions off{0, 0};
  auto s = surface(&off);
  s->draw();
  EXPECT_EQ(s->first_draw_pending_value(), 0);
  EXPECT_EQ(s->draw_count_value(), 1);
  std::string text = scene_text();
  EXPECT_NE(text.find("IMAGE_WIDTH = 64"), std::string::npos) << text;
  EXPECT_NE(text.find("IMAGE_HEIGHT = 48"), std::string::npos);
  EXPECT_NE(text.find("NO_SHADOWS = 1"), std::string::npos);
  s->repaint();
  s->redraw();
  EXPECT_EQ(s->draw_count_value(), 3);

  auto t = surface(); // no options: shadows on
  t->draw();
  EXPECT_NE(scene_text().find("NO_SHADOWS = 0"), std::string::npos);
}

TEST_F(SurfaceTest, WritesIncludeFilesInItsFirstDrawOnly) {
  mesh_object("Knob", 5);
  auto s = surface();
  s->draw();
  ASSERT_TRUE(exists("Knob5.inc"));
  fs::remove(work_ / "Knob5.inc");
  s->draw(); // reuses the include file of the first draw
  EXPECT_FALSE(exists("Knob5.inc"));
  EXPECT_NE(scene_text().find("#include \"Knob5.inc\""), std::string::npos);
}

// The preview deletes what its scene writes made, and never the files that a
// saved scene beside it relies on.
TEST_F(SurfaceTest, DestructionDeletesOnlyTheFilesThePreviewMade) {
  _object *saved_part = mesh_object("Saved", 7);
  _object *saved_ball = textured_ball(image("saved.tga", {0, 0, 255, 255}));
  ASSERT_EQ(pov_save(state, "saved.pov", nullptr, 1), 1);
  std::vector<std::string> saved_files = work_entries();
  ASSERT_TRUE(exists("Saved7.inc"));
  ASSERT_EQ(targa_files().size(), 1u);
  saved_part->active = 0;
  saved_ball->active = 0;

  mesh_object("Knob", 5);
  textured_ball(image("own.tga", {255, 0, 0, 255}));
  auto s = surface();
  s->draw();
  EXPECT_TRUE(exists("Knob5.inc"));
  EXPECT_EQ(targa_files().size(), 2u);
  // Met after the first draw: declared from the saved files, which stay.
  saved_part->active = 1;
  saved_ball->active = 1;
  s->draw();
  EXPECT_NE(scene_text().find("#include \"Saved7.inc\""), std::string::npos);
  s.reset();
  fs::remove(work_ / "$$povuds.pov");
  EXPECT_EQ(work_entries(), saved_files);
  EXPECT_EQ(state->parts_cache.count(), 0);
  EXPECT_EQ(state->texture_list.count(), 0);
}

TEST_F(SurfaceTest, AnIncludeFileOfASavedSceneOutlivesTheDrawThatRewroteIt) {
  mesh_object("Saved", 7);
  ASSERT_EQ(pov_save(state, "saved.pov", nullptr, 1), 1);
  auto s = surface();
  s->draw(); // writes Saved7.inc anew
  s.reset();
  EXPECT_TRUE(exists("Saved7.inc"));
}

TEST_F(SurfaceTest, TwoSurfacesShareTheModulesListsAndKeepTheirScenesWhole) {
  mesh_object("Knob", 5);
  textured_ball(image("own.tga", {255, 0, 0, 255}));
  auto a = surface();
  a->draw();
  EXPECT_EQ(state->parts_cache.count(), 1);
  EXPECT_EQ(state->texture_list.count(), 1);
  auto b = surface(); // creating a surface empties the part records
  EXPECT_EQ(state->parts_cache.count(), 0);
  EXPECT_EQ(state->texture_list.count(), 1);
  b->draw();
  EXPECT_EQ(state->parts_cache.count(), 1);
  a.reset(); // destroying either empties both lists for the whole module
  EXPECT_EQ(state->parts_cache.count(), 0);
  EXPECT_EQ(state->texture_list.count(), 0);
  EXPECT_FALSE(exists("Knob5.inc"));
  EXPECT_TRUE(targa_files().empty());
  // The surface left behind still gets every file its scene needs.
  b->draw();
  EXPECT_TRUE(exists("Knob5.inc"));
  EXPECT_EQ(targa_files().size(), 1u);
  b.reset();
  fs::remove(work_ / "$$povuds.pov");
  EXPECT_TRUE(work_entries().empty());
}

TEST_F(SurfaceTest, APartFirstMetInALaterDrawGetsItsIncludeFile) {
  mesh_object("Knob", 5);
  auto s = surface();
  s->draw();
  mesh_object("Late", 6);
  s->draw();
  EXPECT_NE(scene_text().find("#include \"Late6.inc\""), std::string::npos);
  EXPECT_TRUE(exists("Late6.inc"));
  s.reset();
  fs::remove(work_ / "$$povuds.pov");
  EXPECT_TRUE(work_entries().empty());
}

// After refresh() the next draw writes the include files from the meshes as
// they are now, and converts again only the images that changed. Each
// converted Targa file is spoiled on disk first: a file that was not made
// again stays spoiled.
TEST_F(SurfaceTest, AfterRefreshADrawReadsChangedMeshesAndImages) {
  struct Case {
    const char *what;
    float vertex_x;     // of the mesh after the change
    Rgba image;         // of the image after the change
    bool image_changed; // its file written again
    bool refresh;
  };
  const Rgba red{255, 0, 0, 255}, blue{0, 0, 255, 255};
  const Case cases[] = {
      {"nothing", 1, red, false, true},
      {"a mesh", 7, red, false, true},
      {"an image", 1, blue, true, true},
      {"an image, without refresh", 1, blue, true, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    scene_reset();
    mesh_object("Knob", 5);
    std::string path = image("wood.tga", red);
    textured_ball(path);
    auto s = surface();
    s->draw();
    std::vector<std::string> targas = targa_files();
    ASSERT_EQ(targas.size(), 1u);
    write_file(work_ / targas[0], "spoiled");

    scene_reset();
    mesh_object("Knob", 5, c.vertex_x);
    textured_ball(path);
    if (c.image_changed) {
      auto before = fs::last_write_time(path);
      image("wood.tga", c.image);
      fs::last_write_time(path, before + std::chrono::seconds(2));
    }
    if (c.refresh)
      s->refresh();
    s->draw();
    std::string include = read_file(work_ / "Knob5.inc");
    EXPECT_EQ(include.find("< 7, 0, 0 >") != std::string::npos, c.vertex_x == 7) << include;
    std::string targa = read_file(work_ / targas[0]);
    bool converted_again = targa != "spoiled";
    EXPECT_EQ(converted_again, c.image_changed && c.refresh);
    if (converted_again) { // a 24-bit Targa: blue, green, red from byte 18
      EXPECT_EQ(static_cast<unsigned char>(targa[18]), c.image.b);
    }
    s.reset();
    fs::remove(work_ / "$$povuds.pov");
    EXPECT_TRUE(work_entries().empty());
  }
}

// A redraw that drops a texture whose image changed deletes its Targa file
// only when the module made it: a user's file at that name stays.
TEST_F(SurfaceTest, ARedrawDeletesOnlyTheTargaFilesItMade) {
  const std::string path = image("wood.tga", {255, 0, 0, 255});
  textured_ball(path);
  auto s = surface();
  s->draw();
  const std::vector<std::string> targas = targa_files();
  ASSERT_EQ(targas.size(), 1u);
  s.reset(); // deletes the one it made
  ASSERT_FALSE(exists(targas[0]));

  write_file(work_ / targas[0], "the user's own picture");
  s = surface();
  s->draw();
  const auto before = fs::last_write_time(path);
  image("wood.tga", {0, 0, 255, 255});
  fs::last_write_time(path, before + std::chrono::seconds(2));
  s->refresh();
  s->draw();
  EXPECT_EQ(read_file(work_ / targas[0]), "the user's own picture");
  s.reset();
  EXPECT_EQ(read_file(work_ / targas[0]), "the user's own picture");
}

} // namespace
