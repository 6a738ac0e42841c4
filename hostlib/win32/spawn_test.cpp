#include "spawn_control.h"
#include "tests/support/files.h"
#include "win32.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class SpawnTest : public ::testing::Test {
protected:
  void SetUp() override {
    char dir[] = "/tmp/bf_spawn_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  void TearDown() override {
    for (const char *name : {"args.txt", "out.txt", "run.sh"})
      unlink((dir_ + "/" + name).c_str());
    rmdir(dir_.c_str());
  }
  std::string read(const std::string &name) { return bftest::read_file(dir_ + "/" + name); }
  // A program the test controls: it records its arguments, one a line.
  std::string recorder() {
    std::string path = dir_ + "/run.sh";
    std::ofstream(path)
        << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/args.txt\"\n"
           "exit 3\n";
    chmod(path.c_str(), 0755);
    return path;
  }
  std::string dir_;
};

TEST_F(SpawnTest, PassesArgumentsUnchangedAndAnswersTheExitStatus) {
  std::string program = recorder();
  intptr_t answer = _spawnl(_P_WAIT, program.c_str(), program.c_str(), "$$povuds.ini", "/EXIT", "a b", "*",
                            static_cast<char *>(nullptr));
  EXPECT_EQ(answer, 3);
  EXPECT_EQ(read("args.txt"), "$$povuds.ini\n/EXIT\na b\n*\n");
  Win32SpawnResult result = win32_last_spawn();
  EXPECT_EQ(result.started, 1);
  EXPECT_EQ(result.exited, 1);
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(win32_spawn_running(), 0);
}

TEST_F(SpawnTest, TurnsBackslashesOfTheProgramPathIntoSlashes) {
  std::string program = recorder();
  std::string windows = program;
  for (char &c : windows)
    if (c == '/')
      c = '\\';
  EXPECT_EQ(_spawnl(_P_WAIT, windows.c_str(), windows.c_str(), "x", static_cast<char *>(nullptr)), 3);
  EXPECT_EQ(read("args.txt"), "x\n");
  EXPECT_EQ(_spawnl(_P_WAIT, "\\bin\\true", "true", static_cast<char *>(nullptr)), 0);
}

TEST_F(SpawnTest, TheFirstArgumentIsPassedAsGiven) {
  std::string out = dir_ + "/out.txt";
  std::string command = "tr '\\0' '\\n' < /proc/$$/cmdline > '" + out + "'";
  EXPECT_EQ(_spawnl(_P_WAIT, "/bin/sh", "C:\\Home\\bin\\pvengine.exe", "-c", command.c_str(),
                    static_cast<char *>(nullptr)),
            0);
  EXPECT_EQ(read("out.txt"), "C:\\Home\\bin\\pvengine.exe\n-c\n" + command + "\n");
}

TEST_F(SpawnTest, AProgramThatCannotStartAnswersMinusOne) {
  EXPECT_EQ(_spawnl(_P_WAIT, (dir_ + "/missing.exe").c_str(), "missing.exe", static_cast<char *>(nullptr)),
            -1);
  Win32SpawnResult result = win32_last_spawn();
  EXPECT_EQ(result.started, 0);
  EXPECT_EQ(result.error, ENOENT);
  EXPECT_EQ(_spawnl(_P_WAIT + 1, "/bin/true", "true", static_cast<char *>(nullptr)),
            -1); // only waiting is offered
}

TEST_F(SpawnTest, AProgramEndedByASignalAnswersNonZero) {
  intptr_t answer = _spawnl(_P_WAIT, "/bin/sh", "sh", "-c", "kill -TERM $$", static_cast<char *>(nullptr));
  EXPECT_EQ(answer, 128 + SIGTERM);
  Win32SpawnResult result = win32_last_spawn();
  EXPECT_EQ(result.started, 1);
  EXPECT_EQ(result.exited, 0);
  EXPECT_EQ(result.signal, SIGTERM);
}

TEST_F(SpawnTest, OutputCanBeSentElsewhere) {
  std::string out = dir_ + "/out.txt";
  int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(win32_spawn_set_output(fd), -1);
  _spawnl(_P_WAIT, "/bin/sh", "sh", "-c", "echo to-out; echo to-err >&2", static_cast<char *>(nullptr));
  EXPECT_EQ(win32_spawn_set_output(-1), fd);
  close(fd);
  EXPECT_EQ(read("out.txt"), "to-out\nto-err\n");
}

TEST_F(SpawnTest, TheFinishedHookSeesWhatTheProgramLeftBehind) {
  struct Seen {
    std::string path;
    bool existed = false;
    int calls = 0;
  } seen;
  seen.path = dir_ + "/out.txt";
  win32_spawn_set_finished(
      [](void *user) {
        auto *s = static_cast<Seen *>(user);
        s->existed = access(s->path.c_str(), F_OK) == 0;
        ++s->calls;
      },
      &seen);
  std::string command = "echo x > '" + seen.path + "'";
  _spawnl(_P_WAIT, "/bin/sh", "sh", "-c", command.c_str(), static_cast<char *>(nullptr));
  _spawnl(_P_WAIT, "/no/such/program", "x", static_cast<char *>(nullptr)); // never started: no call
  win32_spawn_set_finished(nullptr, nullptr);
  _spawnl(_P_WAIT, "/bin/true", "true", static_cast<char *>(nullptr));
  EXPECT_TRUE(seen.existed);
  EXPECT_EQ(seen.calls, 1);
}

// The host learns the scene and picture the renderer was told about from its
// INI file, before the program starts and after the INI file is gone.
TEST_F(SpawnTest, TheFilesOfTheIniFileAreKnownBeforeTheStart) {
  std::string ini = dir_ + "/r.INI";
  std::ofstream(ini) << "; a render\nWidth=2\n input_file_name = \"s.pov\" ; scene\r\n"
                        "Output_File_Name=/abs/p.tga\n";
  struct Seen {
    Win32SpawnFiles files;
    int answer = 1;
  } seen;
  win32_spawn_set_starting(
      [](void *user) {
        auto *s = static_cast<Seen *>(user);
        s->files = win32_last_spawn_files();
        return s->answer;
      },
      &seen);
  EXPECT_EQ(_spawnl(_P_WAIT, "/bin/true", "true", "/EXIT", ini.c_str(), static_cast<char *>(nullptr)), 0);
  unlink(ini.c_str());
  const std::string cwd = std::filesystem::current_path().string();
  const struct {
    const char *what;
    std::string got, want;
  } rows[] = {
      {"ini", seen.files.ini_file, ini},
      {"scene", seen.files.input_file, cwd + "/s.pov"},
      {"picture", seen.files.output_file, "/abs/p.tga"},
      {"kept", win32_last_spawn_files().output_file, "/abs/p.tga"},
      {"args", seen.files.args.size() == 2 ? seen.files.args[0] : "?", "/EXIT"},
  };
  for (const auto &row : rows)
    EXPECT_EQ(row.got, row.want) << row.what;
  seen.answer = 0; // a hook answering 0 keeps the program from starting
  EXPECT_EQ(_spawnl(_P_WAIT, "/bin/true", "true", "x", static_cast<char *>(nullptr)), -1);
  win32_spawn_set_starting(nullptr, nullptr);
  EXPECT_EQ(win32_last_spawn().started, 0);
  EXPECT_EQ(win32_last_spawn().error, ECANCELED);
  EXPECT_EQ(seen.files.ini_file, "");
  EXPECT_EQ(seen.files.input_file, "");
}

TEST_F(SpawnTest, UnlinkDeletesAFile) {
  std::string path = dir_ + "/out.txt";
  std::ofstream(path) << "x";
  EXPECT_EQ(_unlink(path.c_str()), 0);
  EXPECT_NE(access(path.c_str(), F_OK), 0);
  EXPECT_NE(_unlink(path.c_str()), 0);
}

} // namespace
