#!/usr/bin/env bash
# run-fuzz.sh TARGET SECONDS SEED-DIR: runs one fuzz target for SECONDS on its
# seeds. New inputs go to a work folder beside the seeds, findings (crash-*,
# leak-*, timeout-*) to build/…/fuzz-findings; the exit code is the target's.
set -uo pipefail
target=$1 seconds=$2 seeds=$3
name=$(basename "$seeds")
work=$(dirname "$seeds")/../corpus-work/$name
findings=$(dirname "$seeds")/../fuzz-findings
mkdir -p "$work" "$findings"
# The targets write temporary settings files; keep them out of the way.
exec "$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3072 -print_final_stats=1 \
  -artifact_prefix="$findings/$name-" "$work" "$seeds"
