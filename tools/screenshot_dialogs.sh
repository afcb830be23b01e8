#!/usr/bin/env bash
# Screenshots of the sign-in and About dialogs as Wine draws them, and the icon
# sheet, for the documentation:
#   tools/screenshot_dialogs.sh BUILD_DIR [OUT_DIR]
# BUILD_DIR is a Windows build of this project (Kovarentis.exe and the test
# helper dialog_preview.exe built); OUT_DIR defaults to docs/. A throwaway Wine
# environment with its own Xvfb display is started and stopped here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "$1")
out=$(realpath -m "${2:-$root/docs}")
agent=$build/bin/Kovarentis.exe
preview=$build/tests/shell/resources/dialog_preview.exe
for f in "$agent" "$preview"; do
  [ -f "$f" ] || { echo "missing $f: build the Kovarentis and dialog_preview targets" >&2; exit 1; }
done
case "$(file -b "$agent")" in
  PE32+*) arch=x86_64 ;;
  *) arch=i686 ;;
esac

state=$(mktemp -d)
trap '"$root/tools/wine/env.sh" stop "$state" >/dev/null 2>&1 || true; rm -rf "$state"' EXIT
"$root/tools/wine/env.sh" start "$state" "$arch"
# shellcheck disable=SC1091
source "$state/env"
mkdir -p "$out"

shoot() {  # name, dialog id
  local name=$1 id=$2 rect=$state/rect-$1
  # A virtual desktop draws the window frames; without a window manager bare
  # Xvfb would show the dialogs without them. The desktop sits at the screen's
  # top-left corner, so desktop and screen coordinates agree.
  env LANG="$KOV_LANG" LC_ALL="$KOV_LANG" timeout 60 "$KOV_WINE" explorer /desktop=kovarentis,640x400 \
    "$preview" "$agent" "$id" "Z:$rect" 6 >/dev/null 2>&1 &
  local runner=$!
  for _ in $(seq 200); do [ -s "$rect" ] && break; sleep 0.1; done
  [ -s "$rect" ] || { echo "the $name dialog did not show" >&2; exit 1; }
  sleep 1.5  # let the first paint finish
  local x y w h
  read -r x y w h <"$rect"
  import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$out/dialog-$name.png"
  wait "$runner" || true
  echo "$out/dialog-$name.png"
}

shoot login 138
shoot about 144
python3 "$root/tools/render_icon_sheet.py" "$root/shell/res" "$out/icons.png"
echo "$out/icons.png"
