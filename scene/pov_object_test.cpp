#include "base/pov_print.h"
#include "hostlib/vy/mesh.h"
#include "scene/pov_writers.h"
#include "tests/support/module_scene.h"

#include <gtest/gtest.h>

namespace {

class ObjectTest : public ::testing::Test {
protected:
  void SetUp() override { scene_reset(); }

  TestSession module;
  PovSession &session = module.session;

  // An object under the root whose geometry is an empty mesh with a pivot.
  _object *object_with_pivot(const char *name, float px, float py, float pz) {
    _object *node = add_node(nullptr, OBJECT_TYPE_GEOMETRY, name);
    VYobject *mesh = VYobject_create();
    VYobject_set_pivot(mesh, px, py, pz);
    scene_add_geometry(node)->set_mesh(mesh);
    return node;
  }
};

// A part declared earlier as oku_Bracket_3, with a pivot, a colour, a turn
// and a place of its own.
TEST_F(ObjectTest, PartObjectWritesItsIdentifierPigmentTransformsAndFinish) {
  _object *bracket = object_with_pivot("Bracket", 0.5f, 0, 0);
  bracket->color = ZAL_COLOR{1, 0, 0};
  bracket->rotation = ZAL_VECT3{0, 0, 90};
  bracket->position = ZAL_VECT3{10, 0, 5};
  bracket->specular = ZAL_COLOR{0.5f, 0.5f, 0.5f};
  bracket->shininess = 40;
  LIST colours;
  ZAL_COLOR red{1, 0, 0};
  colours.add(&red);
  char name[] = "oku_Bracket_3";
  PartRecord record{name, &colours, 1, 0, nullptr};

  // The body line is the shape writer's: the identifier alone.
  std::string shape = capture_text([&](FILE *f) { pov_write_shape(f, 2, bracket, &record); });
  EXPECT_EQ(shape, "    oku_Bracket_3\n");
  std::string text = capture_text([&](FILE *f) { pov_write_object_body(session, f, 1, bracket, &record); });
  EXPECT_EQ(text, "  object { // Bracket\n" + shape +
                      "    pigment {color rgbt <1, 0, 0, 0>}\n"
                      "    translate <-0.5, -0, -0>\n"
                      "    rotate <0, 0, 90>\n"
                      "    translate <10, 0, 5>\n"
                      "    finish {ambient <1, 0, 0> phong 0.5 phong_size 40}\n"
                      "    #if (NO_SHADOWS) no_shadow #end\n"
                      "  }\n");
}

TEST_F(ObjectTest, MultiColourPartGivesOneStatementPerColour) {
  _object *node = object_with_pivot("Knob", 0, 0, 0);
  node->position = ZAL_VECT3{1, 2, 3};
  LIST colours;
  ZAL_COLOR c0{1, 0, 0}, c1{0, 1, 0}, c2{0, 0, 1};
  colours.add(&c0);
  colours.add(&c1);
  colours.add(&c2);
  char name[] = "oku_Knob1_7";
  PartRecord record{name, &colours, 1, 0, nullptr};
  std::string text = capture_text([&](FILE *f) { pov_write_object_body(session, f, 1, node, &record); });
  std::string expected;
  const char *rgb[] = {"1, 0, 0", "0, 1, 0", "0, 0, 1"};
  for (int i = 0; i < 3; ++i)
    expected += std::string("  object { // part of Knob\n") + "    oku_Knob1_7_" + std::to_string(i) + "\n" +
                "    pigment {color rgbt <" + rgb[i] + ", 0>}\n" + "    translate <1, 2, 3>\n" +
                "    finish {ambient <" + rgb[i] + "> phong 0 phong_size 0}\n" +
                "    #if (NO_SHADOWS) no_shadow #end\n" + "  }\n";
  EXPECT_EQ(text, expected);

  // An object colour of its own wins: one statement, that colour.
  node->color = ZAL_COLOR{0.5f, 0.5f, 0.5f};
  text = capture_text([&](FILE *f) { pov_write_object_body(session, f, 1, node, &record); });
  EXPECT_EQ(text.find("part of"), std::string::npos);
  EXPECT_NE(text.find("pigment {color rgbt <0.5, 0.5, 0.5, 0>}"), std::string::npos);
  EXPECT_EQ(pov_statement_count(node->color, &record), 1);

  // A part without colours writes only the comment markers of a hidden object.
  LIST none;
  PartRecord empty{name, &none, 1, 0, nullptr};
  node->color = ZAL_COLOR{-1, 0, 0};
  EXPECT_EQ(capture_text([&](FILE *f) { pov_write_object_body(session, f, 1, node, &empty); }), "");
  node->visible = 0;
  EXPECT_EQ(capture_text([&](FILE *f) { pov_write_object_body(session, f, 1, node, &empty); }), "/*\n*/\n");
}

TEST_F(ObjectTest, StatementColourChoice) {
  LIST colours;
  ZAL_COLOR c0{0.2f, 0.3f, 0.4f};
  colours.add(&c0);
  PartRecord record{nullptr, &colours, 0, 0, nullptr};
  ZAL_COLOR none{-1, 0, 0}, own{0, 0, 0};
  ZAL_COLOR got = pov_statement_colour(own, &record, 0);
  EXPECT_EQ(got.r, 0);
  got = pov_statement_colour(none, &record, 0);
  EXPECT_EQ(got.b, 0.4f);
  got = pov_statement_colour(none, nullptr, 0);
  EXPECT_EQ(got.r + got.g + got.b, 3);
  got = pov_statement_colour(none, &record, 5); // past the list: white, never a crash
  EXPECT_EQ(got.r + got.g + got.b, 3);
}

TEST_F(ObjectTest, TransformsOrderAndSuppression) {
  PovObjectValues v{};
  v.orientation = ZAL_QUAT{0, 0, 0, 1};
  EXPECT_EQ(capture_text([&](FILE *f) { pov_write_transforms(f, 1, &v); }), "");

  // A scalar part of exactly 1 suppresses the rotations whatever the angles.
  v.angles = ZAL_VECT3{10, 20, 30};
  EXPECT_EQ(capture_text([&](FILE *f) { pov_write_transforms(f, 1, &v); }), "");

  v.orientation = ZAL_QUAT{0.1f, 0.2f, 0.3f, 0.9f};
  EXPECT_EQ(capture_text([&](FILE *f) { pov_write_transforms(f, 1, &v); }),
            "  rotate <0, 0, 30>\n  rotate <0, 20, 0>\n  rotate <10, 0, 0>\n");
  v.angles = ZAL_VECT3{-45, 0, 0};
  v.pivot[2] = 2;
  v.position = ZAL_VECT3{0, 0, -1e-6f};
  EXPECT_EQ(capture_text([&](FILE *f) { pov_write_transforms(f, 0, &v); }),
            "translate <-0, -0, -2>\nrotate <-45, 0, 0>\ntranslate <0, 0, -1e-06>\n");
}

TEST_F(ObjectTest, PlacementComesFromTheSceneFrame) {
  _object *group = add_node(nullptr, OBJECT_TYPE_GROUP, "Moved");
  group->position = ZAL_VECT3{1, 0, 0};
  _object *node = add_node(group, OBJECT_TYPE_GEOMETRY, "Inner");
  node->position = ZAL_VECT3{0, 2, 0};
  node->rotation = ZAL_VECT3{0, 30, 0};
  PovObjectValues v{};
  pov_read_object_values(node, &v);
  EXPECT_FLOAT_EQ(v.position.x, 1);
  EXPECT_FLOAT_EQ(v.position.y, 2);
  EXPECT_EQ(v.angles.y, 30); // exact when no ancestor rotates
  EXPECT_NE(v.orientation.w, 1);
  EXPECT_EQ(v.colour.r, -1);
}

TEST_F(ObjectTest, FinishScalesEmissionByAmbientAndHighlightByOpacity) {
  scene_environment().ambient = 0.25f;
  _object *node = add_node(nullptr, OBJECT_TYPE_GEOMETRY, "Lamp");
  node->emission = ZAL_COLOR{0.5f, 0, 0};
  node->shininess = 40;
  ZAL_COLOR colour{0.8f, 0.2f, 0.2f}, specular{1, 1, 1};
  EXPECT_EQ(capture_text([&](FILE *f) { pov_write_finish(f, 2, node, colour, specular, 1); }),
            "    finish {ambient <0.8, 0.2, 0.2>+ <2, 0, 0> phong 1 phong_size 40}\n");

  // Highlight fades with the opacity; reflection only when non-zero.
  node->reflectivity = 0.3f;
  node->emission = ZAL_COLOR{0, 0, 0};
  EXPECT_EQ(capture_text([&](FILE *f) { pov_write_finish(f, 0, node, colour, specular, 0.5f); }),
            "finish {ambient <0.8, 0.2, 0.2> phong 0.5 phong_size 40 reflection 0.3}\n");

  // An ambient level of 0 divides the emission by 0.001; one non-zero
  // component writes all three.
  scene_environment().ambient = 0;
  node->emission = ZAL_COLOR{0, 0.5f, 0};
  node->reflectivity = 0;
  EXPECT_EQ(capture_text([&](FILE *f) { pov_write_finish(f, 0, node, colour, specular, 0); }),
            "finish {ambient <0.8, 0.2, 0.2>+ <0, 500, 0> phong 0 phong_size 40}\n");
}

TEST_F(ObjectTest, EmissionOverATinyAmbientLevelStaysFinite) {
  // 1 / 1e-45 overflows a float: the emission is written as 0, as in the
  // texture's finish, never as "inf".
  scene_environment().ambient = 1e-45f;
  _object *node = add_node(nullptr, OBJECT_TYPE_GEOMETRY, "Lamp");
  node->emission = ZAL_COLOR{1, 1e-20f, 0};
  ZAL_COLOR colour{1, 1, 1}, specular{0, 0, 0};
  EXPECT_EQ(capture_text([&](FILE *f) { pov_write_finish(f, 0, node, colour, specular, 1); }),
            "finish {ambient <1, 1, 1>+ <0, 7.13624e+24, 0> phong 0 phong_size 0}\n");
}

TEST_F(ObjectTest, PigmentTransmission) {
  EXPECT_EQ(capture_text([](FILE *f) {
              pov_write_pigment(f, 1, ZAL_COLOR{1, 1, 1}, 0.3f);
            }),
            "  pigment {color rgbt <1, 1, 1, 0.7>}\n");
  EXPECT_EQ(capture_text([](FILE *f) {
              pov_write_pigment(f, 0, ZAL_COLOR{0, 0.5f, 1}, 0);
            }),
            "pigment {color rgbt <0, 0.5, 1, 1>}\n");
}

const char *const kWhite = "pigment {color rgbt <1, 1, 1, ";

// The transmission of the statement whose comment names `name`.
std::string transmission_of(const std::string &text, const std::string &name) {
  size_t at = text.find("// " + name + "\n");
  if (at == std::string::npos)
    return "missing";
  size_t p = text.find(kWhite, at);
  size_t start = p + std::string(kWhite).size();
  return text.substr(start, text.find('>', start) - start);
}

TEST_F(ObjectTest, GroupOpacityMultipliesDownTheTree) {
  _object *outer = add_node(nullptr, OBJECT_TYPE_GROUP, "Outer");
  outer->opacity = 0.5f;
  _object *inner = add_node(outer, OBJECT_TYPE_GROUP, "Inner");
  inner->opacity = 0.5f;
  _object *deep = add_node(inner, OBJECT_TYPE_GEOMETRY, "Deep");
  deep->specular = ZAL_COLOR{1, 0, 0};
  _object *half = add_node(inner, OBJECT_TYPE_GEOMETRY, "HalfOwn");
  half->opacity = 0.5f;
  add_node(outer, OBJECT_TYPE_GEOMETRY, "Sibling");
  add_node(nullptr, OBJECT_TYPE_GEOMETRY, "Outside");
  std::string text = walk_text(session, db_get_root());
  EXPECT_EQ(transmission_of(text, "Deep"), "0.75");
  EXPECT_EQ(transmission_of(text, "HalfOwn"), "0.875");
  EXPECT_EQ(transmission_of(text, "Sibling"), "0.5");
  EXPECT_EQ(transmission_of(text, "Outside"), "0");
  EXPECT_NE(text.find("phong 0.25 phong_size"), std::string::npos);
  EXPECT_EQ(session.inherited_opacity, 1);
  EXPECT_EQ(session.indent_depth, 0);
}

TEST_F(ObjectTest, OwnOpacityDoesNotReachChildren) {
  _object *parent = add_node(nullptr, OBJECT_TYPE_GEOMETRY, "Parent");
  parent->opacity = 0.5f;
  add_node(parent, OBJECT_TYPE_GEOMETRY, "Child");
  std::string text = walk_text(db_get_root());
  EXPECT_EQ(transmission_of(text, "Parent"), "0.5");
  EXPECT_EQ(transmission_of(text, "Child"), "0");
}

const char *const kHiddenTree = "  object { // Ghost\n"
                                "    pigment {color rgbt <1, 1, 1, 0>}\n"
                                "    finish {ambient <1, 1, 1> phong 0 phong_size 0}\n"
                                "    #if (NO_SHADOWS) no_shadow #end\n"
                                "  }\n"
                                "*/\n"
                                "/*\n" // the kid has no shape
                                "    object { // Kid\n"
                                "      pigment {color rgbt <1, 1, 1, 0>}\n"
                                "      finish {ambient <1, 1, 1> phong 0 phong_size 0}\n"
                                "      #if (NO_SHADOWS) no_shadow #end\n"
                                "    }\n"
                                "*/\n";

TEST_F(ObjectTest, HiddenObjectIsCommentedOutAndChildrenFollow) {
  _object *ghost = add_node(nullptr, OBJECT_TYPE_GEOMETRY, "Ghost");
  ghost->visible = 0;
  add_node(ghost, OBJECT_TYPE_GEOMETRY, "Kid");
  EXPECT_EQ(walk_text(db_get_root()), default_frame() + "/*\n" + kHiddenTree);
}

TEST_F(ObjectTest, ZeroOpacityHidesLikeInvisibility) {
  // Shaped objects: an object without a shape is commented out anyway.
  const auto shaped = [](_object *parent, const char *name) {
    _object *node = add_node(parent, OBJECT_TYPE_GEOMETRY, name);
    scene_add_geometry(node)->set_mesh(VYobject_create());
    scene_set_params(node, GeomParams{3, 0, 0, 0, 0, 1, 0, 0});
    return node;
  };
  _object *ghost = shaped(nullptr, "Ghost");
  std::string text = walk_text(db_get_root());
  EXPECT_EQ(text.find("/*\n  object"), std::string::npos) << text; // seen while opaque
  ghost->opacity = 0;
  add_node(ghost, OBJECT_TYPE_GEOMETRY, "Kid");
  text = walk_text(db_get_root());
  EXPECT_EQ(text.substr(0, text.find("/*\n  object")), default_frame());
  EXPECT_NE(text.find("rgbt <1, 1, 1, 1>}\n    finish {ambient <1, 1, 1> phong 0 phong_size 0}\n"),
            std::string::npos);
  EXPECT_NE(text.find("  }\n*/\n/*\n    object { // Kid\n"), std::string::npos);

  // A group of opacity 0 hides everything below it.
  scene_reset();
  _object *clear = add_node(nullptr, OBJECT_TYPE_GROUP, "Clear");
  clear->opacity = 0;
  shaped(clear, "A");
  text = walk_text(db_get_root());
  EXPECT_NE(text.find("/*\n    object { // A\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 3), "*/\n");
}

TEST_F(ObjectTest, InactiveObjectWritesNothingButItsChildren) {
  _object *off = add_node(nullptr, OBJECT_TYPE_GEOMETRY, "Off");
  off->active = 0;
  add_node(off, OBJECT_TYPE_GEOMETRY, "Kid");
  EXPECT_EQ(walk_text(db_get_root()), default_frame() +
                                          "/*\n"
                                          "    object { // Kid\n"
                                          "      pigment {color rgbt <1, 1, 1, 0>}\n"
                                          "      finish {ambient <1, 1, 1> phong 0 phong_size 0}\n"
                                          "      #if (NO_SHADOWS) no_shadow #end\n"
                                          "    }\n"
                                          "*/\n");
}

TEST_F(ObjectTest, OtherNodeTypesWriteOnlyTheirChildren) {
  _object *odd = add_node(nullptr, 42, "Odd");
  _object *kid = add_node(odd, OBJECT_TYPE_GEOMETRY, "Kid");
  kid->color = ZAL_COLOR{0.25f, 0.5f, 0.75f};
  EXPECT_EQ(walk_text(db_get_root()), default_frame() +
                                          "/*\n"
                                          "    object { // Kid\n"
                                          "      pigment {color rgbt <0.25, 0.5, 0.75, 0>}\n"
                                          "      finish {ambient <0.25, 0.5, 0.75> phong 0 phong_size 0}\n"
                                          "      #if (NO_SHADOWS) no_shadow #end\n"
                                          "    }\n"
                                          "*/\n");
}

TEST_F(ObjectTest, NamesCannotEscapeTheirComment) {
  _object *evil = add_node(nullptr, OBJECT_TYPE_GEOMETRY, "x */ #fopen F \"/tmp/pwn\" write\n#debug \"hi\"");
  evil->visible = 0;
  std::string text = walk_text(db_get_root());
  EXPECT_NE(text.find("/*\n  object { // x * / #fopen F \"/tmp/pwn\" write?#debug \"hi\"\n"),
            std::string::npos);
  // The only comment markers are the frame's own and the hidden object's pair.
  EXPECT_EQ(text.find("*/", text.find("/*\n  object")), text.rfind("*/\n"));
}

TEST_F(ObjectTest, LongNamesAreTruncated) {
  std::string long_name(5000, 'L');
  add_node(nullptr, OBJECT_TYPE_GEOMETRY, long_name.c_str());
  std::string text = walk_text(db_get_root());
  EXPECT_NE(text.find("  object { // " + std::string(255, 'L') + "\n"), std::string::npos);
}

// An object that gets no shape statement (no geometry entry, or a mesh
// whose part could not be declared) is written inside a comment, as a
// hidden one is: POV-Ray refuses an object statement without a shape.
TEST_F(ObjectTest, ObjectWithoutShapeIsCommentedOut) {
  struct Case {
    const char *name;
    bool geometry, params, part, commented;
  } cases[] = {
      {"no geometry", false, false, false, true},
      {"mesh without its part", true, false, false, true},
      {"primitive", true, true, false, false},
      {"part", true, false, true, false},
  };
  LIST colours;
  ZAL_COLOR red{1, 0, 0};
  colours.add(&red);
  char part_name[] = "oku_Part_1";
  PartRecord record{part_name, &colours, 1, 0, nullptr};
  for (const Case &c : cases) {
    scene_reset();
    _object *node = add_node(nullptr, OBJECT_TYPE_GEOMETRY, c.name);
    if (c.geometry)
      scene_add_geometry(node)->set_mesh(VYobject_create());
    if (c.params)
      scene_set_params(node, GeomParams{3, 0, 0, 0, 0, 1, 0, 0});
    std::string text = capture_text(
        [&](FILE *f) { pov_write_object_body(session, f, 0, node, c.part ? &record : nullptr); });
    EXPECT_EQ(text.rfind("/*\nobject { // ", 0) == 0, c.commented) << c.name << "\n" << text;
    EXPECT_EQ(text.size() > 3 && text.substr(text.size() - 3) == "*/\n", c.commented) << c.name;
  }
}

} // namespace
