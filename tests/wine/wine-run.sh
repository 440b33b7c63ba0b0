#!/bin/bash
# Runs a Windows program in the build tree's Wine world (the CMake cross-compiling emulator).
#   wine-run.sh PREFIX PROGRAM.exe [ARGS...]
set -euo pipefail

prefix=${1:?usage: wine-run.sh PREFIX PROGRAM [ARGS...]}
shift
"$(dirname "$0")/world.sh" up "$prefix"
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [[ -f $prefix.display ]]; then
  read -r number _ <"$prefix.display"
  export DISPLAY=:$number
fi
exec wine "$@"
