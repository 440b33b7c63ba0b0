#!/bin/bash
# Installs what a fresh Debian 12 machine lacks to build and test the project (apt-get only).
# Idempotent: installs nothing when everything is there. Prints what it installs.
set -euo pipefail

packages=(
  cmake ninja-build g++ make           # native build
  g++-mingw-w64-x86-64-posix           # Windows cross toolchain (posix threads)
  wine wine64                          # runs the Windows tests
  xvfb imagemagick xdotool             # windows, real input and screenshots of the GUI programs
  googletest libbenchmark-dev          # test and benchmark libraries (GoogleTest from source)
  clang libclang-rt-14-dev clang-format llvm  # fuzzing (libFuzzer), sanitizers, coverage, format
  python3 util-linux procps git strace  # test harness helpers (flock, pgrep, file list, call order)
  python3-pefile                       # reads the built programs' embedded manifests
  nsis                                 # makensis: the Windows installer (win64 build)
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "bootstrap: all ${#packages[@]} packages present"
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
sudo=()
if ((EUID != 0)); then
  if ! command -v sudo >/dev/null; then
    echo "bootstrap: need root (or sudo) to install: ${missing[*]}" >&2
    exit 1
  fi
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
if ! { "${sudo[@]}" apt-get update -q && "${sudo[@]}" apt-get install -y -q "${missing[@]}"; } >"$log" 2>&1; then
  tail -20 "$log" >&2
  echo "bootstrap: apt-get failed (full log: $log)" >&2
  exit 1
fi
rm -f "$log"
echo "bootstrap: installed ${#missing[@]} packages"
