// What the benchmark programs share: running one measurement in a child
// process of its own (so that its peak memory is its own), the two
// reference writers (plain fwrite of the same bytes, plain printf of the same
// text) and the table they print.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

// What one measurement in a child reports back.
struct Sample {
  double seconds = 0;
  long peak_kib = 0;  // ru_maxrss of the child
  long extra_kib = 0; // peak during the timed part above what was resident before it
  long input_kib = 0; // what building the input added to the process
  double bytes = 0;   // bytes written
  int ok = 0;
};

// A new scratch directory for a program's files: under BENCH_DIR when set;
// else, for programs that write many small files and ask for memory, under
// /dev/shm (on a disk file system, creating files where many were deleted a
// moment ago, or writing over files just written, costs the file system's
// bookkeeping far more than the writing, and varies from run to run); else
// under TMPDIR or /tmp (a disk-backed /tmp measures the page cache, as a
// user's save would). Empty when it cannot be made.
inline std::string make_scratch_dir(const char *program, bool prefer_memory = false) {
  const char *root = getenv("BENCH_DIR");
  if ((!root || !*root) && prefer_memory && access("/dev/shm", W_OK) == 0)
    root = "/dev/shm";
  if (!root || !*root)
    root = getenv("TMPDIR");
  std::string pattern = std::string(root && *root ? root : "/tmp") + "/" + program + "_XXXXXX";
  if (!mkdtemp(&pattern[0]))
    return std::string();
  printf("(files in %s)\n", pattern.c_str());
  return pattern;
}

inline double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"); 0 when unknown.
inline long status_kib(const char *field) {
  FILE *status = fopen("/proc/self/status", "r");
  if (!status)
    return 0;
  char line[256];
  long value = 0;
  size_t length = strlen(field);
  while (fgets(line, sizeof line, status))
    if (!strncmp(line, field, length) && line[length] == ':')
      value = atol(line + length + 1);
  fclose(status);
  return value;
}

// Starts the peak (VmHWM) over at the current size, so that the peak of the
// timed part can be told from the building of its input.
inline bool reset_peak() {
  FILE *clear = fopen("/proc/self/clear_refs", "w");
  if (!clear)
    return false;
  bool ok = fputs("5", clear) >= 0;
  return fclose(clear) == 0 && ok;
}

inline long max_rss_kib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Times work() in a child process: build() makes the input first (not
// timed). work() answers the bytes it wrote, or a negative number on failure.
inline Sample measure(const std::function<void()> &build, const std::function<double()> &work) {
  int channel[2];
  if (pipe(channel) != 0)
    return Sample{};
  fflush(stdout);
  pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    Sample s;
    long before = status_kib("VmRSS");
    build();
    long resident = status_kib("VmRSS");
    s.input_kib = resident - before;
    bool peak_reset = reset_peak();
    auto start = std::chrono::steady_clock::now();
    s.bytes = work();
    s.seconds = seconds_since(start);
    s.extra_kib = peak_reset ? status_kib("VmHWM") - resident : -1;
    s.peak_kib = max_rss_kib();
    s.ok = s.bytes >= 0;
    ssize_t sent = write(channel[1], &s, sizeof s);
    _exit(sent == static_cast<ssize_t>(sizeof s) && s.ok ? 0 : 1);
  }
  close(channel[1]);
  Sample s;
  ssize_t got = child > 0 ? read(channel[0], &s, sizeof s) : -1;
  close(channel[0]);
  int status = 0;
  if (child > 0)
    waitpid(child, &status, 0);
  if (got != static_cast<ssize_t>(sizeof s) || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    s.ok = 0;
  return s;
}

inline std::string read_file(const std::string &path) {
  std::string text;
  FILE *file = fopen(path.c_str(), "rb");
  if (!file)
    return text;
  struct stat info {};
  if (fstat(fileno(file), &info) == 0)
    text.resize(static_cast<size_t>(info.st_size));
  size_t got = text.empty() ? 0 : fread(&text[0], 1, text.size(), file);
  text.resize(got);
  fclose(file);
  return text;
}

inline double file_size(const std::string &path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? double(info.st_size) : -1;
}

// The floor: the same bytes written with plain fwrite, a mebibyte at a time,
// into files of their own (one per file the measured writer wrote).
struct FwriteFloor {
  std::vector<std::string> texts;
  std::vector<std::string> paths; // where to write them

  static std::string output_path(const std::string &scratch_dir, size_t i) {
    return scratch_dir + "/floor_" + std::to_string(i);
  }
  void load(const std::vector<std::string> &from, const std::string &scratch_dir) {
    for (size_t i = 0; i < from.size(); ++i) {
      texts.push_back(read_file(from[i]));
      paths.push_back(output_path(scratch_dir, i));
    }
  }
  double write() const {
    double bytes = 0;
    for (size_t i = 0; i < texts.size(); ++i) {
      FILE *file = fopen(paths[i].c_str(), "w");
      if (!file)
        return -1;
      const std::string &text = texts[i];
      for (size_t at = 0; at < text.size(); at += 1 << 20)
        fwrite(text.data() + at, 1, std::min<size_t>(1 << 20, text.size() - at), file);
      if (fclose(file) != 0)
        return -1;
      bytes += double(text.size());
    }
    return bytes;
  }
  static void remove_output(const std::string &scratch_dir, size_t count) {
    for (size_t i = 0; i < count; ++i)
      unlink(output_path(scratch_dir, i).c_str());
  }
};

struct Stats {
  double min = 0, median = 0, max = 0;
};

inline Stats stats(std::vector<double> values) {
  Stats s;
  if (values.empty())
    return s;
  std::sort(values.begin(), values.end());
  s.min = values.front();
  s.max = values.back();
  size_t n = values.size();
  s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  return s;
}

// How many times each measurement runs: BENCH_RUNS, 5 by default; the
// printf baseline (the slowest by far) at most 3 times.
inline int runs() {
  const char *text = getenv("BENCH_RUNS");
  int n = text ? atoi(text) : 5;
  return n > 0 ? n : 5;
}
inline int baseline_runs() { return std::min(runs(), 3); }

// One row of the table: the case, its rate, its memory, and the two
// reference writers as ratios of medians.
struct Row {
  std::string name;
  double items = 0;
  const char *unit = "";
  std::vector<double> times, floor_times, printf_times;
  long peak_kib = 0, extra_kib = 0, input_kib = 0;
  double bytes = 0;
  bool ok = true;

  void add(const Sample &s) {
    ok = ok && s.ok;
    times.push_back(s.seconds);
    peak_kib = std::max(peak_kib, s.peak_kib);
    extra_kib = std::max(extra_kib, s.extra_kib);
    input_kib = std::max(input_kib, s.input_kib);
    bytes = s.bytes;
  }
};

inline void print_header() {
  printf("%-34s %10s %5s %7s %7s %7s %10s %7s %6s %6s %6s %8s %6s %8s %7s\n", "case", "items", "unit",
         "min s", "med s", "max s", "items/s", "MB out", "input", "peak", "+MiB", "fwrite s", "xfloor",
         "printf s", "xfaster");
}

inline std::string rate_text(double per_second) {
  char text[32];
  if (per_second >= 1e6)
    snprintf(text, sizeof text, "%.2fM", per_second / 1e6);
  else
    snprintf(text, sizeof text, "%.0f", per_second);
  return text;
}

inline void print_row(const Row &row) {
  Stats t = stats(row.times);
  Stats f = stats(row.floor_times);
  Stats p = stats(row.printf_times);
  char floor_text[16] = "-", floor_ratio[16] = "-", printf_text[16] = "-", printf_ratio[16] = "-";
  if (!row.floor_times.empty()) {
    snprintf(floor_text, sizeof floor_text, "%.3f", f.median);
    snprintf(floor_ratio, sizeof floor_ratio, "%.1f", t.median / f.median);
  }
  if (!row.printf_times.empty()) {
    snprintf(printf_text, sizeof printf_text, "%.3f", p.median);
    snprintf(printf_ratio, sizeof printf_ratio, "%.1f", p.median / t.median);
  }
  printf("%-34s %10.0f %5s %7.3f %7.3f %7.3f %10s %7.1f %6ld %6ld %6ld %8s %6s %8s %7s%s\n", row.name.c_str(),
         row.items, row.unit, t.min, t.median, t.max, rate_text(row.items / t.median).c_str(),
         row.bytes / 1e6, row.input_kib / 1024, row.peak_kib / 1024, row.extra_kib / 1024, floor_text,
         floor_ratio, printf_text, printf_ratio, row.ok ? "" : "  FAILED");
  fflush(stdout);
}

// The noise of the reference writers: min, median and max of each.
inline void print_reference_noise(const Row &row) {
  Stats f = stats(row.floor_times);
  Stats p = stats(row.printf_times);
  printf("  %-32s fwrite %.3f/%.3f/%.3f s (%zu runs)", row.name.c_str(), f.min, f.median, f.max,
         row.floor_times.size());
  if (!row.printf_times.empty())
    printf("   printf %.3f/%.3f/%.3f s (%zu runs)", p.min, p.median, p.max, row.printf_times.size());
  printf("\n");
}

// "doubling the input at most doubles the time", for three sizes each twice
// the one before: the ratios of the median times, and of the minimum times
// (the least disturbed by other work on the machine), which decide. A
// linear cost gives ratios of 2 give or take the noise, so a ratio up to
// 2.10 is reported as linear within noise.
inline bool check_growth(const char *what, const Row &small, const Row &middle, const Row &large) {
  const double a = stats(middle.times).median / stats(small.times).median;
  const double b = stats(large.times).median / stats(middle.times).median;
  const double a_min = stats(middle.times).min / stats(small.times).min;
  const double b_min = stats(large.times).min / stats(middle.times).min;
  const double worst = std::max(a_min, b_min);
  const char *verdict = worst <= 2.0 ? "met" : worst <= 2.1 ? "met within noise" : "NOT MET";
  printf("growth  %-36s x2 input: median x%.2f then x%.2f, min x%.2f then x%.2f   %s\n", what, a, b, a_min,
         b_min, verdict);
  if (!small.floor_times.empty() && !middle.floor_times.empty() && !large.floor_times.empty())
    printf("        %-36s (its fwrite floor, median: x%.2f then x%.2f)\n", "",
           stats(middle.floor_times).median / stats(small.floor_times).median,
           stats(large.floor_times).median / stats(middle.floor_times).median);
  return worst <= 2.1;
}

} // namespace bench
