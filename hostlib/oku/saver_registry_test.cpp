// The saver registry and the answers of SaverFactoryImp.
#include "zaloku.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class TestFactory : public SaverFactoryImp {
public:
  explicit TestFactory(const char *name, const char *suffix = "pov") : SaverFactoryImp(suffix), name_(name) {}
  const char *name() override { return name_.c_str(); }
  const char *description() override { return name(); }
  int saver_code() override { return 1000; }
  Saver *create_saver() override { return nullptr; }

private:
  std::string name_;
};

TEST(SaverFactoryImp, AnswersOneSuffixHintsZeroAndVersion) {
  TestFactory f("A", "pov");
  EXPECT_EQ(f.suffix_count(), 1);
  EXPECT_STREQ(f.suffix(), "pov");
  EXPECT_STREQ(f.suffix(0), "pov");
  EXPECT_EQ(f.suffix(1), nullptr);
  EXPECT_EQ(f.suffix(-1), nullptr);
  EXPECT_EQ(f.hints(), 0);
  EXPECT_STREQ(f.version(), "1.0");
  TestFactory none("B", nullptr);
  EXPECT_STREQ(none.suffix(), "");
}

TEST(SaverRegistry, RegistersInOrderFindsByNameAndUnregisters) {
  TestFactory a("POV scene file"), b("POV scene and parts files");
  const int before = saver_count();
  EXPECT_EQ(saver_register(&a), 0);
  EXPECT_EQ(saver_register(&b), 0);
  EXPECT_EQ(saver_register(&a), 1); // a second registration adds nothing, as for surfaces
  ASSERT_EQ(saver_count(), before + 2);
  EXPECT_EQ(saver_get(before + 1), &a);
  EXPECT_EQ(saver_get(before + 2), &b);
  EXPECT_EQ(saver_get(0), nullptr);
  EXPECT_EQ(saver_get(before + 3), nullptr);
  EXPECT_EQ(saver_find("POV scene and parts files"), &b);
  EXPECT_EQ(saver_find("pov scene file"), nullptr); // names are exact
  EXPECT_EQ(saver_find(nullptr), nullptr);

  EXPECT_EQ(saver_unregister(&a), 0);
  EXPECT_EQ(saver_unregister(&a), 1);
  EXPECT_EQ(saver_find("POV scene file"), nullptr);
  EXPECT_EQ(saver_get(before + 1), &b);
  EXPECT_EQ(saver_unregister(&b), 0);
  EXPECT_EQ(saver_count(), before);
  EXPECT_EQ(saver_register(nullptr), 1);
  EXPECT_EQ(saver_unregister(nullptr), 1);
}

} // namespace
