#!/usr/bin/env bash
# Makes the TLS test certificates for the stand-in service into DIR:
#   make-certs.sh DIR
#
#   ca-trusted.{pem,der,key}   the test CA; tests add ca-trusted.der to the
#                              Wine prefix's "Root" store
#   ca-untrusted.{pem,key}     a CA that nobody trusts
#   leaf-unknown-ca.*          CN=127.0.0.2, issued by the untrusted CA
#   leaf-expired.*             CN=127.0.0.3, issued by the test CA, valid 2001-2002
#   leaf-other-host.*          CN=other.invalid, issued by the test CA
#   leaf-trusted.*             CN=127.0.0.5, issued by the test CA, valid now
# Each leaf comes as NAME.key and NAME.chain.pem (the leaf, then its issuer),
# which is what a server sends. The leaves carry no subjectAltName: Wine
# matches the host against DNS names or the CN, never an IP address entry.
# Existing files in DIR are replaced.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: make-certs.sh DIR" >&2; exit 2; }
dir=$(realpath -m "$1")
mkdir -p "$dir"
work=$(mktemp -d "$dir/.work.XXXXXX")
trap 'rm -rf "$work"' EXIT

cat > "$work/openssl.cnf" <<'CNF'
[ req ]
distinguished_name = subject
prompt = no
[ subject ]
[ ca_ext ]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[ ca ]
default_ca = issuer
[ issuer ]
database = $ENV::CA_DIR/index.txt
new_certs_dir = $ENV::CA_DIR
serial = $ENV::CA_DIR/serial
default_md = sha256
policy = any_name
unique_subject = no
x509_extensions = leaf_ext
[ any_name ]
commonName = supplied
[ leaf_ext ]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid, issuer
CNF
export OPENSSL_CONF="$work/openssl.cnf"
# The issuer section reads its database directory from here; set per issuer below.
export CA_DIR="$work"

new_key() {  # path
  openssl genpkey -quiet -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1"
}

make_ca() {  # name, common name
  local name=$1 cn=$2
  new_key "$dir/$name.key"
  openssl req -x509 -new -key "$dir/$name.key" -subj "/CN=$cn" -days 3650 -sha256 \
    -extensions ca_ext -out "$dir/$name.pem"
  mkdir -p "$work/$name"
  : > "$work/$name/index.txt"
  openssl rand -hex 8 > "$work/$name/serial"
}

# Validity: either "-days N" or "-startdate X -enddate Y" (YYYYMMDDHHMMSSZ).
make_leaf() {  # name, common name, issuer, validity...
  local name=$1 cn=$2 issuer=$3; shift 3
  new_key "$dir/$name.key"
  openssl req -new -key "$dir/$name.key" -subj "/CN=$cn" -out "$work/$name.csr"
  CA_DIR="$work/$issuer" openssl ca -batch -notext -cert "$dir/$issuer.pem" \
    -keyfile "$dir/$issuer.key" -in "$work/$name.csr" -out "$dir/$name.pem" "$@" 2>/dev/null
  cat "$dir/$name.pem" "$dir/$issuer.pem" > "$dir/$name.chain.pem"
}

make_ca ca-trusted "Kovarentis Test CA"
make_ca ca-untrusted "Kovarentis Untrusted CA"
openssl x509 -in "$dir/ca-trusted.pem" -outform DER -out "$dir/ca-trusted.der"

make_leaf leaf-unknown-ca 127.0.0.2 ca-untrusted -days 3650
make_leaf leaf-expired 127.0.0.3 ca-trusted -startdate 20010101000000Z -enddate 20020101000000Z
make_leaf leaf-other-host other.invalid ca-trusted -days 3650
make_leaf leaf-trusted 127.0.0.5 ca-trusted -days 3650
echo "make-certs: certificates in $dir"
