#!/usr/bin/env bash
# CTest's emulator for Windows test executables: runs one program inside the
# Wine environment that `env.sh start` prepared in STATE_DIR.
set -euo pipefail
state=$1; shift
if [ ! -f "$state/env" ]; then
  echo "run.sh: no Wine environment in $state (run the wine.env.start test first)" >&2
  exit 2
fi
# shellcheck disable=SC1091
source "$state/env"
# A hung WinINet call can outlive every library time-out: never wait forever.
exec env LANG="$KOV_LANG" LC_ALL="$KOV_LANG" \
  timeout --kill-after=10 "${KOV_RUN_TIMEOUT:-280}" "$KOV_WINE" "$@"
