#!/bin/bash
# The project's test command: bootstrap, configure and build every preset, run every test
# (native, native under ASan+UBSan, the Windows tests under Wine, and a short bounded run of
# every fuzzer), then print a summary.
# Logs of each step go to build/logs/.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
logs=$root/build/logs
mkdir -p "$logs"

passed=0
failed=0
summary=()
status=0
start_all=$SECONDS

step() {  # step NAME LOG COMMAND... : runs one step, shows its time, shows the log tail on failure
  local name=$1 log=$2
  shift 2
  local start=$SECONDS
  printf '%-34s' "$name"
  if "$@" >"$log" 2>&1; then
    printf 'ok      (%ds)\n' $((SECONDS - start))
    return 0
  fi
  printf 'FAILED  (%ds), log: %s\n' $((SECONDS - start)) "${log#"$root"/}"
  tail -25 "$log" | sed 's/^/    | /'
  status=1
  return 1
}

run_tests() {  # run_tests PRESET : ctest for one preset, counted into the totals
  local preset=$1 log=$logs/test-$1.log
  step "test $preset" "$log" ctest --preset "$preset" --no-tests=error
  local line
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

build_and_test() {  # build_and_test PRESET
  local preset=$1
  step "configure $preset" "$logs/configure-$preset.log" cmake --preset "$preset" || return
  step "build $preset" "$logs/build-$preset.log" cmake --build --preset "$preset" || return
  run_tests "$preset"
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
build_and_test host
build_and_test host-asan
build_and_test win64
build_and_test fuzz
# Whatever happened above, leave no Wine process behind.
tests/wine/world.sh down "$root/build/win64/wineprefix" >/dev/null 2>&1

echo
echo "Summary ($((SECONDS - start_all))s):"
printf '  %s\n' "${summary[@]}"
echo "total: $passed passed, $failed failed"
if ((failed != 0)); then status=1; fi
exit $status
