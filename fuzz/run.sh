#!/usr/bin/env bash
# Runs every fuzz target (or the ones named) for SECONDS each, one after another, and
# reports executions and coverage per target. Each target's corpus grows in WORK/<target>
# (seeded from fuzz/corpus, which is only read); anything it finds lands in WORK as
# <target>-crash-*, -leak-*, -timeout-* or -oom-*, and makes the script fail.
#   fuzz/run.sh BUILD_DIR SECONDS WORK [target...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1 seconds=$2 work=$3
shift 3
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(application_read profile_read profile_report differential)

seeds_of() {
  case $1 in
    application_read) echo "$root/fuzz/corpus/application" ;;
    profile_read) echo "$root/fuzz/corpus/profile" ;;
    profile_report) echo "$root/fuzz/corpus/profile_report" ;;
    differential) echo "$root/fuzz/corpus/application $root/fuzz/corpus/profile" ;;
    *) echo "unknown fuzz target $1" >&2; return 1 ;;
  esac
}

mkdir -p "$work"
failed=0
for target in "${targets[@]}"; do
  seeds=$(seeds_of "$target")
  mkdir -p "$work/$target"
  log="$work/$target.log"
  # Leaks, hangs and runaway memory all count as findings. One input may take 60 s of
  # wall time before it counts as a hang: on a busy machine a fast input can wait
  # seconds for a core.
  status=0
  # shellcheck disable=SC2086
  "$build/fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/$target-" "$work/$target" $seeds \
    >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
  corpus=$(find "$work/$target" -type f | wc -l)
  echo "$target: ${runs:-?} executions in ${took:-?} s, ${cov:-no coverage line}, corpus $corpus"
  if [ "$status" -ne 0 ]; then
    echo "$target: FAILED (exit $status), see $log" >&2
    grep -E 'ERROR|runtime error|fuzz check failed' "$log" | head -5 >&2 || true
    failed=1
  fi
done
exit $failed
