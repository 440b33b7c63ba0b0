#!/bin/bash
# Runs one libFuzzer target for a bounded time from its seed folders, with its dictionary.
#   run-fuzzer.sh FUZZER WORK_CORPUS SECONDS DICTIONARY SEEDS...
set -euo pipefail
fuzzer=$1 work=$2 seconds=$3 dictionary=$4
shift 4
mkdir -p "$work"
seeds=()
for folder in "$@"; do
  [[ -d $folder ]] && seeds+=("$folder")
done
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -dict="$dictionary" -print_final_stats=1 -artifact_prefix="$work/" "$work" "${seeds[@]}"
