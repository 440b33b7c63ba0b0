#!/bin/bash
# The project's test command: bootstrap, configure and build every preset, run every test
# (native, native under ASan+UBSan, the Windows tests under Wine, and a short bounded run of
# every fuzzer), then print a summary: each step's time, the totals and the ten slowest tests.
# The Wine tests run side by side in lanes (tests/wine/world.sh) and, since they mostly wait,
# while the native presets build. The 50-cycle soaks are scripts/soak.sh's, the long fuzzing
# runs scripts/fuzz.sh's.
# Logs of each step go to build/logs/.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
logs=$root/build/logs
mkdir -p "$logs"

passed=0
failed=0
summary=()
times=()
status=0
start_all=$SECONDS

report() {  # report NAME LOG SECONDS OK : one step's line, the log tail on failure
  local name=$1 log=$2 took=$3 ok=$4
  times+=("$(printf '%-34s %5ds' "$name" "$took")")
  printf '%-34s' "$name"
  if ((ok)); then
    printf 'ok      (%ds)\n' "$took"
    return 0
  fi
  printf 'FAILED  (%ds), log: %s\n' "$took" "${log#"$root"/}"
  tail -25 "$log" | sed 's/^/    | /'
  status=1
  return 1
}

step() {  # step NAME LOG COMMAND... : runs one step, shows its time, shows the log tail on failure
  local name=$1 log=$2
  shift 2
  local start=$SECONDS ok=0
  "$@" >"$log" 2>&1 && ok=1
  report "$name" "$log" $((SECONDS - start)) $ok
}

count_tests() {  # count_tests PRESET LOG : a ctest log's totals into the summary
  local preset=$1 log=$2 line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [[ -n $line ]]; then
    local total bad
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    summary+=("$(printf '%-10s %4d passed, %d failed' "$preset" $((total - bad)) "$bad")")
  else
    failed=$((failed + 1))
    summary+=("$(printf '%-10s no test result (see %s)' "$preset" "${log#"$root"/}")")
  fi
}

run_tests() {  # run_tests PRESET : ctest for one preset, counted into the totals
  local preset=$1 log=$logs/test-$1.log
  step "test $preset" "$log" ctest --preset "$preset" --no-tests=error
  count_tests "$preset" "$log"
}

configure_and_build() {  # configure_and_build PRESET
  local preset=$1
  step "configure $preset" "$logs/configure-$preset.log" cmake --preset "$preset" || return
  step "build $preset" "$logs/build-$preset.log" cmake --build --preset "$preset"
}

build_and_test() {  # build_and_test PRESET
  if configure_and_build "$1"; then
    run_tests "$1"
  else
    summary+=("$(printf '%-10s not run: the build failed' "$1")")
    failed=$((failed + 1))
  fi
}

step "bootstrap" "$logs/bootstrap.log" scripts/bootstrap.sh || exit 1
if step "format (.clang-format)" "$logs/format.log" \
    bash -c 'git ls-files "*.cpp" "*.h" | xargs clang-format --dry-run --Werror'; then
  summary+=("$(printf '%-10s %4d passed, %d failed' format 1 0)")
  passed=$((passed + 1))
else
  summary+=("$(printf '%-10s %4d passed, %d failed' format 0 1)")
  failed=$((failed + 1))
fi

# The Windows build first; its tests, which mostly wait on Wine, then run in the background
# while the native presets build and test. Those that measure rates in real time (label alone)
# run last, when nothing else runs.
win64_pid=
win64_log=$logs/test-win64.log
if configure_and_build win64; then
  win64_start=$SECONDS
  ctest --preset win64 --no-tests=error -LE 'soak|alone' >"$win64_log" 2>&1 &
  win64_pid=$!
  echo "test win64                         (started, in the background)"
else
  summary+=("$(printf '%-10s not run: the build failed' win64)")
  failed=$((failed + 1))
fi
build_and_test host
build_and_test host-asan
build_and_test fuzz
if [[ -n $win64_pid ]]; then
  win64_ok=0
  wait "$win64_pid" && win64_ok=1
  report "test win64" "$win64_log" $((SECONDS - win64_start)) $win64_ok
  count_tests win64 "$win64_log"
  step "test win64 (alone)" "$logs/test-win64-alone.log" \
    ctest --preset win64 --no-tests=ignore -L alone
  count_tests win64-alone "$logs/test-win64-alone.log"
fi
# Whatever happened above, leave no Wine process behind.
tests/wine/world.sh down-all "$root/build/win64" >/dev/null 2>&1

echo
echo "Steps:"
printf '  %s\n' "${times[@]}"
echo "Slowest tests:"
# ctest's result lines: "  12/605 Test  #34: NAME .....   Passed   12.34 sec"
for preset in host host-asan win64 win64-alone fuzz; do
  [[ -f $logs/test-$preset.log ]] || continue
  sed -nE "s/^ *[0-9]+\/[0-9]+ +Test +#[0-9]+: ([^ ]+) .* ([0-9]+\.[0-9]+) sec.*/\2 $preset \1/p" \
    "$logs/test-$preset.log"
done | sort -rn | head -10 | awk '{ printf "  %7.1fs  %-9s %s\n", $1, $2, $3 }'
# The win64 preset runs a failed test once more (Wine's occasional failed launch): name every
# test that needed it, so that a flaky test is seen although the run passed.
for log in "$win64_log" "$logs/test-win64-alone.log"; do
  [[ -f $log ]] || continue
  sed -nE 's/^.*Test +#[0-9]+: ([^ ]+) .*\*\*\*.*/\1/p' "$log" | sort -u | while read -r name; do
    grep -qE "Test +#[0-9]+: $name .* Passed " "$log" && echo "$name"
  done
done >"$logs/retried.txt"
if [[ -s $logs/retried.txt ]]; then
  echo "Passed only when run once more (flaky):"
  sed 's/^/  /' "$logs/retried.txt"
fi
echo "Summary ($((SECONDS - start_all))s):"
printf '  %s\n' "${summary[@]}"
echo "total: $passed passed, $failed failed"
if ((failed != 0)); then status=1; fi
exit $status
