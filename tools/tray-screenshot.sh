#!/usr/bin/env bash
# Takes docs/tray.png: the agent's tray icon on Wine's virtual desktop, with
# its tooltip (left half) and a balloon tip (right half). Both halves are
# screenshots of one run of tray_demo.exe, taken seconds apart, because the
# tooltip and the balloon open at the same spot and would cover each other.
#   tools/tray-screenshot.sh [BUILD_DIR]   (default build/tray-win64, which
#   must have built the target tray_demo)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/tray-win64}")
demo=$build/tests/shell/tray/tray_demo.exe
[ -f "$demo" ] || { echo "tray-screenshot: no $demo (build the target tray_demo)" >&2; exit 2; }
arch=$(sed -n 's/^CMAKE_SYSTEM_PROCESSOR:[A-Z]*=//p' "$build/CMakeCache.txt")
arch=${arch:-x86_64}

state=$build/tray-screenshot
work=$(mktemp -d)
cleanup() {
  tools/wine/env.sh stop "$state" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
# The environment's daemons keep its output open: never pipe it.
tools/wine/env.sh start "$state" "$arch" >"$work/env.log" 2>&1
# shellcheck disable=SC1091
source "$state/env"

shot() { import -display "$DISPLAY" -window root "$1"; }
# "R,G,B" of one screen pixel.
pixel() {
  shot "$work/probe.png"
  convert "$work/probe.png" -crop "1x1+$1+$2" -depth 8 txt:- |
    sed -n 's/^0,0: (\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}

# The demo shows its balloon 12 s after it starts and ends after 40 s.
env LANG="$KOV_LANG" LC_ALL="$KOV_LANG" timeout 60 "$KOV_WINE" \
  explorer /desktop=KovarentisTray,1024x768 "$demo" 40 >"$work/demo.log" 2>&1 &
demo_pid=$!

# The icon is the only thing in the taskbar's right end in its fill colour
# (200, 40, 40); only that corner is searched, which is quick.
corner=160x30+864+738
position=""
for _ in $(seq 50); do
  shot "$work/find.png"
  position=$(convert "$work/find.png" -crop "$corner" +repage -depth 8 txt:- |
    sed -n 's/^\([0-9]*\),\([0-9]*\): (200,40,40).*/\1 \2/p' | head -1)
  [ -n "$position" ] && break
  sleep 0.2
done
[ -n "$position" ] || { echo "tray-screenshot: the icon did not show" >&2; exit 1; }
read -r x y <<<"$position"
x=$((x + 864 + 4)); y=$((y + 738 + 4))

# Tooltip: move onto the icon, as a hand would.
xdotool mousemove $((x - 30)) $((y - 30)) sleep 0.3 mousemove "$x" "$y"
sleep 2
shot "$work/tooltip.png"
xdotool mousemove 300 300

# Balloon: its white body appears above the icon.
for _ in $(seq 60); do
  [ "$(pixel $((x - 60)) $((y - 40)))" = "255,255,255" ] && break
  sleep 0.5
done
sleep 0.5
shot "$work/balloon.png"

crop=340x120+684+648
convert "$work/tooltip.png" -crop "$crop" +repage "$work/left.png"
convert "$work/balloon.png" -crop "$crop" +repage "$work/right.png"
convert "$work/left.png" "$work/right.png" -background white -splice 4x0 +append docs/tray.png
wait "$demo_pid" || true
echo "docs/tray.png written"
