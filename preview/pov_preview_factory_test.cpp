#include "preview/pov_preview.h"
#include "preview/pov_preview_surface.h"
#include "tests/support/module_state.h"
#include "tests/support/preview_home.h"
#include "win32.h"

#include <memory>

namespace {

using pvtest::PreviewFixture;

class FactoryTest : public PreviewFixture {
protected:
  FactoryTest() { factory_.state = module.state; }
  // Registers a factory of the test's own and answers the registration's result.
  int register_with_registry() {
    int result = pov_register_preview(&factory_);
    registered_ = universe_display_surface_find("Photo-realistic (POVRay)") == &factory_;
    universe_display_surface_unregister(&factory_);
    return result;
  }
  TestSession module;
  PovPreviewSurfaceFactory factory_;
  bool registered_ = false;
};

TEST_F(FactoryTest, RegistersWithEitherPovRayKeyAndNotWithout) {
  set_registry("Software\\POV-Ray\\CurrentVersion\\Windows", "\"Home\"=\"C:\\\\POV\"");
  EXPECT_EQ(register_with_registry(), 0);
  EXPECT_TRUE(registered_);

  set_registry("Software\\POV-Ray\\Windows", "\"Other\"=\"no home needed\"");
  EXPECT_EQ(register_with_registry(), 0);
  EXPECT_TRUE(registered_);

  set_registry("", "");
  EXPECT_EQ(register_with_registry(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(registered_);

  set_registry("Software\\Other\\Windows", "\"Home\"=\"x\"");
  EXPECT_EQ(register_with_registry(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(registered_);
}

TEST_F(FactoryTest, AnswersItsNameCodeAndTheBaseDefaults) {
  VYuniverseDisplaySurfaceFactory &factory = factory_;
  EXPECT_STREQ(factory.name(), "Photo-realistic (POVRay)");
  EXPECT_EQ(factory.surface_code(), 26);
  EXPECT_STREQ(factory.extname(), "Photo-realistic (POVRay)");
  EXPECT_EQ(factory.priority(), 0);
  EXPECT_STREQ(factory.version(), "1.0");
}

TEST_F(FactoryTest, CreatesSurfacesOfTheGivenGeometryThroughEitherForm) {
  int context_value = 0;
  VYbitmapInfo info = vy_bitmap_info(321, 123, 24);
  VYsurfaceOptions options{0, 0};
  std::unique_ptr<VYuniverseDisplaySurface> a(factory_.create_surface(&context_value, info, &options));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->width(), 321);
  EXPECT_EQ(a->height(), 123);
  EXPECT_EQ(a->depth(), 24);
  EXPECT_EQ(a->size().bytes_per_pixel, 3);
  EXPECT_EQ(a->size().pixels_per_byte, 0);
  EXPECT_EQ(a->size().status, 0);
  auto *surface = static_cast<PovPreviewSurface *>(a.get());
  EXPECT_EQ(surface->context_value(), &context_value);
  EXPECT_EQ(surface->antialias_value(), 0);
  EXPECT_EQ(surface->no_shadows_value(), 1);

  std::unique_ptr<VYuniverseDisplaySurface> b(factory_.create_surface(nullptr, 16, 8, 0, nullptr));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->size().bytes_per_pixel, 1);
  EXPECT_EQ(b->size().pixels_per_byte, 1);
  surface = static_cast<PovPreviewSurface *>(b.get());
  EXPECT_EQ(surface->antialias_value(), 1); // no options: anti-aliasing and shadows
  EXPECT_EQ(surface->no_shadows_value(), 0);
  EXPECT_EQ(surface->first_draw_pending_value(), 1);
  EXPECT_EQ(surface->draw_count_value(), 0);
}

} // namespace
