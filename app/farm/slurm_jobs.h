// What brightfold asks of Slurm: submitting a job array, the tasks still in
// the queue, how a task ended, cancelling. Slurm's own commands do it
// (sbatch, squeue, sacct, scancel, found on the PATH), so a cluster is used
// as its users use it; $SLURM_CONF names another cluster's configuration.
#pragma once

#include "app/farm/farm_job.h"

#include <map>
#include <string>
#include <vector>

namespace bf {

// The task indices as sbatch --array takes them: {0, 1, 2, 5} gives "0-2,5".
std::string array_ranges(const std::vector<int> &indices);

// Submits the job's tasks `indices` as one job array (the batch script in
// the job folder, run there); the job id, or "" with `error`.
std::string submit_tasks(const FarmJob &job, const std::vector<int> &indices, std::string &error);

// The job's array tasks still in the queue (pending, running, completing),
// with squeue's state code; kAnyTask when squeue shows some tasks as one
// line (pending ones, as "12_[4-9]"), which may be any. False with `error` when squeue cannot answer; a
// job that Slurm has already forgotten has none.
constexpr int kAnyTask = -1;
bool queued_tasks(const std::string &job_id, std::map<int, std::string> &tasks, std::string &error);

// How a task that left the queue ended, as sacct names it (CANCELLED,
// TIMEOUT, NODE_FAIL...); "" when the cluster keeps no accounting.
std::string ended_state(const std::string &job_id, int index);

// Asks Slurm to cancel the job; "" when it did, else why not.
std::string cancel_job(const std::string &job_id);

// Whether sbatch can be run at all.
bool slurm_installed();

} // namespace bf
