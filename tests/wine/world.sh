#!/bin/bash
# The Wine test world of one build tree: a private prefix, booted once, and one persistent
# wineserver for a whole test run.
#   world.sh up PREFIX     create and boot the prefix if needed, start the wineserver
#   world.sh down PREFIX   end every Wine process of the prefix
set -euo pipefail

action=${1:?usage: world.sh up|down PREFIX}
prefix=$(realpath -m "${2:?usage: world.sh up|down PREFIX}")
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: the tests need neither, and they would ask for downloads.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset DISPLAY

# Is a process named $1 running for this prefix? (Wine keeps WINEPREFIX in its environment.)
running_here() {
  local pid
  for pid in $(pgrep -x "$1" 2>/dev/null); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix"; then
      return 0
    fi
  done
  return 1
}

case $action in
  up)
    mkdir -p "$(dirname "$prefix")"
    exec 9>"$prefix.lock"
    flock 9
    if [[ ! -f $prefix/.booted ]]; then
      echo "world.sh: creating Wine prefix $prefix" >&2
      rm -rf "$prefix"
      if ! wineboot -i >"$prefix.boot.log" 2>&1 9>&-; then
        echo "world.sh: wineboot failed, see $prefix.boot.log" >&2
        exit 1
      fi
      wineserver -w 9>&-
      touch "$prefix/.booted"
    fi
    if ! running_here wineserver64 && ! running_here wineserver; then
      wineserver -p </dev/null >/dev/null 2>&1 9>&-
    fi
    if ! running_here services.exe; then
      # The first Wine process starts Wine's background services, which keep its standard
      # handles open for as long as the server lives. Start them here, writing to a file, so
      # that no test's output pipe is held open by them.
      wine cmd.exe /c exit 0 </dev/null >>"$prefix.services.log" 2>&1 9>&-
    fi
    ;;
  down)
    if [[ -d $prefix ]]; then
      wineserver -k >/dev/null 2>&1 || true
      wineserver -w >/dev/null 2>&1 || true
    fi
    ;;
  *)
    echo "world.sh: unknown action '$action' (up or down)" >&2
    exit 2
    ;;
esac
