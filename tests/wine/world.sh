#!/bin/bash
# The Wine test worlds of one build tree. A world is a private prefix, booted once, with its own
# X server and one persistent wineserver for a whole test run.
#
# Tests run side by side in "lanes": ctest hands each test one lane (resource groups, see
# lanes.json) and sets CTEST_RESOURCE_GROUP_0_LANE in its environment. Lane N is the folder
# BUILD/lanes/N: a world of its own (prefix, X server, wineserver, so no test sees another's
# named objects, registry or windows) and a view of the build tree made of hard links, so that
# files a test or a program writes beside the programs (sim/, a service's log) are the lane's
# own. Without a lane (ctest not given the lanes file, or a program run by hand) the build
# tree's own world BUILD/wineprefix is used, one test at a time.
#
#   world.sh up PREFIX                  create and boot the prefix if needed, start the servers
#   world.sh run PREFIX PROGRAM [ARGS]  run a Windows program in the test's world (the emulator)
#   world.sh with BUILD COMMAND [ARGS]  run a harness with ZORVIK_WIN64_BUILD set to the test's
#                                       lane (or BUILD), one test per lane at a time
#   world.sh lane PREFIX -- COMMAND [ARGS]  run COMMAND with PREFIX in its arguments replaced by
#                                       the test's world (a launcher ahead of `run`)
#   world.sh lanes BUILD COUNT          prepare lanes 1..COUNT: views and prefixes (a copy of the
#                                       build tree's booted prefix)
#   world.sh down PREFIX                end every Wine process of the prefix and its X server
#   world.sh down-all BUILD             end the worlds of the build tree and of all its lanes
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
action=${1:?usage: world.sh up|run|with|lane|lanes|down|down-all PREFIX|BUILD ...}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: the tests need neither, and they would ask for downloads.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# The lane ctest gave this test ("id:3,slots:1" -> 3), or nothing.
lane_id() {
  local group=${CTEST_RESOURCE_GROUP_0_LANE:-}
  [[ -n ${CTEST_RESOURCE_GROUP_COUNT:-} && $group =~ (^|,)id:([0-9]+) ]] && echo "${BASH_REMATCH[2]}"
  return 0
}

# The prefix a test uses for the build tree's prefix $1: the same prefix name in its lane.
lane_prefix() {
  local prefix id
  prefix=$(realpath -m "$1")
  id=$(lane_id)
  if [[ -z $id || $prefix == */lanes/$id/* ]]; then
    echo "$prefix"
  else
    echo "$(dirname "$prefix")/lanes/$id/$(basename "$prefix")"
  fi
}

# Runs "$@" holding the world's lane lock: one test per world at a time, also across ctest
# runs and without resource allocation. Nested calls (a launcher, then `run`) lock once.
in_lane() {
  local prefix=$1
  shift
  if [[ ${ZORVIK_WORLD_LOCKED:-} == "$prefix" ]]; then
    exec "$@"
  fi
  mkdir -p "$(dirname "$prefix")"
  export ZORVIK_WORLD_LOCKED=$prefix
  # -o: the lock stays with flock itself, never with a wineserver the command starts.
  exec flock -o "$prefix.inuse" "$@"
}

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
  for number in $(seq 90 130) $(seq 171 230); do
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

# Creates the prefix: a copy of the booted template if one is named (ZORVIK_WINE_TEMPLATE,
# which no wineserver uses), otherwise a new boot.
create_prefix() {
  rm -rf "$prefix"
  local template=${ZORVIK_WINE_TEMPLATE:-}
  if [[ -n $template && -f $template/.booted ]]; then
    cp -a "$template" "$prefix"
    return
  fi
  echo "world.sh: creating Wine prefix $prefix" >&2
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
}

up() {
  prefix=$(realpath -m "$1")
  export WINEPREFIX=$prefix
  display_file=$prefix.display
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  ensure_display
  [[ -f $prefix/.booted ]] || create_prefix
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
  exec 9>&-
}

down() {
  prefix=$(realpath -m "$1")
  export WINEPREFIX=$prefix
  if [[ -d $prefix ]]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  if [[ -f $prefix.display ]] && read -r _ pid <"$prefix.display"; then
    kill "$pid" 2>/dev/null || true
    rm -f "$prefix.display"
  fi
}

# Lane N's view of the build tree: every built file hard-linked (build outputs only; a lane's
# own worlds and sim/ stay). Made again for each run, so that it holds the current programs.
refresh_view() {
  local build=$1 view=$2 entry
  mkdir -p "$view"
  for entry in "$view"/* "$view"/.[!.]*; do
    [[ -e $entry || -L $entry ]] || continue
    case ${entry##*/} in
      wineprefix* | sim) ;;
      *) rm -rf "$entry" ;;
    esac
  done
  (cd "$build" && find . -mindepth 1 \( -path ./lanes -o -path './wineprefix*' -o -path ./sim \
    -o -path ./Testing -o -name CMakeFiles -o -name '*.obj' -o -name '*.o' \) -prune \
    -o -type f -print0 | xargs -0 -r cp -l --parents -t "$view")
}

case $action in
  up)
    up "${2:?usage: world.sh up PREFIX}"
    ;;
  run)
    prefix=$(lane_prefix "${2:?usage: world.sh run PREFIX PROGRAM [ARGS]}")
    shift 2
    if [[ ${ZORVIK_WORLD_LOCKED:-} != "$prefix" ]]; then
      in_lane "$prefix" "$0" run "$prefix" "$@"
    fi
    up "$prefix"
    read -r number _ <"$prefix.display"
    export DISPLAY=:$number
    exec wine "$@"
    ;;
  with)
    build=$(realpath -m "${2:?usage: world.sh with BUILD COMMAND [ARGS]}")
    shift 2
    id=$(lane_id)
    export ZORVIK_WINE_TEMPLATE=$build/lanes/template
    export ZORVIK_WIN64_BUILD=$build${id:+/lanes/$id}
    in_lane "$ZORVIK_WIN64_BUILD/wineprefix" "$@"
    ;;
  lane)
    home=$(realpath -m "${2:?usage: world.sh lane PREFIX -- COMMAND [ARGS]}")
    [[ ${3:-} == -- ]] || { echo "world.sh lane: -- expected" >&2; exit 2; }
    shift 3
    prefix=$(lane_prefix "$home")
    args=()
    for arg in "$@"; do
      if [[ $arg == "$home" ]]; then args+=("$prefix"); else args+=("$arg"); fi
    done
    in_lane "$prefix" "${args[@]}"
    ;;
  lanes)
    build=$(realpath -m "${2:?usage: world.sh lanes BUILD COUNT}")
    count=${3:?usage: world.sh lanes BUILD COUNT}
    template=$build/lanes/template
    if [[ ! -f $template/.booted ]]; then
      # The template: the build tree's prefix, booted, copied while no wineserver uses it.
      (up "$build/wineprefix")
      down "$build/wineprefix"
      rm -rf "$template"
      mkdir -p "$build/lanes"
      cp -a "$build/wineprefix" "$template"
    fi
    export ZORVIK_WINE_TEMPLATE=$template
    for id in $(seq "$count"); do
      view=$build/lanes/$id
      # Under the lane's lock: another ctest run of this tree may be using the lane.
      mkdir -p "$view"
      flock "$view/wineprefix.inuse" bash -c "$(declare -f refresh_view); refresh_view \"\$@\"" \
        refresh "$build" "$view"
      if [[ ! -f $view/wineprefix/.booted ]]; then
        rm -rf "$view/wineprefix"
        cp -a "$template" "$view/wineprefix"
      fi
    done
    ;;
  down)
    down "${2:?usage: world.sh down PREFIX}"
    ;;
  down-all)
    build=$(realpath -m "${2:?usage: world.sh down-all BUILD}")
    for display in "$build"/wineprefix*.display "$build"/lanes/*/wineprefix*.display; do
      [[ -f $display ]] && (down "${display%.display}")
    done
    down "$build/wineprefix"
    ;;
  *)
    echo "world.sh: unknown action '$action'" >&2
    exit 2
    ;;
esac
