#!/usr/bin/env bash
# The project's test command: installs what is missing, builds the core natively
# (plain, ASan+UBSan, TSan) and the Windows targets with MinGW, and runs every
# test, the Windows ones under Wine. Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

jobs=$(nproc)
started=$SECONDS

configure_build() {  # dir, cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -G "Unix Makefiles" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" >/dev/null
}

run_ctest() {
  ctest --test-dir "$1" --output-on-failure -j "${2:-$jobs}"
}

echo "== core, native"
configure_build build/native -DCMAKE_BUILD_TYPE=Debug
run_ctest build/native
echo "== core, AddressSanitizer + UndefinedBehaviorSanitizer"
configure_build build/asan -DCMAKE_BUILD_TYPE=Debug -DKOV_SANITIZE=address,undefined
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 run_ctest build/asan
echo "== core, ThreadSanitizer"
configure_build build/tsan -DCMAKE_BUILD_TYPE=Debug -DKOV_SANITIZE=thread
TSAN_OPTIONS=halt_on_error=1 run_ctest build/tsan

echo "== demo tour helpers"
python3 -B -m unittest discover -s tools/demo -p 'test_*.py'

echo "== Windows, i686 (the agent)"
configure_build build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel
file build/win32/bin/Kovarentis.exe
echo "== the i686 agent's import table against the reviewed list"
ctest --test-dir build/win32 -R '^agent\.imports$' --output-on-failure

# Wine tests share one desktop and one wineserver: run them one at a time.
if bash tools/wine/can-run-i386.sh; then
  echo "== Windows tests under 32-bit Wine"
  run_ctest build/win32 1
else
  echo "== Windows tests under 64-bit Wine (this kernel cannot execute 32-bit code)"
  configure_build build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=MinSizeRel
  run_ctest build/win64 1
fi
echo "== all tests passed in $((SECONDS - started)) s"
