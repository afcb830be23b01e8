#!/usr/bin/env bash
# A simulated working day of the agent under Wine (32-bit, the i686 build),
# against the stand-in service at a poll period of 1 s: the count rising and
# falling, the service failing and recovering, the menu, the About box and
# the failure box opened and closed, a sign-out and sign-in every thousand
# polls. Samples private memory, threads, kernel handles, GDI objects and
# windows every minute and fails on steady growth (soak.py says how).
# A benchmark command, not a test.
#   soak.sh [minutes, default 170: about 10,000 polls]   e.g. soak.sh 10
# Run it in a network namespace of its own, as the README shows: the stand-in
# takes 127.0.0.1:80.
# Environment: KOV_SOAK_WIN32_DIR build dir (build/win32, built here).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
minutes=${1:-170}
build=${KOV_SOAK_WIN32_DIR:-$root/build/win32}
work=$build/soak
wine_state=$work/wine
control_port=8766
service_pid=""

mkdir -p "$work"
exec 9>"$work.lock"
if ! flock -n 9; then
  echo "soak: another run is using $work" >&2
  exit 1
fi

cleanup() {
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
  fi
  "$root/tools/wine/env.sh" stop "$wine_state" >/dev/null 2>&1 || true
  rm -rf "$wine_state/prefix"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "soak: building $build" >&2
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel >"$work/build.log" 2>&1
cmake --build "$build" -j 2 --target Kovarentis agent_probe process_probe >>"$work/build.log" 2>&1

ready=$work/service.ready
rm -f "$ready"
python3 "$root/tools/standin/service.py" --listen http://127.0.0.1:80 \
  --control "127.0.0.1:$control_port" --ready-file "$ready" >"$work/service.log" 2>&1 &
service_pid=$!
for _ in $(seq 100); do [ -s "$ready" ] && break; sleep 0.1; done

"$root/tools/wine/env.sh" start "$wine_state" i686 >/dev/null
KOV_WINE_STATE=$wine_state KOV_AGENT_EXE=$build/bin/Kovarentis.exe \
  KOV_AGENT_PROBE=$(find "$build/tests/shell/agent" -name agent_probe.exe | head -n 1) \
  KOV_STANDIN_CONTROL=127.0.0.1:$control_port KOV_WORK_DIR=$work/agents \
  KOV_PROCESS_PROBE=$build/bin/process_probe.exe \
  python3 "$root/tools/bench/soak.py" "$minutes" | tee "$work/report.txt"
