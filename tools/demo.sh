#!/usr/bin/env bash
# The demo: the agent under Wine against the stand-in service on loopback.
#   bash tools/demo.sh
# Installs what is missing, builds the agent, starts the stand-in service in
# demo mode and a Wine prefix of its own with the Russian locale, and runs
# Kovarentis.exe on a Wine desktop with a taskbar and notification area.
#  - With a reachable $DISPLAY the desktop is a window there; the consultant
#    plays with the agent until closing it or pressing Ctrl-C.
#  - Without one, a guided tour runs under Xvfb (tools/demo/tour.py): one
#    console line per step, a screenshot per step in build/demo/tour-<time>.
# Ctrl-C (or SIGTERM) at any point stops everything this script started.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# Beside the tests' addresses (127.0.0.1:80, 127.0.0.2-4:443, control
# 127.0.0.1:8765), so that the demo and a test run can share the machine.
service_host=127.0.0.10
control=$service_host:8766
desktop=Kovarentis
desktop_size=1024x768   # the tour's screen (tools/wine/env.sh's Xvfb) too
poll_seconds=3
away_minutes=1          # the shortest AwayTimeout: it is in whole minutes
display_hours=12        # a bound on the agent's run in display mode
tour_minutes=5          # ... and in the tour, which takes about two

work=$root/build/demo
state=$work/run
agent_pid=""
tour_pid=""
cleaned=""

say() { echo "demo: $*"; }

stop_pid() {  # pid: TERM, then KILL after 10 s
  local pid=$1
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.2; done
  kill -KILL "$pid" 2>/dev/null || true
}

cleanup() {
  [ -z "$cleaned" ] || return 0
  cleaned=1
  trap '' INT TERM  # a second Ctrl-C must not cut the cleanup short
  say "stopping the agent, Wine, Xvfb and the stand-in service"
  stop_pid "$tour_pid"
  stop_pid "$agent_pid"
  # wineserver -k ends every Wine process of the demo's prefix; then Xvfb.
  tools/wine/env.sh stop "$state/wine" >/dev/null 2>&1 || true
  rm -rf "$state/wine/prefix"  # 700 MB, made afresh by every run
  python3 -B tools/standin/fixture.py stop "$state/standin" >/dev/null 2>&1 || true
  say "stopped"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

display_reachable() {
  [ -n "${DISPLAY:-}" ] && timeout 5 xdpyinfo -display "$DISPLAY" >/dev/null 2>&1
}

build_agent() {  # build dir, arch
  say "building the agent ($2) in $1 (log: $work/build.log)"
  if ! { cmake -S . -B "$1" -G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-mingw-$2.cmake" \
           -DCMAKE_BUILD_TYPE=MinSizeRel &&
         cmake --build "$1" -j "$(nproc)" --target Kovarentis agent_probe; } >"$work/build.log" 2>&1; then
    tail -n 30 "$work/build.log" >&2
    say "the build failed" >&2
    exit 1
  fi
}

write_params() {  # agent folder
  printf 'Server=http://%s\r\nRequestTimeout=%d\r\nAwayTimeout=%d\r\n' \
    "$service_host" "$poll_seconds" "$away_minutes" >"$1/Params.ini"
}

start_agent() {  # display, seconds
  local exe_windows="Z:${state//\//\\}\\agent\\Kovarentis.exe"
  (cd "$state/agent" &&
   exec env DISPLAY="$1" LANG="$KOV_LANG" LC_ALL="$KOV_LANG" timeout --kill-after=10 "$2" \
     "$KOV_WINE" explorer "/desktop=$desktop,$desktop_size" "$exe_windows") \
    >"$state/agent.log" 2>&1 </dev/null &
  agent_pid=$!
}

wait_for_agent_end() {  # seconds
  for _ in $(seq $(($1 * 5))); do kill -0 "$agent_pid" 2>/dev/null || return 0; sleep 0.2; done
  return 1
}

run_on_display() {
  say "the agent runs in the Wine desktop window \"$desktop\" ($desktop_size) on display $1"
  cat <<TEXT

  Sign in with login  demo  and password  demo  (the stand-in's demo account).
  The K icon sits in the notification area at the bottom right of that window;
  point at it for the tooltip, right-click it for the menu.

  A client sends the consultant messages (in another terminal, here):
      python3 tools/standin/client.py --control $control send-messages demo 3
  and the consultant reads them:
      python3 tools/standin/client.py --control $control set-messages demo 0
  What the service knows of the consultant:
      python3 tools/standin/client.py --control $control presence demo
  Away: leave the mouse still for $away_minutes minute(s), or choose "Отошел" in the menu;
  moving the mouse brings the agent back Online.
  Sign out: menu, "Выйти"; sign in again: menu, "Вход". Close: menu, "Закрыть".
  Ctrl-C here stops everything.

TEXT
  start_agent "$1" $((display_hours * 3600))
  wait "$agent_pid" || true
  agent_pid=""
  say "the agent was closed"
}

run_tour() {  # build dir
  local shots
  shots=$work/tour-$(date +%Y%m%d-%H%M%S)
  say "no display: a guided tour under Xvfb; screenshots go to ${shots#"$root"/}"
  start_agent "$DISPLAY" $((tour_minutes * 60))
  python3 -B tools/demo/tour.py --wine-state "$state/wine" --agent-exe "$state/agent/Kovarentis.exe" \
    --probe "$1/tests/shell/agent/agent_probe.exe" --desktop "$desktop" --control "$control" \
    --shots "$shots" --away-minutes "$away_minutes" --poll-seconds "$poll_seconds" &
  tour_pid=$!
  local status=0
  wait "$tour_pid" || status=$?
  tour_pid=""
  [ "$status" -eq 0 ] && wait_for_agent_end 20 || status=1
  return "$status"
}

main() {
  bash tools/setup.sh
  mkdir -p "$work" "$state"
  local user_display="" arch build
  display_reachable && user_display=$DISPLAY

  if bash tools/wine/can-run-i386.sh; then
    arch=i686
    build=build/demo-win32
  else
    arch=x86_64
    build=build/demo-win64
    say "this kernel cannot run 32-bit code: the demo runs the x86_64 build of the agent under 64-bit Wine"
  fi
  build_agent "$build" "$arch"

  say "starting the stand-in service on http://$service_host (control $control)"
  python3 -B tools/standin/fixture.py start "$state/standin" -- --demo \
    --listen "http://$service_host:80" --control "$control" >/dev/null

  say "making a fresh Wine prefix with the Russian locale (about 20 s)"
  # The environment's daemons keep its output open: a file, never a pipe.
  if ! tools/wine/env.sh start "$state/wine" "$arch" >"$state/wine.log" 2>&1; then
    cat "$state/wine.log" >&2
    exit 1
  fi
  # shellcheck disable=SC1091
  source "$state/wine/env"

  rm -rf "$state/agent"
  mkdir -p "$state/agent"
  cp "$build/bin/Kovarentis.exe" "$state/agent/"
  write_params "$state/agent"

  if [ -n "$user_display" ]; then
    run_on_display "$user_display"
  else
    run_tour "$root/$build"
  fi
}

main "$@"
