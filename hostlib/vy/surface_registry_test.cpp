// Display-surface factories: the base implementation's answers and the
// host's registry.
#include "zalvy.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class NamedFactory : public VYuniverseDisplaySurfaceFactoryImp {
public:
  explicit NamedFactory(std::string name) : name_(std::move(name)) {}
  const char *name() override { return name_.c_str(); }
  int surface_code() override { return 7; }
  VYuniverseDisplaySurface *create_surface(void *, const VYbitmapInfo &, const VYsurfaceOptions *) override {
    return nullptr;
  }
  VYuniverseDisplaySurface *create_surface(void *, int, int, int, const VYsurfaceOptions *) override {
    return nullptr;
  }

private:
  std::string name_;
};

TEST(SurfaceFactoryImp, DefaultsFollowTheName) {
  NamedFactory factory("Wireframe");
  EXPECT_STREQ(factory.extname(), "Wireframe");
  EXPECT_EQ(factory.extname(), factory.name());
  EXPECT_EQ(factory.priority(), 0);
  EXPECT_STREQ(factory.version(), "1.0");
}

TEST(SurfaceRegistry, KeepsRegistrationOrderAndFindsByName) {
  NamedFactory a("Alpha"), b("Beta"), c("Gamma");
  const int before = universe_display_surface_count();
  EXPECT_EQ(universe_display_surface_register(&a), 0);
  EXPECT_EQ(universe_display_surface_register(&b), 0);
  EXPECT_EQ(universe_display_surface_register(&c), 0);
  EXPECT_EQ(universe_display_surface_count(), before + 3);
  EXPECT_EQ(universe_display_surface_get(before + 1), &a);
  EXPECT_EQ(universe_display_surface_get(before + 2), &b);
  EXPECT_EQ(universe_display_surface_get(before + 3), &c);
  EXPECT_EQ(universe_display_surface_get(0), nullptr);
  EXPECT_EQ(universe_display_surface_get(before + 4), nullptr);
  EXPECT_EQ(universe_display_surface_find("Beta"), &b);
  EXPECT_EQ(universe_display_surface_find("beta"), nullptr);
  EXPECT_EQ(universe_display_surface_find(nullptr), nullptr);

  EXPECT_EQ(universe_display_surface_unregister(&b), 0);
  EXPECT_EQ(universe_display_surface_get(before + 2), &c) << "the others keep their order";
  EXPECT_EQ(universe_display_surface_find("Beta"), nullptr);
  EXPECT_EQ(universe_display_surface_unregister(&a), 0);
  EXPECT_EQ(universe_display_surface_unregister(&c), 0);
  EXPECT_EQ(universe_display_surface_count(), before);
}

TEST(SurfaceRegistry, BadRequestsAnswerNonZeroAndChangeNothing) {
  NamedFactory a("Alpha"), stranger("Stranger");
  const int before = universe_display_surface_count();
  EXPECT_NE(universe_display_surface_register(nullptr), 0);
  EXPECT_NE(universe_display_surface_unregister(nullptr), 0);
  EXPECT_NE(universe_display_surface_unregister(&stranger), 0);
  ASSERT_EQ(universe_display_surface_register(&a), 0);
  EXPECT_NE(universe_display_surface_register(&a), 0) << "no second entry";
  EXPECT_EQ(universe_display_surface_count(), before + 1);
  EXPECT_NE(universe_display_surface_unregister(&stranger), 0);
  EXPECT_EQ(universe_display_surface_count(), before + 1);
  EXPECT_EQ(universe_display_surface_unregister(&a), 0);
  EXPECT_NE(universe_display_surface_unregister(&a), 0) << "already gone";
  EXPECT_EQ(universe_display_surface_count(), before);
}

} // namespace
