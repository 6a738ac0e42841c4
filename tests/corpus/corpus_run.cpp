// Runs every model file of a corpus (Debian's assimp-testmodels by default)
// through `brightfold save`, and optionally `brightfold render`, one process
// per file under a time and address-space limit. Each file must be saved
// or refused with one clear message; a crash, a hang, a peak resident size
// over 1 GiB or output that is not brightfold's own fails the run. Prints
// one line per format and a total; the per-file outcomes go to a log.
//
// --render N also renders every Nth file that saves (a small picture, to
// check that POV-Ray reads what was written).
//
//   corpus_run [--render N] [--log FILE] [--timeout S] [DIR]
#include "oku/assimp_mesh.h"
#include "tests/support/files.h"
#include "tests/support/run.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr long kMaxResidentKiB = 1024L * 1024; // 1 GiB
constexpr long kAddressLimitMiB = 3L << 10;    // a runaway stops here
const std::string kProgram = BF_BINARY_DIR "/bin/brightfold";

enum class Outcome { Saved, Rendered, Refused, Crash, Hang, Memory, Noise };
const char *const kOutcomeNames[] = {"saved", "rendered", "refused", "CRASH", "HANG", "MEMORY", "NOISE"};

struct Run {
  int status = 0; // exit code, or -signal
  bool timed_out = false;
  long max_rss_kib = 0;
  std::string out, err;
};

// Runs brightfold with `args` in `dir`, killed after `timeout` seconds.
Run run(const std::vector<std::string> &args, const fs::path &dir, int timeout) {
  const fs::path out = dir / "stdout", err = dir / "stderr";
  bftest::RunOptions options;
  options.cwd = dir.string();
  options.time_limit = 0; // the wait below stops the whole group
  options.address_limit_mb = kAddressLimitMiB;
  options.own_group = true;
  if (getenv("BRIGHTFOLD_REGISTRY") == nullptr)
    options.env.push_back("BRIGHTFOLD_REGISTRY=" BF_BINARY_DIR "/etc/registry.reg");
  const pid_t pid = bftest::start_program(kProgram, args, options, out.string(), err.string());
  Run result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout);
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, WNOHANG, &usage) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      result.timed_out = true;
      kill(-pid, SIGKILL);
      wait4(pid, &status, 0, &usage);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  result.max_rss_kib = usage.ru_maxrss;
  result.out = bftest::read_file(out);
  result.err = bftest::read_file(err);
  return result;
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

std::string json_string(const std::string &s) {
  std::string out = "\"";
  for (char c : s)
    out += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
  return out + "\"";
}

// A scene that frames nothing in particular: the corpus checks loading and
// writing, not the view.
std::string scene_for(const fs::path &model) {
  return R"({"root": {"children": [)"
         R"({"type": "camera", "name": "c", "position": [0, 2, -10], "look_at": [0, 0, 0]},)"
         R"({"type": "light", "name": "l", "kind": "point", "position": [5, 10, -10]},)"
         R"({"type": "object", "name": "m", "geometry": {"part": )" +
         json_string(model.string()) + "}}]}, \"viewpoint\": \"c\"}";
}

// Every line on standard error is brightfold's own (or, for a render, the
// renderer's progress), and standard output is empty: a library printing on
// its own fails the file.
bool quiet_but_brightfold(const Run &r) {
  if (!r.out.empty())
    return false;
  std::string err = r.err;
  std::replace(err.begin(), err.end(), '\r', '\n');
  std::istringstream lines(err);
  std::string line;
  while (std::getline(lines, line))
    if (!line.empty() && line.rfind("brightfold: ", 0) != 0 && line.rfind("POV-Ray: ", 0) != 0)
      return false;
  return true;
}

// What the run said, on one line, without the renderer's progress.
std::string messages(const Run &r) {
  std::string err = r.out + r.err, said;
  std::replace(err.begin(), err.end(), '\r', '\n');
  std::istringstream lines(err);
  std::string line;
  while (std::getline(lines, line))
    if (!line.empty() && line.rfind("POV-Ray: ", 0) != 0 && line.find(": rendered ") == std::string::npos)
      said += (said.empty() ? "" : " | ") + line.substr(0, 300);
  return said;
}

Outcome judge(const Run &r, bool rendered) {
  if (r.timed_out)
    return Outcome::Hang;
  if (r.status < 0)
    return Outcome::Crash;
  if (r.max_rss_kib > kMaxResidentKiB)
    return Outcome::Memory;
  if (!quiet_but_brightfold(r))
    return Outcome::Noise;
  if (r.status == 0)
    return rendered ? Outcome::Rendered : Outcome::Saved;
  // A refusal is one line naming the part file and saying why.
  const bool one_line = std::count(r.err.begin(), r.err.end(), '\n') == 1;
  return r.status == 2 && one_line && r.err.find("cannot load") != std::string::npos ? Outcome::Refused
                                                                                     : Outcome::Noise;
}

struct Tally {
  int counts[7] = {};
  int files = 0;
};

} // namespace

int main(int argc, char **argv) {
  fs::path corpus = "/usr/share/assimp/models";
  std::string log_path = "corpus.log";
  int render_every = 0;
  int timeout = 30;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--render" && i + 1 < argc)
      render_every = std::stoi(argv[++i]);
    else if (a == "--log" && i + 1 < argc)
      log_path = argv[++i];
    else if (a == "--timeout" && i + 1 < argc)
      timeout = std::stoi(argv[++i]);
    else
      corpus = a;
  }
  std::vector<fs::path> models;
  for (const auto &entry : fs::recursive_directory_iterator(corpus))
    if (entry.is_regular_file() &&
        oku::part_type_supported(
            lower(entry.path().extension().string()).substr(entry.path().extension().empty() ? 0 : 1)))
      models.push_back(entry.path());
  std::sort(models.begin(), models.end());
  const fs::path work = fs::temp_directory_path() / ("corpus_run." + std::to_string(getpid()));
  fs::create_directories(work);
  std::ofstream log(log_path);
  std::map<std::string, Tally> table;
  Tally total;
  int saved = 0;
  const auto start = std::chrono::steady_clock::now();
  for (const fs::path &model : models) {
    std::ofstream(work / "scene.json") << scene_for(model);
    Run r = run({"save", "scene.json", "out.pov"}, work, timeout);
    bool rendered = false;
    if (render_every > 0 && r.status == 0 && !r.timed_out && saved++ % render_every == 0) {
      // POV-Ray may parse a 50 MB mesh for a minute on a busy machine.
      Run p = run({"render", "scene.json", "out.png", "--width", "80", "--height", "60", "--no-antialias"},
                  work, 4 * timeout);
      p.max_rss_kib = std::max(p.max_rss_kib, r.max_rss_kib);
      p.err = r.err + p.err;
      r = p;
      rendered = r.status == 0;
    }
    const Outcome o = judge(r, rendered);
    const std::string format = fs::relative(model, corpus).begin()->string();
    ++table[format].counts[static_cast<int>(o)];
    ++table[format].files;
    ++total.counts[static_cast<int>(o)];
    ++total.files;
    log << kOutcomeNames[static_cast<int>(o)] << "\t" << r.max_rss_kib / 1024 << " MiB\t"
        << fs::relative(model, corpus).string() << "\t" << messages(r) << "\n";
    fs::remove_all(work);
    fs::create_directories(work);
  }
  fs::remove_all(work);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("| %-12s | %5s | %5s | %8s | %7s | %5s | %4s | %6s | %5s |\n", "format", "files", "saved",
              "rendered", "refused", "crash", "hang", "memory", "noise");
  std::printf("|--------------|-------|-------|----------|---------|-------|------|--------|-------|\n");
  auto row = [](const std::string &name, const Tally &t) {
    std::printf("| %-12s | %5d | %5d | %8d | %7d | %5d | %4d | %6d | %5d |\n", name.c_str(), t.files,
                t.counts[0] + t.counts[1], t.counts[1], t.counts[2], t.counts[3], t.counts[4], t.counts[5],
                t.counts[6]);
  };
  for (const auto &[name, t] : table)
    row(name, t);
  row("total", total);
  std::printf("%d files in %.0f s; per-file outcomes in %s\n", total.files, seconds, log_path.c_str());
  const int failures = total.counts[3] + total.counts[4] + total.counts[5] + total.counts[6];
  return failures == 0 ? 0 : 1;
}
