// The built brightfold program, run as a user runs it: exit codes, messages,
// files created and the directory each save runs in.
#include "tests/support/files.h"
#include "tests/support/run.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kProgram = BF_BINARY_DIR "/bin/brightfold";
const std::string kExample = BF_SOURCE_DIR "/examples/basic/scene.json";

using Outcome = bftest::RunResult;
using bftest::read_file;

// Runs the program in `cwd` with `env` added to the environment.
Outcome run(const std::vector<std::string> &args, const fs::path &cwd,
            const std::vector<std::string> &env = {}) {
  return bftest::run_program(kProgram, args, {cwd.string(), env, 60});
}

class Brightfold : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(kProgram)) << kProgram << " is not built";
    dir_ = fs::path(::testing::TempDir()) / ("bf_cli_" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "sub");
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path write(const std::string &name, const std::string &text) {
    std::ofstream(dir_ / name) << text;
    return dir_ / name;
  }
  fs::path dir_;
};

TEST_F(Brightfold, HelpVersionAndUsageErrors) {
  Outcome r = run({"--version"}, dir_);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "brightfold 1.0\n");
  r = run({"--help"}, dir_);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("save SCENE.json OUT.pov [OUT2.pov ...] [--saver NAME]"), std::string::npos);
  EXPECT_NE(r.out.find("  list\n"), std::string::npos);
  r = run({"save", "--help"}, dir_);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Usage: brightfold save SCENE.json", 0), 0u);

  EXPECT_EQ(run({}, dir_).status, 2);
  r = run({"--frobnicate"}, dir_);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "brightfold: unknown option --frobnicate\nTry 'brightfold --help'.\n");
  r = run({"explode"}, dir_);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "brightfold: unknown command \"explode\"\nTry 'brightfold --help'.\n");
  r = run({"save", kExample}, dir_);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("brightfold: save needs a scene file and at least one output file\n", 0), 0u);
  r = run({"save", kExample, "a.pov", "--fast"}, dir_);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("brightfold: unknown option --fast\n", 0), 0u);
  r = run({"save", kExample, "a.pov", "--saver"}, dir_);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("brightfold: option --saver needs a value\n", 0), 0u);
  EXPECT_EQ(run({"list", "extra"}, dir_).status, 2);
  EXPECT_FALSE(fs::exists(dir_ / "a.pov"));
}

TEST_F(Brightfold, ListShowsBothSavers) {
  const Outcome r = run({"list"}, dir_);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Savers (name, suffix, saver code):\n"
                        "  POV scene file\tpov\t1000\n"
                        "  POV scene and parts files\tpov\t1000\n"
                        "  POV-Ray 3.7 scene and parts files\tpov\t1000\n"
                        "Display surfaces (name, surface code):\n",
                        0),
            0u)
      << r.out;
}

TEST_F(Brightfold, SavesEachOutputInItsOwnDirectory) {
  const Outcome r = run({"save", kExample, "sub/first.pov", "second.pov"}, dir_);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "brightfold: saved sub/first.pov; render it with: cd sub && povray +MV3.0 +Ifirst.pov\n"
                   "brightfold: saved second.pov; render it with: povray +MV3.0 +Isecond.pov\n");
  EXPECT_EQ(r.out, "");
  // The first output's part include files land beside it (the save ran in
  // sub/), and the directory was left again for the second output.
  EXPECT_TRUE(fs::exists(dir_ / "sub/first.pov"));
  EXPECT_TRUE(fs::exists(dir_ / "sub/Wedge.inc"));
  EXPECT_TRUE(fs::exists(dir_ / "second.pov"));
  EXPECT_TRUE(fs::exists(dir_ / "Wedge.inc"));
  EXPECT_FALSE(fs::exists(dir_ / "sub/second.pov"));
  EXPECT_EQ(read_file(dir_ / "sub/first.pov").rfind("/* Brightfold generated POV 3.0 scene file */\n", 0),
            0u);
}

TEST_F(Brightfold, SaverOptionChoosesTheSaver) {
  Outcome r = run({"save", "--saver", "POV scene file", kExample, "only.pov"}, dir_);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir_ / "only.pov"));
  EXPECT_FALSE(fs::exists(dir_ / "Wedge.inc")); // the scene file alone
  r = run({"save", kExample, "x.pov", "--saver=POV scene and parts files"}, dir_);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir_ / "Wedge.inc"));
  r = run({"save", kExample, "y.pov", "--saver", "VRML"}, dir_);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("brightfold: no saver is named \"VRML\" ('brightfold list' shows them)\n", 0), 0u);
  EXPECT_FALSE(fs::exists(dir_ / "y.pov"));
}

TEST_F(Brightfold, AFailedSaveExitsOneAndTheOthersStillRun) {
  const Outcome r = run({"save", kExample, "first.pov", "missing/dir/out.pov", "last.pov"}, dir_);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("brightfold: cannot save to missing/dir/out.pov: No such file or directory\n"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "missing")); // no directory is created
  EXPECT_TRUE(fs::exists(dir_ / "first.pov"));
  EXPECT_TRUE(fs::exists(dir_ / "last.pov"));
}

TEST_F(Brightfold, BadSceneFilesExitTwoWithTheirMessage) {
  write("typo.json", R"({"root": {"children": [{"type": "object", "colr": [1, 0, 0]}]}})");
  Outcome r = run({"save", "typo.json", "out.pov"}, dir_);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "brightfold: typo.json: /root/children/0/colr: unknown key\n");
  EXPECT_FALSE(fs::exists(dir_ / "out.pov"));

  write("broken.json", "{\"root\": {\n  \"name\": }\n}");
  r = run({"save", "broken.json", "out.pov"}, dir_);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("brightfold: broken.json:2:11: syntax error", 0), 0u) << r.err;

  r = run({"save", "absent.json", "out.pov"}, dir_);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "brightfold: absent.json: cannot read: No such file or directory\n");

  // Hostile input ends in a message, never in a crash.
  write("deep.json", std::string(100000, '[') + std::string(100000, ']'));
  write("binary.json", std::string("\x00\xff\xfe{", 4));
  write("part.json", R"({"root": {"geometry": {"part": "deep.json", "part_type": "obj"}}})");
  for (const char *file : {"deep.json", "binary.json", "part.json"})
    EXPECT_EQ(run({"save", file, "out.pov"}, dir_).status, 2) << file;
}

TEST_F(Brightfold, ModuleThatCannotBeLoadedIsReported) {
  const Outcome r = run({"list"}, dir_, {"BRIGHTFOLD_MODULE=/nonexistent/povexport.so"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("brightfold: cannot load the module /nonexistent/povexport.so: ", 0), 0u) << r.err;
}

} // namespace
