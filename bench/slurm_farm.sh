#!/usr/bin/env bash
# render --slurm against the one-node cluster of scripts/slurm-local (started
# here when it is not running, and stopped again at the end):
#   1. Slurm's overhead per task: 8 tiny frames (16 x 12), 2 at a time; a
#      povray and an sbatch on the PATH that only note the time and run the
#      real ones give submit-to-start (sbatch called to the first task's
#      start), the gap between a task's end and the next task's start, and
#      end-to-collect (the last task's end to brightfold's exit).
#   2. Frames per minute of 24 frames of the demo scene at 640 x 480: one
#      machine (brightfold render once per frame, in a loop) against
#      --slurm --frames 1-24 (2 tasks at a time on this machine's 2 CPUs).
# Usage: bench/slurm_farm.sh [BUILD_DIR] [FRAMES]   (default build, 24)
# (make bench-slurm runs it on build/.)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
frames=${2:-24}
program="$build/bin/brightfold"
export BRIGHTFOLD_REGISTRY="$build/etc/registry.reg"
[ -x "$program" ] || { echo "slurm_farm: build first ($program is missing)" >&2; exit 1; }
command -v sbatch >/dev/null || { echo "slurm_farm: Slurm is not installed (scripts/bootstrap)" >&2; exit 1; }

started_here=false
if ! "$root/scripts/slurm-local" status >/dev/null 2>&1; then
  "$root/scripts/slurm-local" start >/dev/null
  started_here=true
fi
export SLURM_CONF=${BRIGHTFOLD_SLURM_DIR:-/var/tmp/brightfold-slurm}/slurm.conf
work=$(mktemp -d /var/tmp/brightfold-bench-XXXXXX)
cleanup() {
  rm -rf "$work"
  if $started_here; then "$root/scripts/slurm-local" stop >/dev/null; fi
}
trap cleanup EXIT

now() { date +%s.%N; }

# 1. Overhead per task.
mkdir -p "$work/bin" "$work/times"
cat >"$work/bin/povray" <<EOF
#!/bin/sh
echo "start \$(date +%s.%N)" >> "$work/times/task_\$SLURM_ARRAY_TASK_ID"
$(command -v povray) "\$@"
s=\$?
echo "end \$(date +%s.%N)" >> "$work/times/task_\$SLURM_ARRAY_TASK_ID"
exit \$s
EOF
cat >"$work/bin/sbatch" <<EOF
#!/bin/sh
echo "\$(date +%s.%N)" >> "$work/times/sbatch"
exec $(command -v sbatch) "\$@"
EOF
chmod +x "$work/bin/povray" "$work/bin/sbatch"
PATH="$work/bin:$PATH" "$program" -q render "$root/examples/basic/scene.json" "$work/tiny.png" \
  --width 16 --height 12 --slurm --frames 1-8
done_at=$(now)
python3 - "$work/times" "$done_at" <<'EOF'
import glob, os, sys
times, done = sys.argv[1], float(sys.argv[2])
submit = float(open(os.path.join(times, "sbatch")).read().split()[0])
tasks = []
for path in glob.glob(os.path.join(times, "task_*")):
    marks = dict(line.split() for line in open(path))
    tasks.append((float(marks["start"]), float(marks["end"])))
tasks.sort()
first_wave = tasks[:2]
ends = sorted(end for _, end in tasks)
gaps = []
for start, _ in tasks[2:]:  # each later task starts on a CPU that a task freed
    freed = max(e for e in ends if e <= start) if any(e <= start for e in ends) else start
    gaps.append(start - freed)
render = sum(end - start for start, end in tasks) / len(tasks)
print("Slurm overhead per task (8 tasks of 16 x 12, 2 at a time):")
print("  submit to start (first two):  %.3f s" % (sum(s for s, _ in first_wave) / 2 - submit))
print("  end to next start (mean):     %.3f s" % (sum(gaps) / max(1, len(gaps))))
print("  last end to collected:        %.3f s" % (done - ends[-1]))
print("  POV-Ray per task (mean):      %.3f s" % render)
EOF

# 2. Frames per minute.
demo="$root/examples/demo/scene.json"
t0=$(now)
for i in $(seq 1 "$frames"); do
  "$program" -q render "$demo" "$work/local_$(printf %04d "$i").png"
done
t1=$(now)
"$program" -q render "$demo" "$work/farm.png" --slurm --frames "1-$frames"
t2=$(now)
python3 - "$frames" "$t0" "$t1" "$t2" <<'EOF'
import sys
n, t0, t1, t2 = int(sys.argv[1]), *map(float, sys.argv[2:])
print("%d frames of the demo scene at 640 x 480:" % n)
print("  one machine, a render per frame: %6.1f s  %5.1f frames/min" % (t1 - t0, 60 * n / (t1 - t0)))
print("  --slurm, 2 tasks at a time:      %6.1f s  %5.1f frames/min" % (t2 - t1, 60 * n / (t2 - t1)))
EOF
# Every frame is the same scene: each picture should be byte for byte the
# first local one (POV-Ray under heavy load on its threads is the only
# other source of a difference, which the local frames among themselves show).
local_odd=0 farm_odd=0
for i in $(seq 1 "$frames"); do
  n=$(printf %04d "$i")
  cmp -s "$work/local_0001.png" "$work/local_$n.png" || local_odd=$((local_odd + 1))
  cmp -s "$work/local_0001.png" "$work/farm_$n.png" || farm_odd=$((farm_odd + 1))
done
echo "pictures unlike local frame 1: $local_odd of $frames local, $farm_odd of $frames from Slurm"
[ "$farm_odd" -eq 0 ] || [ "$local_odd" -gt 0 ] || exit 1
