#!/bin/bash
# Long fuzzing runs with a kept corpus: every libFuzzer target for SECONDS (default 600) each,
# from its seeds and the corpus kept in build/fuzz-corpus/<target> by earlier runs. Prints each
# target's final statistics; a crash leaves its input in build/fuzz-corpus/<target>/ and makes
# the script fail.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# With FUZZ_RUNS=N in the environment each target stops after N inputs instead (no time limit).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-600}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(pipeline_fuzz serial_fuzz replay_input_fuzz profile_fuzz)

scripts/bootstrap.sh >/dev/null
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
status=0
for target in "${targets[@]}"; do
  corpus=$root/build/fuzz-corpus/$target
  mkdir -p "$corpus"
  limit=(-max_total_time="$seconds")
  [[ -n ${FUZZ_RUNS:-} ]] && limit=(-runs="$FUZZ_RUNS")
  echo "== $target: ${limit[*]}, corpus $corpus ($(find "$corpus" -type f | wc -l) inputs)"
  seeds=("$root/build/fuzz/fuzz/seeds/$target")
  [[ -d $root/fuzz/seeds/$target ]] && seeds+=("$root/fuzz/seeds/$target")
  if ! ASAN_OPTIONS=detect_leaks=1 "$root/build/fuzz/fuzz/$target" "${limit[@]}" \
      -timeout=10 -rss_limit_mb=2048 -max_len=4096 -dict="$root/fuzz/dict/$target.dict" \
      -print_final_stats=1 -print_pcs=0 -artifact_prefix="$corpus/" "$corpus" "${seeds[@]}" \
      >"$corpus.log" 2>&1; then
    echo "   FAILED, see $corpus.log"
    status=1
  fi
  grep -E '^#[0-9]+\s+DONE|stat::number_of_executed_units|stat::average_exec_per_sec' \
    "$corpus.log" | sed 's/^/   /'
done
exit $status
