// Waiting for a job's tasks, with progress, and telling how each ended.
#pragma once

#include "app/farm/farm_job.h"

#include <string>

namespace bf {

// Waits until every task of the job has ended: its status file is there,
// or it has left Slurm's queue without one (cancelled, killed, its node
// lost). Progress on standard error. False when Ctrl-C (or SIGTERM)
// stopped the wait, or `error` when squeue cannot be asked.
bool wait_for_tasks(const FarmJob &job, std::string &error);

// How the task ended: "" when its picture is there and POV-Ray said it
// succeeded, else why not (POV-Ray's exit status and its last words, or
// the state Slurm gave it).
std::string task_failure(const FarmJob &job, int index);

// Removes what a task left (picture, status), so that it can run again.
void clear_task(const FarmJob &job, int index);

} // namespace bf
