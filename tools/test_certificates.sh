#!/usr/bin/env bash
# Makes the certificates of the TLS tests in DIR, once per build tree (again when they are
# about to expire). Nothing here is trusted anywhere until tests/wine/trust_authority.cpp adds
# authority.cer to the test Wine prefix; the host's trust store is never touched.
#   test_certificates.sh DIR
# DIR/authority.cer      the test authority, DER, for the prefix to trust
# DIR/<name>.pem         a server's key and certificate chain (update_server.py --tls-cert):
#   trusted    localhost, from the test authority
#   untrusted  localhost, from another authority that nobody trusts
#   otherhost  other.invalid, from the test authority
#   expired    localhost, from the test authority, valid only during 2020
set -euo pipefail
out="$1"
if [ -f "$out/expired.pem" ] && openssl x509 -in "$out/trusted.pem" -noout -checkend 86400 \
  >/dev/null 2>&1; then
  exit 0
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

authority() {  # NAME COMMON_NAME
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout "$1.key" -out "$1.crt" \
    -subj "/CN=$2" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}

# `openssl ca` is the one command of OpenSSL 3.0 that takes validity dates in the past.
mkdir ca
: >ca/index.txt
cat >ca.cnf <<'EOF'
[ca]
default_ca = test
[test]
database = ca/index.txt
new_certs_dir = ca
serial = ca/serial
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
EOF

server() {  # NAME AUTHORITY HOST START END
  openssl rand -hex 16 >ca/serial
  openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$3" 2>/dev/null
  printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature,keyEncipherment" \
    "extendedKeyUsage=serverAuth" "subjectAltName=DNS:$3" >"$1.ext"
  openssl ca -batch -notext -config ca.cnf -cert "$2.crt" -keyfile "$2.key" -in "$1.csr" \
    -out "$1.crt" -startdate "$4" -enddate "$5" -extfile "$1.ext" 2>/dev/null
  # The authority goes with the certificate, so that a client sees the whole chain.
  cat "$1.key" "$1.crt" "$2.crt" >"$1.pem"
}

now="$(date -u -d "-1 hour" +%Y%m%d%H%M%SZ)"
later="$(date -u -d '+10 years' +%Y%m%d%H%M%SZ)"
authority authority "Tavrel Test Authority"
authority stranger "Tavrel Untrusted Authority"
server trusted authority localhost "$now" "$later"
server untrusted stranger localhost "$now" "$later"
server otherhost authority other.invalid "$now" "$later"
server expired authority localhost 20200101000000Z 20210101000000Z
openssl x509 -in authority.crt -outform DER -out authority.cer

mkdir -p "$out"
cp authority.cer trusted.pem untrusted.pem otherhost.pem "$out/"
# Written last: its presence says the set is whole.
cp expired.pem "$out/"
