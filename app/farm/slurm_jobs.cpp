// sbatch, squeue, sacct and scancel, each run under a time limit.
#include "app/farm/slurm_jobs.h"
#include "app/farm/command_run.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace bf {

namespace {

constexpr double kCommandSeconds = 60; // a busy controller can be slow to answer

std::string first_line(const std::string &text) {
  const std::string line = text.substr(0, text.find('\n'));
  return line.empty() ? text : line;
}

std::string failure(const CommandResult &run, const char *what) {
  if (!run.error.empty())
    return run.error;
  const std::string said = first_line(run.err.empty() ? run.out : run.err);
  return std::string(what) + " failed (exit status " + std::to_string(run.status) + ")" +
         (said.empty() ? "" : ": " + said);
}

bool all_digits(const std::string &text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

std::string array_ranges(const std::vector<int> &indices) {
  std::string ranges;
  for (size_t i = 0; i < indices.size();) {
    size_t j = i;
    while (j + 1 < indices.size() && indices[j + 1] == indices[j] + 1)
      ++j;
    ranges += (ranges.empty() ? "" : ",") + std::to_string(indices[i]);
    if (j > i)
      ranges += "-" + std::to_string(indices[j]);
    i = j + 1;
  }
  return ranges;
}

std::string submit_tasks(const FarmJob &job, const std::vector<int> &indices, std::string &error) {
  namespace fs = std::filesystem;
  std::vector<std::string> argv = {"sbatch", "--parsable", "--job-name=brightfold",
                                   "--array=" + array_ranges(indices), "--chdir=" + job.folder,
                                   // The script writes its own log: Slurm would read a % in the folder's
                                   // name as one of its patterns.
                                   "--output=/dev/null", "--ntasks=1"};
  if (!job.partition.empty())
    argv.push_back("--partition=" + job.partition);
  argv.push_back((fs::path(job.folder) / kBatchScript).string());
  const CommandResult run = run_command(argv, kCommandSeconds);
  // "ID" or "ID;CLUSTER"
  const std::string id = first_line(run.out).substr(0, run.out.find(';'));
  if (run.ok() && all_digits(id))
    return id;
  error = run.ok() ? "sbatch answered no job id: " + first_line(run.out) : failure(run, "sbatch");
  return "";
}

bool queued_tasks(const std::string &job_id, std::map<int, std::string> &tasks, std::string &error) {
  tasks.clear();
  const CommandResult run =
      run_command({"squeue", "--noheader", "--array", "--jobs=" + job_id, "--format=%i %t"}, kCommandSeconds);
  if (!run.ok()) {
    if (run.started && run.err.find("Invalid job id") != std::string::npos)
      return true; // gone from the controller's memory: nothing is queued
    error = failure(run, "squeue");
    return false;
  }
  std::istringstream lines(run.out);
  std::string id, state;
  const std::string prefix = job_id + "_";
  while (lines >> id >> state) {
    // "12_3"
    if (id.compare(0, prefix.size(), prefix) != 0)
      continue;
    const std::string rest = id.substr(prefix.size());
    // Tasks not yet split off may show as "12_[4-9]": kAnyTask stands for them.
    tasks[all_digits(rest) ? std::atoi(rest.c_str()) : kAnyTask] = state;
  }
  return true;
}

std::string ended_state(const std::string &job_id, int index) {
  const CommandResult run = run_command({"sacct", "--noheader", "--parsable2", "--format=State", "--jobs",
                                         job_id + "_" + std::to_string(index)},
                                        kCommandSeconds);
  return run.ok() ? first_line(run.out) : "";
}

std::string cancel_job(const std::string &job_id) {
  const CommandResult run = run_command({"scancel", job_id}, kCommandSeconds);
  return run.ok() ? "" : failure(run, "scancel");
}

bool slurm_installed() { return run_command({"sbatch", "--version"}, kCommandSeconds).ok(); }

} // namespace bf
