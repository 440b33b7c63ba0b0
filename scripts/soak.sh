#!/bin/bash
# The long soaks (label soak): Usblink's fifty plug/unplug cycles with random streams and
# Serlink's fifty rescans with changing controllers, each counting the service's handles,
# descriptors and threads cycle by cycle. The test command runs eight cycles of each.
#   scripts/soak.sh [CYCLES]     (default 50; ZORVIK_SOAK_CYCLES)
# Builds the win64 preset first; the log is build/logs/soak.log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
export ZORVIK_SOAK_CYCLES=${1:-${ZORVIK_SOAK_CYCLES:-50}}
mkdir -p build/logs
scripts/bootstrap.sh >/dev/null
cmake --preset win64 >/dev/null
cmake --build --preset win64 >/dev/null
status=0
ctest --preset win64-soak --output-on-failure --no-tests=error >build/logs/soak.log 2>&1 || status=$?
tests/wine/world.sh down-all "$root/build/win64" >/dev/null 2>&1 || true
grep -E '^ *[0-9]+/[0-9]+ Test|tests passed' build/logs/soak.log
exit $status
