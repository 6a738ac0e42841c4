// render --slurm against a real one-node Slurm cluster (scripts/slurm-local,
// started by the ctest fixture slurm_cluster): its pictures are the pixels
// of the same render on one machine, a failed task is submitted once more,
// and collect finishes a job left running.
#include "app/farm/farm_job.h"
#include "app/farm/slurm_jobs.h"

#include "tests/support/files.h"
#include "tests/support/run.h"

#include <stb_image.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kProgram = BF_BINARY_DIR "/bin/brightfold";

// A ball, a floor and a light: edges for the anti-aliasing to work on.
const std::string kScene = R"({ "root": { "children": [
  { "type": "camera", "name": "Camera", "position": [0, 1, 6], "look_at": [0, 0, 0] },
  { "type": "light", "name": "Light", "position": [4, 6, 6] },
  { "type": "object", "name": "Ball", "color": [1, 0.2, 0.1], "geometry": { "primitive": "sphere", "radius": 1.2 } },
  { "type": "object", "name": "Floor", "position": [0, -1.2, 0], "color": [0.3, 0.6, 1],
    "geometry": { "primitive": "box", "size": [6, 0.1, 6] } } ] } })";

// 96 rows: three bands of POV-Ray's 32-row blocks.
const std::vector<std::string> kSize = {"--width", "40", "--height", "96"};

std::vector<unsigned char> pixels(const fs::path &png) {
  int w = 0, h = 0, n = 0;
  std::unique_ptr<unsigned char, void (*)(void *)> data(stbi_load(png.c_str(), &w, &h, &n, 3),
                                                        stbi_image_free);
  return data ? std::vector<unsigned char>(data.get(), data.get() + w * h * 3) : std::vector<unsigned char>{};
}

class FarmTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!bf::slurm_installed())
      GTEST_SKIP() << "Slurm's programs (sbatch) are not installed: apt-get install slurm-wlm munge";
    bftest::write_file(dir_.path() / "scene.json", kScene);
  }
  bftest::RunResult run(std::vector<std::string> args, const std::vector<std::string> &env = {}) {
    if (args[0] == "render")
      args.insert(args.end(), kSize.begin(), kSize.end());
    bftest::RunOptions options;
    options.cwd = dir_.path().string();
    options.time_limit = 240;
    options.env = env;
    return bftest::run_program(kProgram, args, options);
  }
  // The picture rendered on this machine alone.
  std::vector<unsigned char> local() {
    const bftest::RunResult r = run({"render", "scene.json", "local.png"});
    EXPECT_EQ(r.status, 0) << r.err;
    return pixels(dir_.path() / "local.png");
  }
  // Whether the job folder of the picture `stem`.png is still there.
  bool job_folder_left(const std::string &stem) const {
    for (const fs::directory_entry &entry : fs::directory_iterator(dir_.path()))
      if (entry.path().filename().string().rfind(".brightfold-job-" + stem + "-", 0) == 0)
        return true;
    return false;
  }
  // A povray on the PATH that fails in array task 1 (or cancels that task
  // through scancel): once (then it leaves a mark), or every time.
  std::string failing_povray(bool always, bool cancel) {
    const fs::path bin = dir_.path() / "bin";
    fs::create_directories(bin);
    const std::string mark = "'" + (dir_.path() / "failed-once").string() + "'";
    const std::string act = cancel ? "scancel \"${SLURM_ARRAY_JOB_ID}_1\"\n  sleep 60\n"
                                   : "echo 'planted failure' >&2\n  exit 3\n";
    bftest::write_file(bin / "povray", "#!/bin/sh\nif [ \"$SLURM_ARRAY_TASK_ID\" = 1 ] && " +
                                           std::string(always ? "true" : "[ ! -e " + mark + " ]") +
                                           "; then\n  touch " + mark + "\n  " + act +
                                           "fi\nexec " BF_POVRAY " \"$@\"\n");
    fs::permissions(bin / "povray", fs::perms::owner_all);
    fs::remove(dir_.path() / "failed-once");
    return "PATH=" + bin.string() + ":" + std::getenv("PATH");
  }

  bftest::ScratchDir dir_{"bf_farm"};
};

TEST_F(FarmTest, TiledStillIsTheOneMachinePicture) {
  struct Row {
    const char *out;
    std::vector<std::string> options;
  };
  for (const Row &row : {Row{"tiled.png", {}}, Row{"clear.png", {"--alpha"}},
                         Row{"plain.tga", {"--no-antialias", "--no-shadows"}}}) {
    SCOPED_TRACE(row.out);
    std::vector<std::string> args = {"render", "scene.json", std::string("local_") + row.out};
    args.insert(args.end(), row.options.begin(), row.options.end());
    bftest::RunResult r = run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    args[2] = row.out;
    args.insert(args.end(), {"--slurm", "--tiles", "3"});
    r = run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    // Byte for byte: the same pixels (and alpha) through the same encoder.
    EXPECT_EQ(bftest::read_file(dir_.path() / row.out),
              bftest::read_file(dir_.path() / ("local_" + std::string(row.out))));
    EXPECT_FALSE(job_folder_left(fs::path(row.out).stem().string()));
  }
}

TEST_F(FarmTest, FramesAreNamedAsLocally) {
  const std::vector<unsigned char> expected = local();
  const bftest::RunResult r = run({"render", "scene.json", "f.png", "--slurm", "--frames", "1-2"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char *name : {"f_0001.png", "f_0002.png"})
    EXPECT_EQ(pixels(dir_.path() / name), expected) << name;
  EXPECT_FALSE(fs::exists(dir_.path() / "f.png"));
}

TEST_F(FarmTest, FailedTaskIsSubmittedOnceMore) {
  struct Row {
    const char *name;
    bool always, cancel;
    int status;
    std::vector<std::string> said; // in this order
  };
  const std::string task = "task 1 (rows 33-64) failed", again = "\n  submitting it again";
  for (const Row &row :
       {Row{"once",
            false,
            false,
            0,
            {task + ": POV-Ray failed (exit status 3)\n    planted failure" + again}},
        Row{"always", true, false, 1, {task + ": POV-Ray failed", again, task + " again: POV-Ray failed"}},
        // The task stopped, or gone before it could write its status.
        Row{"cancelled",
            false,
            true,
            0,
            {task + ": it ", "(cancelled, out of time, or its node failed)" + again}}}) {
    SCOPED_TRACE(row.name);
    const std::string out = std::string(row.name) + ".png";
    const bftest::RunResult r = run({"render", "scene.json", out, "--slurm", "--tiles", "3"},
                                    {failing_povray(row.always, row.cancel)});
    EXPECT_EQ(r.status, row.status) << r.err;
    size_t at = 0;
    for (const std::string &part : row.said) {
      at = r.err.find(part, at);
      ASSERT_NE(at, std::string::npos) << part << " in:\n" << r.err;
    }
    EXPECT_EQ(fs::exists(dir_.path() / out), row.status == 0);
    EXPECT_EQ(job_folder_left(row.name), row.status != 0); // kept with the tasks' logs
  }
}

TEST_F(FarmTest, JobFolderMustBeNewOrEmpty) {
  fs::create_directories(dir_.path() / "busy");
  bftest::write_file(dir_.path() / "busy" / "mine.txt", "the user's");
  const bftest::RunResult r = run({"render", "scene.json", "o.png", "--slurm", "--job-dir", "busy"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("must be a new or empty folder"), std::string::npos) << r.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path() / "busy"), fs::directory_iterator()), 1);
  const bftest::RunResult c = run({"collect", "busy"});
  EXPECT_EQ(c.status, 2);
  EXPECT_NE(c.err.find("cannot read busy/job.json"), std::string::npos) << c.err;
}

TEST_F(FarmTest, NoWaitThenCollect) {
  const std::vector<unsigned char> expected = local();
  const bftest::RunResult r = run({"render", "scene.json", "later.png", "--slurm", "--no-wait", "--tiles",
                                   "2", "--job-dir", "job %j folder"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string folder = (dir_.path() / "job %j folder").string();
  EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), folder + "\n");
  const bftest::RunResult c = run({"collect", "job %j folder"});
  ASSERT_EQ(c.status, 0) << c.err;
  EXPECT_EQ(pixels(dir_.path() / "later.png"), expected);
  EXPECT_FALSE(fs::exists(folder));
}

TEST(FarmOptions, RefusedBeforeAnythingIsSubmitted) {
  struct Row {
    std::vector<std::string> args;
    const char *said;
  };
  bftest::ScratchDir dir("bf_farm");
  bftest::write_file(dir.path() / "scene.json", kScene);
  for (const Row &row :
       {Row{{"--tiles", "2"}, "--tiles goes with --slurm"},
        Row{{"--slurm", "--frames", "1-2", "--tiles", "2"}, "--tiles splits a still into bands"},
        Row{{"--slurm", "--frames", "1-2", "--resume"}, "--resume goes without --slurm"},
        Row{{"--slurm", "--watch"}, "--slurm writes its pictures to files"}}) {
    std::vector<std::string> args = {"render", "scene.json", "o.png"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    bftest::RunOptions options;
    options.cwd = dir.path().string();
    const bftest::RunResult r = bftest::run_program(kProgram, args, options);
    EXPECT_EQ(r.status, 2) << row.said;
    EXPECT_NE(r.err.find(row.said), std::string::npos) << r.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1) << row.said;
  }
}

TEST(FarmPlan, BandsAreWholeBlocksOfRows) {
  struct Row {
    int height, tiles;
    std::vector<std::pair<int, int>> bands;
  };
  for (const Row &row :
       {Row{96, 3, {{1, 32}, {33, 64}, {65, 96}}}, Row{100, 3, {{1, 64}, {65, 96}, {97, 100}}},
        Row{48, 3, {{1, 32}, {33, 48}}}, Row{480, 4, {{1, 128}, {129, 256}, {257, 384}, {385, 480}}},
        Row{20, 1, {{1, 20}}}}) {
    std::vector<std::pair<int, int>> bands;
    for (const bf::FarmTask &task : bf::plan_bands(row.height, row.tiles))
      bands.emplace_back(task.first_row, task.last_row);
    EXPECT_EQ(bands, row.bands) << row.height << " rows, " << row.tiles << " tiles";
  }
  EXPECT_EQ(bf::array_ranges({0, 1, 2, 5, 7, 8}), "0-2,5,7-8");
  EXPECT_EQ(bf::frame_picture("/a/out.png", 7), "/a/out_0007.png");
  EXPECT_EQ(bf::frame_picture("/a/f%04d.tga", 12), "/a/f0012.tga");
}

} // namespace
