#!/usr/bin/env bash
# Signs a Windows executable in place with Authenticode (SHA-256):
#   sign.sh CERT KEY FILE
# CERT is the publisher certificate, PEM, optionally followed by the
# certificates that lead to its authority; KEY its private key, PEM. A file
# that already carries a signature has it replaced, so a file patched after
# signing can be signed again. The file comes last, as NSIS's !finalize appends it.
# With KOV_TIMESTAMP_URL set in the environment the signature gets an RFC 3161
# timestamp from that service (the signing fails when it cannot be reached), so
# that it stays valid after the certificate expires; without it, none.
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: sign.sh CERT KEY FILE" >&2; exit 2; }
cert=$1 key=$2 file=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/kov-sign.XXXXXX")
trap 'rm -rf "$work"' EXIT
osslsigncode remove-signature -in "$file" -out "$work/unsigned" >/dev/null 2>&1 || cp "$file" "$work/unsigned"
timestamp=()
[ -n "${KOV_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$KOV_TIMESTAMP_URL")
osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n "Kovarentis" "${timestamp[@]}" \
  -in "$work/unsigned" -out "$work/signed" >/dev/null
cp "$work/signed" "$file"
