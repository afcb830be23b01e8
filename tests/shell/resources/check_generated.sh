#!/usr/bin/env bash
# The committed icons and sound are exactly what the generators write today.
#   check_generated.sh PYTHON SOURCE_DIR WORK_DIR
set -euo pipefail
python=$1; src=$2; work=$3
rm -rf "$work"; mkdir -p "$work"
"$python" "$src/tools/gen_icons.py" "$work"
"$python" "$src/tools/gen_wave.py" "$work/new_message.wav"
status=0
for generated in "$work"/*; do
  committed="$src/shell/res/$(basename "$generated")"
  if ! cmp -s "$generated" "$committed"; then
    echo "differs from the generator's output: $committed" >&2
    status=1
  fi
done
exit $status
