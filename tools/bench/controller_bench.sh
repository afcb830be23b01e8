#!/usr/bin/env bash
# Builds and runs the controller benchmark: a service that hangs for 60 s while
# the poll timer fires every 15 ms. Prints the peak number of agent threads and
# the time the agent takes to close. Usage: controller_bench.sh [seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${KOV_BENCH_BUILD_DIR:-$root/build/controller-bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
if ! cmake --build "$build" -j 2 --target controller_bench >/dev/null; then
  echo "controller_bench did not build (is tools/bench added to the top-level CMakeLists.txt?)" >&2
  exit 1
fi
"$build/tools/bench/controller_bench" "${1:-3}"
