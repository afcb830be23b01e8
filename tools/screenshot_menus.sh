#!/usr/bin/env bash
# Screenshots of the two tray menus as Wine draws them, opened by a right click
# on the tray icon, for the documentation:
#   tools/screenshot_menus.sh BUILD_DIR [OUT_DIR]
# BUILD_DIR is a Windows build of this project with the test helper
# menu_demo.exe built; OUT_DIR defaults to docs/. Writes menu-main.png (signed
# in: Online checked, the pointer on "Отошел") and menu-signed-out.png. A
# throwaway Wine environment with its own Xvfb display is started and stopped here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "$1")
out=$(realpath -m "${2:-$root/docs}")
demo=$build/tests/shell/menus/menu_demo.exe
[ -f "$demo" ] || { echo "missing $demo: build the menu_demo target" >&2; exit 1; }
# The toolchain file, not the cache, names the processor: ask the program itself.
if file "$demo" | grep -q 'x86-64'; then arch=x86_64; else arch=i686; fi

state=$(mktemp -d)
trap '"$root/tools/wine/env.sh" stop "$state" >/dev/null 2>&1 || true; rm -rf "$state"' EXIT
"$root/tools/wine/env.sh" start "$state" "$arch" >/dev/null
# shellcheck disable=SC1091
source "$state/env"
mkdir -p "$out"

# The virtual desktop sits at the screen's top-left corner, so desktop and
# screen coordinates agree. Its taskbar is 20 pixels high and holds the one
# tray icon at its right end.
width=640 height=480
icon_x=$((width - 10)) icon_y=$((height - 10))

shoot() {  # menu (main or signed-out), file name
  local menu=$1 png=$out/$2 report=$state/report-$1
  env LANG="$KOV_LANG" LC_ALL="$KOV_LANG" timeout 60 "$KOV_WINE" explorer \
    "/desktop=kovarentis-menus,${width}x${height}" "$demo" "$menu" "Z:$report" 10 >/dev/null 2>&1 &
  local runner=$!
  # Right-click the icon until the menu reports itself open (the icon appears
  # a moment after the program starts).
  for _ in $(seq 40); do
    [ -s "$report" ] && break
    xdotool mousemove "$icon_x" "$icon_y" click 3
    sleep 0.5
  done
  [ -s "$report" ] || { echo "the $menu menu did not open" >&2; exit 1; }
  local x y w h pointed_x pointed_y
  read -r x y w h pointed_x pointed_y <"$report"
  if [ "$menu" = main ]; then
    xdotool mousemove "$pointed_x" "$pointed_y"  # shows the selection beside the check
  else
    xdotool mousemove "$((x + w + 4))" "$((y - 4))"  # off the menu, which stays open
  fi
  sleep 1
  # The menu with the tray icon below it: from 12 pixels left of and above the
  # menu to the desktop's bottom-right corner.
  local left=$((x - 12)) top=$((y - 12))
  import -display "$DISPLAY" -window root -crop "$((width - left))x$((height - top))+$left+$top" +repage "$png"
  wait "$runner" || true
  echo "$png"
}

shoot main menu-main.png
shoot signed-out menu-signed-out.png
