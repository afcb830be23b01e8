#!/usr/bin/env bash
# Resource benchmark of the agent under Wine, state by state, each beside
# same_work_tray.exe in that state's mode: the least a program can spend on
# what the agent visibly does there (see same_work_tray.cpp), and a bare tray
# program (one icon, one timer) as Wine's floor. Runs one program at a time
# for a fixed window in each state, agent and reference in turns, and prints
# resident and private memory, threads, CPU time per minute (the UI
# thread's apart), the Wine services' CPU, kernel handles, GDI objects and
# windows (process_probe.exe)
# and the ratios of agent to reference; then the start-up times (process
# start to the tray icon and to the first request, stored credentials), the
# executables' sizes and the goals. States: the baseline at rest; online idle
# over http and over https (a self-signed certificate: both accept the
# unknown authority on the retry); blinking with 3 messages waiting;
# connecting to a dead service (the failure box left open); start-up.
#   resource_bench.sh [seconds per state, default 60]
# Environment (all optional):
#   KOV_BENCH_SETTLE    seconds a program runs before its window (default 10)
#   KOV_BENCH_POLL      the agent's RequestTimeout, s (15)
#   KOV_BENCH_BASELINE_MS  the baseline's timer period, ms (the poll period)
#   KOV_BENCH_INTERVAL  sampling interval, s (0.2)
#   KOV_BENCH_STATES    subset of "baseline online https blinking connecting startup"
#   KOV_BENCH_STARTUP_ROUNDS  start-ups of each program (5)
#   KOV_BENCH_AGENT     a Kovarentis.exe (i686) to measure instead of the one built here
#   KOV_BENCH_SERVICE_HOST  loopback address of the bench's stand-in service (127.0.0.213)
#   KOV_BENCH_STARTUP_HOST  loopback address of the start-up listener (127.0.0.214)
#   KOV_BENCH_WIN32_DIR build dir (build/resbench-win32)
# The i686 build, the product, is measured under 32-bit Wine. The https
# service is the stand-in on 127.0.0.2:443 with the test certificate whose
# name is that address (tools/certs); run the bench in a network namespace
# of its own (see the README) so that no test's stand-in holds that port.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
settle=${KOV_BENCH_SETTLE:-10}
poll=${KOV_BENCH_POLL:-15}
interval=${KOV_BENCH_INTERVAL:-0.2}
baseline_ms=${KOV_BENCH_BASELINE_MS:-$((poll * 1000))}
states=${KOV_BENCH_STATES:-baseline online https blinking connecting startup}
startup_rounds=${KOV_BENCH_STARTUP_ROUNDS:-5}
win32=${KOV_BENCH_WIN32_DIR:-$root/build/resbench-win32}
work=$win32/resource-bench
wine_state=$work/wine
results=$work/results.jsonl
# A loopback address of our own (the agent always talks to port 80), so that
# stand-ins of tests on 127.0.0.1 do not collide with this one; nothing
# listens on the dead one.
service_host=${KOV_BENCH_SERVICE_HOST:-127.0.0.213}
control=$service_host:8765
dead_host=127.0.0.9
dead_server=http://$dead_host
startup_host=${KOV_BENCH_STARTUP_HOST:-127.0.0.214}
tls_host=127.0.0.2
tls_certificate=leaf-unknown-ca
registry_key='HKCU\Software\Kovarentis \Kovarentis\App'  # key name with a trailing blank
helper=(python3 "$root/tools/bench/resource_bench.py")
client=(python3 "$root/tools/standin/client.py" --control "$control")

program_pid=""
service_pid=""

# One run at a time per build dir: a second one would stop the first's Wine.
mkdir -p "$work"
exec 9>"$work.lock"
if ! flock -n 9; then
  echo "resource_bench: another run is using $work" >&2
  exit 1
fi

cleanup() {
  stop_program
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
  fi
  "$root/tools/wine/env.sh" stop "$wine_state" >/dev/null 2>&1 || true
  rm -rf "$wine_state/prefix"  # 600 MB that the next run makes afresh anyway
}
trap cleanup EXIT
trap 'exit 130' INT TERM

note() { echo "resource_bench: $*" >&2; }

build() {  # build dir, toolchain architecture
  local log=$work/build-$2.log
  if ! { cmake -S "$root" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$2.cmake" \
           -DCMAKE_BUILD_TYPE=MinSizeRel &&
         cmake --build "$1" -j 2 --target Kovarentis baseline_tray same_work_tray process_probe; } >"$log" 2>&1; then
    tail -n 20 "$log" >&2
    note "the $2 build failed (whole log: $log)"
    return 1
  fi
}

wine_run() {  # a short Windows command in the bench's prefix
  KOV_RUN_TIMEOUT=60 "$root/tools/wine/run.sh" "$wine_state" "$@" >/dev/null 2>&1
}

start_program() {  # exe, args...
  KOV_RUN_TIMEOUT=$((4 * seconds + 4 * settle + 300)) \
    "$root/tools/wine/run.sh" "$wine_state" "$@" >>"$work/programs.log" 2>&1 &
  program_pid=$!
}

# Stops the program started last: `timeout` hands the TERM on to Wine.
stop_program() {
  [ -n "$program_pid" ] || return 0
  kill "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
  program_pid=""
}

# Waits for the program's Wine process and lets it settle; fails if it is gone.
program_process() {  # exe file name
  local pid
  if ! pid=$("${helper[@]}" find "$WINEPREFIX" "$1" 20); then
    note "$1 did not start or ended at once (see $work/programs.log)"
    return 1
  fi
  echo "$pid"
}

measure() {  # state, program label, pid
  note "measuring $2 ($1) for $seconds s"
  "${helper[@]}" measure "$WINEPREFIX" "$3" "$1" "$2" "$seconds" "$interval" "$results" \
    "$root/tools/wine/run.sh" "$wine_state" "$work/probe/process_probe.exe"
}

record_failure() {  # state, program label, reason
  printf '{"state": "%s", "program": "%s", "error": "%s"}\n' "$1" "$2" "$3" >>"$results"
}

write_params() {  # server
  printf 'Server=%s\r\nRequestTimeout=%s\r\nAwayTimeout=60\r\n' "$1" "$poll" >"$work/agent/Params.ini"
}

store_credentials() {  # login, token
  wine_run reg add "$registry_key" /v Login /t REG_SZ /d "$1" /f
  wine_run reg add "$registry_key" /v Token /t REG_SZ /d "$2" /f
}

presence() {  # field of the demo account's presence
  "${client[@]}" presence demo | sed -n "s/^$1: //p"
}

# Waits until the service has answered more than N status requests.
wait_for_polls_beyond() {  # N, seconds
  local deadline=$((SECONDS + $2))
  while [ "$SECONDS" -lt "$deadline" ]; do
    [ "$(presence status_requests)" -gt "$1" ] && return 0
    sleep 0.5
  done
  return 1
}

start_service() {
  local ready=$work/service.ready
  rm -f "$ready"
  bash "$root/tools/certs/make-certs.sh" "$work/certs" >/dev/null
  python3 "$root/tools/standin/service.py" --demo --listen "http://$service_host:80" \
    --listen "https://$tls_host:443/$tls_certificate" --certs "$work/certs" \
    --control "$control" --ready-file "$ready" >>"$work/service.log" 2>&1 &
  service_pid=$!
  for _ in $(seq 100); do [ -s "$ready" ] && return 0; sleep 0.1; done
  note "the stand-in service did not start (see $work/service.log)"
  return 1
}

run_baseline() {
  start_program "$work/baseline/baseline_tray.exe" "$baseline_ms"
  local pid
  if pid=$(program_process baseline_tray.exe); then
    sleep "$settle"
    measure baseline baseline_tray "$pid" || true
  else
    record_failure baseline baseline_tray "did not start"
  fi
  stop_program
}

# The agent's status request as it goes out online (status 0).
status_object() {  # token
  echo "newmessages?do=get&status=0&login=demo&token=$1"
}

run_reference() {  # state, mode, host, token
  start_program "$work/reference/same_work_tray.exe" "$2" "$3" "$(status_object "$4")" $((poll * 1000))
  local pid
  if pid=$(program_process same_work_tray.exe); then
    if [ "$3" != "$dead_host" ] && ! wait_for_polls_beyond 0 20; then
      note "the reference sent no status request to the service"
    fi
    sleep "$settle"
    measure "$1" same_work_tray "$pid" || true
  else
    record_failure "$1" same_work_tray "did not start"
  fi
  stop_program
}

run_connecting() {
  write_params "$dead_server"
  store_credentials demo stale-token
  start_program "$work/agent/Kovarentis.exe"
  local pid
  if pid=$(program_process Kovarentis.exe); then
    sleep "$settle"
    measure connecting Kovarentis "$pid" || true
  else
    record_failure connecting Kovarentis "did not start or ended at once"
  fi
  stop_program
}

# Starts the agent signed in to the live service; leaves it running.
start_online_agent() {  # server
  "${client[@]}" reset >/dev/null
  write_params "$1"
  store_credentials demo "$("${helper[@]}" sign-in "http://$service_host" demo demo)"
  start_program "$work/agent/Kovarentis.exe"
  online_pid=$(program_process Kovarentis.exe) || return 1
  if ! wait_for_polls_beyond 0 $((poll + 20)); then
    note "the agent sent no status request to the service"
    return 1
  fi
}

# Measures a state of the running online agent and checks that it kept polling.
measure_online() {  # state
  local before
  sleep "$settle"
  before=$(presence status_requests)
  measure "$1" Kovarentis "$online_pid" || return 0
  local polls=$(( $(presence status_requests) - before ))
  note "$1: $polls status requests during the window, presence $(presence presence)"
  if [ "$polls" -lt $((seconds / poll - 1)) ]; then
    note "$1: fewer polls than the period allows: the agent was not online throughout"
  fi
}

run_online_states() {  # whether to measure online idle, whether to measure blinking
  online_pid=""
  if ! start_online_agent "http://$service_host"; then
    [ "$1" = yes ] && record_failure online Kovarentis "never came online"
    [ "$2" = yes ] && record_failure blinking Kovarentis "never came online"
    stop_program
    return 0
  fi
  [ "$1" = yes ] && measure_online online
  if [ "$2" = yes ]; then
    local before
    before=$(presence status_requests)
    "${client[@]}" send-messages demo 3 >/dev/null
    if wait_for_polls_beyond "$before" $((poll + 20)); then
      measure_online blinking
    else
      record_failure blinking Kovarentis "no poll after the messages arrived"
    fi
  fi
  stop_program
}

run_https_agent() {
  online_pid=""
  if start_online_agent "https://$tls_host"; then
    measure_online https
  else
    record_failure https Kovarentis "never came online"
  fi
  stop_program
}

# Start-up in turns: the agent with stored credentials, then the reference,
# both against the bench's listener, which answers every request "0 0".
run_startup() {
  write_params "http://$startup_host"
  store_credentials demo startup-token
  note "timing $startup_rounds start-ups of each program"
  "${helper[@]}" startup "$WINEPREFIX" "$root/tools/wine/run.sh" "$wine_state" "$results" \
    "$startup_rounds" "$startup_host" "$work/agent/Kovarentis.exe" \
    "$work/reference/same_work_tray.exe" "$(status_object startup-token)" $((poll * 1000))
}

wants() { [[ " $states " == *" $1 "* ]]; }

# A fresh token of the demo account, the service's state reset.
fresh_token() {
  "${client[@]}" reset >/dev/null
  "${helper[@]}" sign-in "http://$service_host" demo demo
}

# The reference for a state, then the agent, in turns.
run_states() {
  if wants baseline; then run_baseline; fi
  if wants online; then
    run_reference online idle "$service_host" "$(fresh_token)"
    run_online_states yes no
  fi
  if wants https; then
    run_reference https https "$tls_host" "$(fresh_token)"
    run_https_agent
  fi
  if wants blinking; then
    run_reference blinking blinking "$service_host" "$(fresh_token)"
    run_online_states no yes
  fi
  if wants connecting; then
    run_reference connecting connecting "$dead_host" stale-token
    run_connecting
  fi
  if wants startup; then run_startup; fi
}

main() {
  note "building i686 ($win32)"
  build "$win32" i686
  local agent=${KOV_BENCH_AGENT:-$win32/bin/Kovarentis.exe}

  rm -rf "$work/agent" "$work/baseline" "$work/reference" "$work/probe" "$results" "$work/programs.log" \
    "$work/service.log"
  mkdir -p "$work/agent" "$work/baseline" "$work/reference" "$work/probe"
  cp "$agent" "$work/agent/Kovarentis.exe"
  cp "$win32/bin/baseline_tray.exe" "$work/baseline/"
  cp "$win32/bin/same_work_tray.exe" "$work/reference/"
  cp "$win32/bin/process_probe.exe" "$work/probe/"

  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  start_service
  note "starting the Wine environment"
  "$root/tools/wine/env.sh" start "$wine_state" i686 >/dev/null
  # shellcheck disable=SC1091
  source "$wine_state/env"
  run_states
  {
    echo "Resource benchmark: $("$KOV_WINE" --version 2>/dev/null || echo Wine), 32-bit prefix, i686 builds;"
    echo "$seconds s per state after $settle s of settling, RequestTimeout $poll s, baseline timer $baseline_ms ms,"
    echo "sampled every $interval s (threads: most seen in one sample);"
    echo "load average before: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg)."
    echo
    "${helper[@]}" report "$results" \
      "Kovarentis.exe i686=$agent" \
      "baseline_tray.exe i686=$win32/bin/baseline_tray.exe" \
      "same_work_tray.exe i686=$win32/bin/same_work_tray.exe"
  } | tee "$work/report.txt"
}

main
