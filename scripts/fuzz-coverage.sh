#!/bin/bash
# Source-based coverage of the portable core reached by each fuzzer's corpus: builds the fuzz
# targets with clang's -fprofile-instr-generate -fcoverage-mapping (build/coverage), runs every
# input of each corpus once (the seeds and build/fuzz-corpus/<target> of scripts/fuzz.sh), and
# prints llvm-cov's line and branch coverage per core file, for each fuzzer and for all of them.
#   scripts/fuzz-coverage.sh [OUT_DIR]      (default build/coverage/report)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=${1:-$root/build/coverage/report}
build=$root/build/coverage
targets=(pipeline_fuzz serial_fuzz replay_input_fuzz profile_fuzz)
core=(common usbsvc serialsvc)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Debug \
  -DZORVIK_FUZZ=ON -DCMAKE_CXX_FLAGS="-fprofile-instr-generate -fcoverage-mapping" \
  -DCMAKE_EXE_LINKER_FLAGS="-fprofile-instr-generate" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}" fuzz_seeds >/dev/null
mkdir -p "$out"
rm -f "$out"/*.profraw "$out"/*.profdata

# The core's portable sources (the Win32 adapters are not fuzzed).
sources=()
for folder in "${core[@]}"; do
  while IFS= read -r file; do sources+=("$file"); done \
    < <(find "$root/$folder" -maxdepth 1 -name '*.cpp' | sort)
done

objects=()
for target in "${targets[@]}"; do
  corpora=("$build/fuzz/seeds/$target")
  [[ -d $root/fuzz/seeds/$target ]] && corpora+=("$root/fuzz/seeds/$target")
  [[ -d $root/build/fuzz-corpus/$target ]] && corpora+=("$root/build/fuzz-corpus/$target")
  echo "== $target: $(find "${corpora[@]}" -type f | wc -l) inputs" >&2
  LLVM_PROFILE_FILE="$out/$target.profraw" "$build/fuzz/$target" -runs=0 "${corpora[@]}" \
    >"$out/$target.log" 2>&1
  llvm-profdata merge -sparse "$out/$target.profraw" -o "$out/$target.profdata"
  echo "## $target"
  llvm-cov report "$build/fuzz/$target" -instr-profile="$out/$target.profdata" "${sources[@]}" \
    | sed "s|$root/||"
  objects+=(-object "$build/fuzz/$target")
done
llvm-profdata merge -sparse "$out"/*.profraw -o "$out/all.profdata"
echo "## all fuzzers"
llvm-cov report "${objects[@]:1}" -instr-profile="$out/all.profdata" "${sources[@]}" \
  | sed "s|$root/||"
llvm-cov show "${objects[@]:1}" -instr-profile="$out/all.profdata" -format=html \
  -output-dir="$out/html" "${sources[@]}" >/dev/null
echo "(line by line: $out/html/index.html)" >&2
