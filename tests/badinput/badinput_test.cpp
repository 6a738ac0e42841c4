// Runs every row of the bad-input table against the built program, each in
// a fresh directory: the exit code and the whole of standard error must be
// as the row says; a refused scene writes nothing; a scene that is saved
// gives files that POV-Ray's parser can read; no file that was there before
// is changed or removed, and no temporary file is left behind.
#include "badinput.h"
#include "files_check.h"
#include "pov_text_check.h"
#include "tests/support/run.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace {

const std::string kProgram = BF_BINARY_DIR "/bin/brightfold";

using bftest::read_file;

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs brightfold in `dir`; its output goes to files outside it.
Outcome run(const std::vector<std::string> &args, const fs::path &dir, long limit_mb) {
  bftest::RunOptions options{dir.string(), {}, 60};
  options.address_limit_mb = limit_mb;
  const bftest::RunResult result = bftest::run_program(kProgram, args, options);
  return Outcome{result.status, result.out, result.err};
}

std::string substitute(std::string text, const std::string &dir) {
  for (size_t at = text.find("{dir}"); at != std::string::npos; at = text.find("{dir}", at + dir.size()))
    text.replace(at, 5, dir);
  return text;
}

class BadInput : public ::testing::TestWithParam<badinput::Case> {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/bf_badinput_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    dir = root / "work";
    fs::create_directory(dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
  }
  fs::path root, dir;
};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

TEST_P(BadInput, ExitCodeAndMessage) {
  const badinput::Case &c = GetParam();
  // AddressSanitizer reserves terabytes of address space for its shadow
  // memory: under an address-space limit the program cannot even start.
  if (c.address_limit_mb > 0 && kAddressSanitizer)
    GTEST_SKIP() << "an address-space limit leaves no room for AddressSanitizer";
  if (!c.scene.empty())
    std::ofstream(dir / "scene.json", std::ios::binary) << c.scene;
  if (c.setup)
    c.setup(dir.string());
  const auto before = badinput::snapshot(dir);
  const Outcome outcome = run(c.args, dir, c.address_limit_mb);
  EXPECT_EQ(outcome.status, c.exit_code);
  if (!c.args.empty() && c.args[0] == "save") { // it speaks on standard error alone
    EXPECT_EQ(outcome.out, "");
  }
  const std::string want = substitute(c.message, dir.string());
  // A save that succeeded ends with the line that says how to render it.
  std::string err = outcome.err;
  if (c.exit_code == 0 && c.args.size() > 2 && c.args[0] == "save") {
    const std::string hint =
        "brightfold: saved " + c.args[2] + "; render it with: povray +MV3.0 +I" + c.args[2] + "\n";
    const bool ends =
        err.size() >= hint.size() && err.compare(err.size() - hint.size(), hint.size(), hint) == 0;
    EXPECT_TRUE(ends) << err;
    if (ends)
      err.erase(err.size() - hint.size());
  }
  if (c.match == badinput::Match::Exact)
    EXPECT_EQ(err, want);
  else
    EXPECT_EQ(err.substr(0, want.size()), want) << err;

  // A run that succeeded may add scene, include and Targa files, and the
  // scene and include files must parse.
  const auto after = badinput::snapshot(dir);
  std::set<std::string> written;
  for (const auto &[name, content] : after) {
    const std::string ext = fs::path(name).extension().string();
    if (c.exit_code != 0 || before.count(name) || (ext != ".pov" && ext != ".inc" && ext != ".tga"))
      continue;
    written.insert(name);
    if (ext == ".pov" || ext == ".inc") {
      EXPECT_EQ(bf_fuzz::check_pov_text(content), "") << name << ":\n" << content.substr(0, 2000);
    }
  }
  badinput::expect_only_outputs_changed(before, after, written);
}

INSTANTIATE_TEST_SUITE_P(Loaders, BadInput, ::testing::ValuesIn(badinput::loader_cases()),
                         [](const ::testing::TestParamInfo<badinput::Case> &row) { return row.param.name; });

INSTANTIATE_TEST_SUITE_P(Models, BadInput, ::testing::ValuesIn(badinput::model_cases()),
                         [](const ::testing::TestParamInfo<badinput::Case> &row) { return row.param.name; });

INSTANTIATE_TEST_SUITE_P(Table, BadInput, ::testing::ValuesIn(badinput::cases()),
                         [](const ::testing::TestParamInfo<badinput::Case> &row) { return row.param.name; });

TEST(BadInputTable, HasAtLeastFiftyDistinctCases) {
  const auto all = badinput::cases();
  EXPECT_GE(all.size(), 50u);
  std::map<std::string, int> names;
  for (const auto &c : all)
    EXPECT_EQ(++names[c.name], 1) << c.name;
}

} // namespace
