#!/bin/bash
# The main job: Usblink under Wine drives the pointer from a simulated controller through a
# scripted session, prints a trace of what the pointer did and writes a picture of finger path
# against pointer path (build/demo/session.svg and .png). Bootstraps and builds what it needs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mkdir -p build/logs
scripts/bootstrap.sh
echo "run-demo: building the Windows programs (log: build/logs/demo-build.log)"
if ! { cmake --preset win64 && cmake --build --preset win64 --target Usblink simdev touchctl; } \
    >build/logs/demo-build.log 2>&1; then
  tail -20 build/logs/demo-build.log >&2
  echo "run-demo: build failed" >&2
  exit 1
fi
exec python3 testkit/usbsim/demo.py --build build/win64 --out build/demo
