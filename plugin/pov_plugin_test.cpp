#include "oku/scene_db.h"
#include "plugin/pov_plugin.h"
#include "tests/support/failing_new.h"
#include "tests/support/files.h"
#include "tests/support/module_state.h"
#include "vy/mesh.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

const char *const kSceneSaver = "POV scene file";
const char *const kPartsSaver = "POV scene and parts files";
const char *const kPreview = "Photo-realistic (POVRay)";

// A scene holding one triangle mesh object, named "Knob" (no id yet).
void knob_scene() {
  scene_reset();
  _object *knob = scene_add_object(db_get_root(), OBJECT_TYPE_GEOMETRY);
  knob->name = "Knob";
  VYobject *mesh = VYobject_create();
  VYobject_begin_polygon(mesh, ZAL_COLOR{1, 0, 0});
  for (int i = 0; i < 3; ++i)
    VYobject_add_corner(mesh, VYobject_add_position(mesh, i == 1, i == 2, 0), -1);
  scene_add_geometry(knob)->set_mesh(mesh);
}

template <class Factory> void expect_factory(const char *name) {
  Factory factory;
  SaverFactory &f = factory;
  EXPECT_STREQ(f.name(), name);
  EXPECT_EQ(f.description(), f.name()); // the very same text
  EXPECT_EQ(f.saver_code(), 1000);
  EXPECT_EQ(f.suffix_count(), 1);
  EXPECT_STREQ(f.suffix(), "pov");
  EXPECT_STREQ(f.suffix(0), "pov");
  std::unique_ptr<Saver> saver(f.create_saver());
  ASSERT_NE(saver, nullptr);
  std::unique_ptr<Saver> other(f.create_saver());
  EXPECT_NE(saver.get(), other.get());
}

TEST(SaverFactories, Answers) {
  expect_factory<PovSceneSaverFactory>(kSceneSaver);
  expect_factory<PovPartsSaverFactory>(kPartsSaver);
}

using bftest::read_file;

TEST(SaverFactories, SaversWriteWithTheirPartsMode) {
  knob_scene();
  bftest::ScratchDir dir("pov_plugin_test");
  const std::string path = dir.file("out.pov"), include = dir.file("Knob1.inc");
  TestSession module;

  PovPartsSaverFactory parts_factory;
  parts_factory.state = module.state;
  std::unique_ptr<Saver> parts(parts_factory.create_saver());
  EXPECT_EQ(parts->save(nullptr, nullptr, path.c_str()), 1); // null root: the database root
  EXPECT_TRUE(std::filesystem::exists(include));
  std::string first = read_file(path);
  EXPECT_EQ(first.rfind("/* Brightfold generated POV 3.0 scene file */\n", 0), 0u);
  EXPECT_NE(first.find("#declare oku_Knob1_1 = OKU_OBJECT\n"), std::string::npos);

  // The part names count on in the module state the factories share.
  std::filesystem::remove(include);
  PovSceneSaverFactory scene_factory;
  scene_factory.state = module.state;
  std::unique_ptr<Saver> scene(scene_factory.create_saver());
  EXPECT_EQ(scene->save(nullptr, db_get_root(), path.c_str()), 1);
  EXPECT_FALSE(std::filesystem::exists(include));
  std::string second = first;
  for (size_t at; (at = second.find("oku_Knob1_1")) != std::string::npos;)
    second.replace(at, 11, "oku_Knob1_2");
  EXPECT_EQ(read_file(path), second);

  std::string missing = dir.file("missing/out.pov");
  EXPECT_EQ(scene->save(nullptr, nullptr, missing.c_str()), 0);
  // A saver whose factory holds no module state (dll_init never ran) fails.
  PovSceneSaverFactory stray;
  std::unique_ptr<Saver> unset(stray.create_saver());
  EXPECT_EQ(unset->save(nullptr, nullptr, path.c_str()), 0);
  scene_reset();
}

// Memory running out at any allocation of a save: the saver answers 0 and
// throws nothing, and no file (temporary, include or scene) is left.
TEST(SaverFactories, OutOfMemoryAnywhereFailsTheSaveCleanly) {
  knob_scene();
  bftest::ScratchDir dir("pov_plugin_oom");
  const std::string path = dir.file("out.pov");
  TestSession module;
  PovPartsSaverFactory factory;
  factory.state = module.state;
  std::unique_ptr<Saver> saver(factory.create_saver());
  esd_set_sink([](const char *, void *) {}, nullptr);
  const long failures = bftest::sweep_allocation_failures(
      [&] { return saver->save(nullptr, nullptr, path.c_str()) == 1; },
      [&](long failing) { ASSERT_TRUE(std::filesystem::is_empty(dir.path())) << "allocation " << failing; });
  esd_set_sink(nullptr, nullptr);
  EXPECT_GT(failures, 10); // the save allocates, and an exception never left it
  scene_reset();
}

TEST(EntryPoints, RegisterAndUnregister) {
  int before = saver_count();
  int result = dll_init();
  // 0 with the display surface registered, else the registry's error code.
  EXPECT_EQ(result == 0, universe_display_surface_find(kPreview) != nullptr);
  EXPECT_EQ(result == 0, universe_display_surface_find("Photo-realistic (POV-Ray 3.7)") != nullptr);
  ASSERT_EQ(saver_count(), before + 3);
  SaverFactory *scene = saver_get(before + 1);
  SaverFactory *parts = saver_get(before + 2);
  EXPECT_STREQ(scene->name(), kSceneSaver);
  EXPECT_STREQ(parts->name(), kPartsSaver);
  EXPECT_STREQ(saver_get(before + 3)->name(), "POV-Ray 3.7 scene and parts files");
  EXPECT_EQ(saver_find(kSceneSaver), scene);
  EXPECT_EQ(saver_find(kPartsSaver), parts);

  EXPECT_EQ(dll_term(), 0);
  EXPECT_EQ(saver_count(), before);
  EXPECT_EQ(saver_find(kSceneSaver), nullptr);
  EXPECT_EQ(universe_display_surface_find(kPreview), nullptr);
  EXPECT_EQ(universe_display_surface_find("Photo-realistic (POV-Ray 3.7)"), nullptr);
  // Unregistering again passes on the host's answer for a stranger.
  EXPECT_NE(dll_term(), 0);
}

// The module as the host sees it: a shared library with two plain entry points.
TEST(EntryPoints, LoadableModule) {
  std::string path = std::string(BF_BINARY_DIR) + "/lib/povexport.so";
  if (access(path.c_str(), F_OK) != 0)
    GTEST_SKIP() << path << " not built";
  void *module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto init = reinterpret_cast<int (*)()>(dlsym(module, "dll_init"));
  auto term = reinterpret_cast<int (*)()>(dlsym(module, "dll_term"));
  ASSERT_NE(init, nullptr);
  ASSERT_NE(term, nullptr);

  int before = saver_count();
  init();
  ASSERT_EQ(saver_count(), before + 3);
  SaverFactory *parts = saver_find(kPartsSaver);
  ASSERT_NE(parts, nullptr);
  EXPECT_STREQ(parts->description(), kPartsSaver);
  EXPECT_EQ(parts->saver_code(), 1000);
  std::unique_ptr<Saver> saver(parts->create_saver());
  ASSERT_NE(saver, nullptr);
  saver.reset();
  EXPECT_EQ(term(), 0);
  EXPECT_EQ(saver_count(), before);
  EXPECT_EQ(dlclose(module), 0);
}

} // namespace
