// Texture records: filling from a host object, derived Targa names, comparison.
#include "tests/support/textured_scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

struct Settings {
  int scene_root = 0;
  float opacity = 1;
  int method = 0;
  int type = 0;
  ZAL_COLOR color{-1, 0, 0};
  ZAL_VECT2 scale{1, 1};
  ZAL_VECT2 position{0, 0};
  float angle = 0;
};

std::string derived(const char *texture, const Settings &s) {
  TextureRecord *r = texture_record_new();
  r->texture_name = new char[strlen(texture) + 1];
  strcpy(r->texture_name, texture);
  r->scene_root = s.scene_root;
  r->opacity = s.opacity;
  r->method = s.method;
  r->type = s.type;
  r->color = s.color;
  r->scale = s.scale;
  r->position = s.position;
  r->angle = s.angle;
  r->derive_file_name();
  std::string name = r->file_name ? r->file_name : "(none)";
  texture_record_free(r);
  return name;
}

TEST(TextureName, SuffixesFollowMethodOpacityTypeScaleAngleAndPosition) {
  Settings root;
  root.scene_root = 1;
  root.opacity = 0.5f;
  root.method = 2;
  root.scale = {3, 3};
  EXPECT_EQ(derived("wood", root), "oku_wood.tga");

  Settings planar;
  planar.opacity = 0.5f;
  planar.scale = {2, 2};
  EXPECT_EQ(derived("wood", planar), "oku_wood_50.tga");

  Settings cylinder;
  cylinder.method = 1;
  cylinder.scale = {2, 1};
  EXPECT_EQ(derived("wood", cylinder), "oku_wood_ck   2   1.tga");

  Settings sphere;
  sphere.method = 2;
  sphere.type = 1;
  sphere.color = {1, 0.5f, 0};
  sphere.angle = 90;
  EXPECT_EQ(derived("wood", sphere), "oku_wood_sdff8000a  90.tga");

  Settings once;
  once.method = 1;
  once.type = 1;
  once.scale = {1, 3};
  once.position = {10, 0};
  EXPECT_EQ(derived("wood", once), "oku_wood_cdk   1   3p  10   0.tga");
}

TEST(TextureName, OpacitySuffix) {
  Settings s;
  s.opacity = 0.004f;
  EXPECT_EQ(derived("wood", s), "oku_wood_00.tga");
  s.opacity = 0.996f;
  EXPECT_EQ(derived("wood", s), "oku_wood_100.tga");
  s.opacity = 0.125f;
  EXPECT_EQ(derived("wood", s), "oku_wood_13.tga");
  s.opacity = 1;
  EXPECT_EQ(derived("wood", s), "oku_wood.tga");
}

TEST(TextureName, PlanarCarriesOnlyTheOpacity) {
  Settings s;
  s.type = 1;
  s.color = {1, 1, 1};
  s.scale = {4, 5};
  s.position = {1, 2};
  s.angle = 30;
  EXPECT_EQ(derived("wood", s), "oku_wood.tga");
}

TEST(TextureName, SuffixConditions) {
  Settings s;
  s.method = 1;
  s.type = 1; // red -1: "d" alone
  EXPECT_EQ(derived("wood", s), "oku_wood_cd.tga");
  s.type = 0;
  s.scale = {1, 2};
  EXPECT_EQ(derived("wood", s), "oku_wood_ck   1   2.tga");
  s.scale = {1, 1};
  s.position = {-0.0f, 0};
  s.angle = -0.0f;
  EXPECT_EQ(derived("wood", s), "oku_wood_c.tga");
  s.method = 7; // no method letter, but the other suffixes apply
  s.angle = 5;
  EXPECT_EQ(derived("wood", s), "oku_wooda   5.tga");
}

// Fractional scales put dots into names; they must never be taken for an
// extension, or 0.25 and 0.75 would both become "oku_wood_ck0.tga".
TEST(TextureName, FractionalScalesStayDistinct) {
  Settings a;
  a.method = 1;
  a.scale = {0.25f, 1};
  Settings b = a;
  b.scale = {0.75f, 1};
  EXPECT_EQ(derived("wood", a), "oku_wood_ck0.25   1.tga");
  EXPECT_EQ(derived("wood", b), "oku_wood_ck0.75   1.tga");
  EXPECT_EQ(derived("/images/wood.png", a), "oku_wood.png_ck0.25   1.tga");
  EXPECT_NE(derived("/images/wood.png", a), derived("/images/wood.png", b));
  // Without suffixes the image's own extension is replaced.
  EXPECT_EQ(derived("/images/wood.png", Settings()), "oku_wood.tga");
}

// The name is written inside tga "..." in the scene: quotes, backslashes and
// control characters are mapped, the same way for the file and the scene.
TEST(TextureName, UnsafeCharactersAreMapped) {
  EXPECT_EQ(derived("/images/say \"hi\".png", Settings()), "oku_say _hi_.tga");
  EXPECT_EQ(derived("/images/tab\there.png", Settings()), "oku_tab_here.tga");
  // A backslash separates directories, as on the host.
  EXPECT_EQ(derived("C:\\images\\wood.png", Settings()), "oku_wood.tga");
}

TEST(TextureName, LongNamesFitAndStayDistinct) {
  std::string base = "/images/" + std::string(300, 'x');
  Settings a;
  a.method = 1;
  a.scale = {2, 1};
  Settings b = a;
  b.scale = {3, 1};
  std::string first = derived(base.c_str(), a);
  std::string second = derived(base.c_str(), b);
  EXPECT_LE(first.size(), 255u);
  EXPECT_EQ(first.substr(first.size() - 4), ".tga");
  EXPECT_EQ(first.substr(0, 8), "oku_xxxx");
  EXPECT_NE(first, second);
}

TEST(TextureName, LongNamesOfBytesThatAreNoUtf8KeepThePrefix) {
  // Hundreds of continuation bytes are no character; the cut must not back
  // over them into "oku_".
  const std::string name = "/images/" + std::string(300, '\x80');
  const std::string file = derived(name.c_str(), Settings());
  EXPECT_EQ(file.substr(0, 5), "oku_\x80");
  EXPECT_LE(file.size(), 255u);
  EXPECT_EQ(file.substr(file.size() - 4), ".tga");
}

TEST(TextureName, EmptyTextureName) { EXPECT_EQ(derived("", Settings()), "oku_.tga"); }

TEST(TextureRecord, FillReadsTheObject) {
  textest::ScratchCwd dir;
  _object *o = textest::textured(nullptr, "/images/wood.png", 1);
  o->opacity = 0.5f;
  o->color = {1, 0.5f, 0};
  o->texture.type = 1;
  o->texture.scale = {2, 3};
  o->texture.position = {4, 5};
  o->texture.angle = 6;
  TextureRecord *r = texture_record_new();
  r->fill(o, 0.5f);
  EXPECT_STREQ(r->texture_name, "/images/wood.png");
  EXPECT_EQ(r->file_name, nullptr);
  EXPECT_EQ(r->scene_root, 0);
  EXPECT_EQ(r->opacity, 0.25f);
  EXPECT_EQ(r->method, 1);
  EXPECT_EQ(r->type, 1);
  EXPECT_EQ(r->color.g, 0.5f);
  EXPECT_EQ(r->scale.y, 3.0f);
  EXPECT_EQ(r->position.x, 4.0f);
  EXPECT_EQ(r->angle, 6.0f);
  EXPECT_EQ(r->width, 1);
  EXPECT_EQ(r->height, 1);
  EXPECT_EQ(r->converted, 0);
  texture_record_free(r);

  _object *root = db_get_root();
  root->has_texture = true;
  root->texture.image = "/images/sky.png";
  r = texture_record_new()->fill(root);
  EXPECT_EQ(r->scene_root, 1);
  r->derive_file_name();
  EXPECT_STREQ(r->file_name, "oku_sky.tga");
  texture_record_free(r);

  r = texture_record_new()->fill(nullptr);
  EXPECT_EQ(r->texture_name, nullptr);
  r->derive_file_name();
  EXPECT_EQ(r->file_name, nullptr);
  texture_record_free(r);
}

TEST(TextureRecord, CompareIgnoresCaseOfBothNames) {
  textest::ScratchCwd dir;
  TextureRecord *a = texture_record_new()->fill(textest::textured(nullptr, "/d/Wood.png", 1));
  TextureRecord *b = texture_record_new()->fill(textest::textured(nullptr, "/d/wood.PNG", 1));
  TextureRecord *c = texture_record_new()->fill(textest::textured(nullptr, "/e/wood.png", 1));
  EXPECT_EQ(a->compare(b), 0);
  EXPECT_NE(a->compare(c), 0); // other directory: another texture, though the file name is the same
  b->scale = {2, 1};
  delete[] b->file_name;
  b->file_name = nullptr;
  EXPECT_NE(a->compare(b), 0);
  texture_record_free(a);
  texture_record_free(b);
  texture_record_free(c);
}

TEST(TextureRecord, TargaSizeFromTheHeader) {
  textest::ScratchCwd dir;
  TextureRecord *r = texture_record_new()->fill(textest::textured(nullptr, "/d/wood.png"));
  r->read_targa_size(); // no file: unchanged
  EXPECT_EQ(r->width, 1);
  textest::write_targa_header(dir.file("oku_wood.tga"), 640, 480);
  r->read_targa_size();
  EXPECT_EQ(r->width, 640);
  EXPECT_EQ(r->height, 480);
  // A file too short to hold a size, or one declaring an empty image, leaves it.
  std::ofstream(dir.file("oku_wood.tga"), std::ios::binary | std::ios::trunc) << "short";
  r->read_targa_size();
  EXPECT_EQ(r->width, 640);
  textest::write_targa_header(dir.file("oku_wood.tga"), 0, 7);
  r->read_targa_size();
  EXPECT_EQ(r->width, 640);
  EXPECT_EQ(r->height, 480);
  texture_record_free(r);
}

} // namespace
