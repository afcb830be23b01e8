#!/usr/bin/env bash
# Makes a throwaway self-signed code-signing certificate for builds that are
# given no publisher certificate:
#   make-test-publisher.sh DIR
# writes DIR/publisher.pem and DIR/publisher.key unless both exist already.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: make-test-publisher.sh DIR" >&2; exit 2; }
dir=$1
[ -s "$dir/publisher.pem" ] && [ -s "$dir/publisher.key" ] && exit 0
mkdir -p "$dir"
work=$(mktemp -d "$dir/.work.XXXXXX")
trap 'rm -rf "$work"' EXIT
cat > "$work/openssl.cnf" <<'CNF'
[ req ]
distinguished_name = subject
prompt = no
[ subject ]
[ code_signing ]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
CNF
openssl req -x509 -new -newkey rsa:2048 -nodes -keyout "$work/publisher.key" -sha256 -days 3650 \
  -subj "/CN=Kovarentis Test Publisher/O=Kovarentis (test build)" \
  -config "$work/openssl.cnf" -extensions code_signing -out "$work/publisher.pem" 2>/dev/null
chmod 600 "$work/publisher.key"
mv "$work/publisher.key" "$work/publisher.pem" "$dir/"
