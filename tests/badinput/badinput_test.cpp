// Runs every row of the bad-input table against the built program, each in
// a fresh directory: the exit code and the whole of standard error must be
// as the row says; a refused scene writes nothing; a scene that is saved
// gives files that POV-Ray's parser can read; no file that was there before
// is changed or removed, and no temporary file is left behind.
#include "badinput.h"
#include "files_check.h"
#include "pov_text_check.h"

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

using badinput::slurp;

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs brightfold in `dir`; its output goes to files outside it.
Outcome run(const std::vector<std::string> &args, const fs::path &dir, const fs::path &logs, long limit_mb) {
  const fs::path out = logs / "stdout", err = logs / "stderr";
  const pid_t pid = fork();
  if (pid == 0) {
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    if (o < 0 || e < 0 || in < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0 || dup2(in, 0) < 0 ||
        chdir(dir.c_str()) != 0)
      _exit(127);
    std::vector<char *> argv{const_cast<char *>(kProgram.c_str())};
    for (const std::string &a : args)
      argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    alarm(60); // a hang fails the case instead of the whole suite
    const rlimit as{static_cast<rlim_t>(limit_mb) << 20, static_cast<rlim_t>(limit_mb) << 20};
    if (limit_mb > 0)
      setrlimit(RLIMIT_AS, &as);
    execv(kProgram.c_str(), argv.data());
    _exit(127);
  }
  Outcome result;
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
    result.status = WEXITSTATUS(status);
  result.out = slurp(out);
  result.err = slurp(err);
  return result;
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
    logs = root / "logs";
    fs::create_directory(dir);
    fs::create_directory(logs);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
  }
  fs::path root, dir, logs;
};

TEST_P(BadInput, ExitCodeAndMessage) {
  const badinput::Case &c = GetParam();
  if (!c.scene.empty())
    std::ofstream(dir / "scene.json", std::ios::binary) << c.scene;
  if (c.setup)
    c.setup(dir.string());
  const auto before = badinput::snapshot(dir);
  const Outcome outcome = run(c.args, dir, logs, c.address_limit_mb);
  EXPECT_EQ(outcome.status, c.exit_code);
  if (!c.args.empty() && c.args[0] == "save") { // it speaks on standard error alone
    EXPECT_EQ(outcome.out, "");
  }
  const std::string want = substitute(c.message, dir.string());
  if (c.match == badinput::Match::Exact)
    EXPECT_EQ(outcome.err, want);
  else
    EXPECT_EQ(outcome.err.substr(0, want.size()), want) << outcome.err;

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
                         [](const ::testing::TestParamInfo<badinput::Case> &info) {
                           return info.param.name;
                         });

INSTANTIATE_TEST_SUITE_P(Table, BadInput, ::testing::ValuesIn(badinput::cases()),
                         [](const ::testing::TestParamInfo<badinput::Case> &info) {
                           return info.param.name;
                         });

TEST(BadInputTable, HasAtLeastFiftyDistinctCases) {
  const auto all = badinput::cases();
  EXPECT_GE(all.size(), 50u);
  std::map<std::string, int> names;
  for (const auto &c : all)
    EXPECT_EQ(++names[c.name], 1) << c.name;
}

} // namespace
