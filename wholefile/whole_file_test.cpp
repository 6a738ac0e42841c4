#include "wholefile/whole_file.h"

#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

// A temporary file of a write under way, made with prefix.
struct Writing {
  FILE *file = nullptr;
  std::string temp;
  wf::Pending *pending = nullptr;
  Writing(const std::string &target, const char *prefix) {
    file = wf::open_beside(target, nullptr, prefix, temp, &pending);
  }
  void drop() {
    wf::discard(file, temp.c_str(), pending);
    file = nullptr;
    temp.clear();
    pending = nullptr;
  }
  ~Writing() { drop(); }
};

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

std::string seen_temp; // for the earlier handler below

// Two writers share the list: one discarding its file leaves the other's on
// it, and the default action still ends the process after the clean-up.
TEST(WholeFile, SignalRemovesTheTemporariesOfEveryWriter) {
  bftest::ScratchDir dir("wf_test");
  EXPECT_EXIT(
      {
        Writing first(dir.file("a.txt"), ".a-");
        Writing second(dir.file("b.txt"), ".b-");
        first.drop();
        raise(SIGTERM);
      },
      testing::KilledBySignal(SIGTERM), "");
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

// The handler found before runs after the clean-up.
TEST(WholeFile, SignalChainsToTheEarlierHandler) {
  bftest::ScratchDir dir("wf_test");
  EXPECT_EXIT(
      {
        signal(SIGINT, [](int) { _exit(exists(seen_temp) ? 1 : 7); });
        Writing writing(dir.file("a.txt"), ".a-");
        seen_temp = writing.temp;
        raise(SIGINT);
      },
      testing::ExitedWithCode(7), "");
}

TEST(WholeFile, RemoveAllTakesOnlyItsOwnNamesAndTheLastNameRestoresTheHandler) {
  bftest::ScratchDir dir("wf_test");
  {
    Writing mine(dir.file("a.txt"), ".a-");
    Writing theirs(dir.file("b.txt"), ".b-");
    wf::remove_all(".a-");
    EXPECT_FALSE(exists(mine.temp));
    EXPECT_TRUE(exists(theirs.temp));
    mine.pending = nullptr; // taken off the list by remove_all
  }
  struct sigaction now;
  sigaction(SIGTERM, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

} // namespace
