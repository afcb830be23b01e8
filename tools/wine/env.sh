#!/usr/bin/env bash
# Starts or stops a throwaway Wine environment for tests:
#   env.sh start STATE_DIR ARCH [LOCALE [DPI]]   (ARCH: i686 or x86_64)
#   env.sh stop STATE_DIR
# start builds a locale under STATE_DIR (LOCALE, default ru_RU: ANSI code page
# 1251, as on most consultants' Windows; en_US gives code page 1252), a fresh
# prefix (at DPI dots per inch, default 96: 144 is 150 %), an Xvfb display on a free number and a persistent wineserver, and
# writes STATE_DIR/env for run.sh.
# Nothing outside STATE_DIR is touched; the user's own ~/.wine never is.
set -euo pipefail
cmd=$1; state=$(realpath -m "$2")

# A stored process id is ended only while it still names the process started
# then: the start time (field 22 of /proc/PID/stat) is stored beside it.
start_time() {  # pid
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  # shellcheck disable=SC2086
  set -- ${stat##*) }
  [ "$1" != Z ] && echo "${20}"
}

end_recorded() {  # file written by record
  local pid started
  [ -f "$1" ] || return 0
  read -r pid started < "$1" || return 0
  rm -f "$1"
  [ -n "$pid" ] && [ "$(start_time "$pid")" = "$started" ] && kill "$pid" 2>/dev/null
  return 0
}

stop() {
  if [ -f "$state/env" ]; then
    # shellcheck disable=SC1091
    source "$state/env"
    timeout 20 wineserver -k >/dev/null 2>&1 || true
  fi
  end_recorded "$state/xvfb.pid"
  rm -f "$state/env"
}

start() {
  local arch=$1 locale=$2 dpi=$3
  stop
  mkdir -p "$state"
  local locdir="$state/locale"
  if [ ! -d "$locdir/$locale.UTF-8" ]; then
    mkdir -p "$locdir"
    localedef -i "$locale" -f UTF-8 "$locdir/$locale.UTF-8" >/dev/null 2>&1 || [ -d "$locdir/$locale.UTF-8" ]
  fi

  local wine winearch
  if [ "$arch" = i686 ]; then
    wine=/usr/bin/wine; winearch=win32
  else
    wine=/usr/lib/wine/wine64; winearch=win64
  fi

  # Xvfb picks a free display itself and reports it on the descriptor we give.
  local dispfile="$state/display"
  rm -f "$dispfile"
  Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$dispfile" >/dev/null 2>&1 &
  echo "$! $(start_time $!)" > "$state/xvfb.pid"
  for _ in $(seq 100); do [ -s "$dispfile" ] && break; sleep 0.1; done
  [ -s "$dispfile" ] || { echo "env.sh: Xvfb did not start" >&2; exit 1; }

  cat > "$state/env" <<ENV
export WINEPREFIX="$state/prefix"
export WINEARCH=$winearch
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winedbg.exe=d"
export DISPLAY=:$(cat "$dispfile")
export LOCPATH="$locdir"
export KOV_LANG=$locale.UTF-8
export KOV_WINE=$wine
ENV
  # shellcheck disable=SC1091
  source "$state/env"
  rm -rf "$WINEPREFIX"
  # Set only for Wine: the shell itself does not know the private locale.
  env LANG="$KOV_LANG" LC_ALL="$KOV_LANG" timeout 240 "$wine" wineboot -i >/dev/null 2>&1
  if [ "$dpi" != 96 ]; then
    env LANG="$KOV_LANG" LC_ALL="$KOV_LANG" timeout 60 "$wine" reg add 'HKCU\Control Panel\Desktop' \
      /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  fi
  timeout 120 wineserver -w
  # Nothing that outlives this script may hold CTest's output pipes: the
  # persistent server, and the services Wine starts with the first program
  # of a fresh prefix, which we start here once for that reason.
  wineserver -p >/dev/null 2>&1 </dev/null
  env LANG="$KOV_LANG" LC_ALL="$KOV_LANG" timeout 60 "$wine" cmd /c exit >/dev/null 2>&1 </dev/null
  echo "Wine environment ready: $WINEARCH prefix, display $DISPLAY"
}

case "$cmd" in
  start) start "${3:-i686}" "${4:-ru_RU}" "${5:-96}" ;;
  stop) stop ;;
  *) echo "usage: env.sh start|stop STATE_DIR [ARCH [LOCALE [DPI]]]" >&2; exit 2 ;;
esac
