#!/bin/bash
# The Wine test world of one build tree: a private prefix, booted once, its own X server, and
# one persistent wineserver for a whole test run.
#   world.sh up PREFIX                  create and boot the prefix if needed, start the servers
#   world.sh run PREFIX PROGRAM [ARGS]  run a Windows program in it (the CMake emulator)
#   world.sh down PREFIX                end every Wine process of the prefix and its X server
set -euo pipefail

action=${1:?usage: world.sh up|run|down PREFIX}
prefix=$(realpath -m "${2:?usage: world.sh up|run|down PREFIX}")
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: the tests need neither, and they would ask for downloads.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
display_file=$prefix.display

# Is a process named $1 running for this prefix? (Wine keeps WINEPREFIX in its environment.)
running_here() {
  local pid
  for pid in $(pgrep -x "$1" 2>/dev/null); do
    if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$prefix"; then
      return 0
    fi
  done
  return 1
}

# A private X server for the prefix's windows (1024 x 768), started once and recorded with its
# process id. Every Wine process of the prefix, the background services included, uses it.
ensure_display() {
  local number pid
  if [[ -f $display_file ]] && read -r number pid <"$display_file" && kill -0 "$pid" 2>/dev/null; then
    export DISPLAY=:$number
    return
  fi
  for number in $(seq 90 130); do
    [[ -e /tmp/.X11-unix/X$number || -e /tmp/.X$number-lock ]] && continue
    setsid Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp </dev/null \
      >"$prefix.xvfb.log" 2>&1 9>&- &
    pid=$!
    for _ in $(seq 50); do
      [[ -e /tmp/.X11-unix/X$number ]] && break
      sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null && [[ -e /tmp/.X11-unix/X$number ]]; then
      echo "$number $pid" >"$display_file"
      export DISPLAY=:$number
      return
    fi
  done
  echo "world.sh: cannot start Xvfb (see $prefix.xvfb.log)" >&2
  exit 1
}

case $action in
  up)
    mkdir -p "$(dirname "$prefix")"
    exec 9>"$prefix.lock"
    flock 9
    ensure_display
    if [[ ! -f $prefix/.booted ]]; then
      echo "world.sh: creating Wine prefix $prefix" >&2
      rm -rf "$prefix"
      if ! wineboot -i >"$prefix.boot.log" 2>&1 9>&-; then
        echo "world.sh: wineboot failed, see $prefix.boot.log" >&2
        exit 1
      fi
      wineserver -w 9>&-
      # No window manager runs on the private X server: Wine draws captions and frames itself.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$prefix.boot.log" 2>&1 9>&-
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >>"$prefix.boot.log" 2>&1 9>&-
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
    # Likewise the desktop process, which the first program that opens a window would start.
    if ! running_here explorer.exe; then
      setsid wine explorer.exe /desktop </dev/null >>"$prefix.services.log" 2>&1 9>&- &
      for _ in $(seq 50); do
        running_here explorer.exe && break
        sleep 0.1
      done
    fi
    ;;
  down)
    if [[ -d $prefix ]]; then
      wineserver -k >/dev/null 2>&1 || true
      wineserver -w >/dev/null 2>&1 || true
    fi
    if [[ -f $display_file ]] && read -r _ pid <"$display_file"; then
      kill "$pid" 2>/dev/null || true
      rm -f "$display_file"
    fi
    ;;
  run)
    shift 2
    "$0" up "$prefix"
    read -r number _ <"$display_file"
    export DISPLAY=:$number
    exec wine "$@"
    ;;
  *)
    echo "world.sh: unknown action '$action' (up, run or down)" >&2
    exit 2
    ;;
esac
