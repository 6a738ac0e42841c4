// brightfold collect JOBDIR: finishes a job that render --slurm --no-wait
// submitted, waiting for it while it runs.
#include "app/farm/farm_run.h"

#include "app/scene/json_value.h"

namespace bf {

int run_collect(const Args &args) {
  ParsedArgs parsed;
  int code = kExitOk;
  if (!parse_args(args, {}, {}, parsed, code))
    return code;
  if (parsed.operands.size() != 1)
    return usage_error("collect needs the job folder that render --slurm --no-wait printed");
  FarmJob job;
  if (const std::string why = read_manifest(parsed.operands[0], job); !why.empty()) {
    report(why);
    return kExitUsage;
  }
  return finish_job(job, false);
}

} // namespace bf
