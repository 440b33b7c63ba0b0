#!/bin/bash
# The Wine test world of one build tree: a private prefix, booted once, and one persistent
# wineserver for a whole test run.
#   world.sh up PREFIX     create and boot the prefix if needed, start the wineserver
#   world.sh down PREFIX   end every Wine process of the prefix
set -euo pipefail

action=${1:?usage: world.sh up|down PREFIX}
prefix=${2:?usage: world.sh up|down PREFIX}
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: the tests need neither, and they would ask for downloads.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset DISPLAY

case $action in
  up)
    mkdir -p "$(dirname "$prefix")"
    exec 9>"$prefix.lock"
    flock 9
    if [[ ! -f $prefix/.booted ]]; then
      echo "world.sh: creating Wine prefix $prefix" >&2
      rm -rf "$prefix"
      if ! wineboot -i >"$prefix.boot.log" 2>&1; then
        echo "world.sh: wineboot failed, see $prefix.boot.log" >&2
        exit 1
      fi
      wineserver -w
      touch "$prefix/.booted"
    fi
    # A second wineserver for the same prefix exits at once, so this is idempotent.
    wineserver -p </dev/null >/dev/null 2>&1 || true
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
