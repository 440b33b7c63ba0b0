#!/bin/bash
# Runs one libFuzzer target for a bounded time from its seed folder.
#   run-fuzzer.sh FUZZER WORK_CORPUS SEEDS SECONDS
set -euo pipefail
fuzzer=$1 work=$2 seeds=$3 seconds=$4
mkdir -p "$work"
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -print_final_stats=1 -artifact_prefix="$work/" "$work" "$seeds"
