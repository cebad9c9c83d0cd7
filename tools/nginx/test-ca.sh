#!/usr/bin/env bash
# Makes, once per build tree, the test certificate authority the tests and the demo serve TLS
# with, in BUILD/tls/:
#   ca.pem, ca.key           the test authority (trusted inside BUILD's wine prefix only)
#   server.pem, server.key   a server certificate for the name "localhost", issued by it;
#                            server.pem carries the chain (the server's, then the authority's)
#   untrusted/               another authority nobody trusts and a "localhost" certificate of
#                            its own, for the tests of a refused server
#   ca.reg                   the registry file that trusts ca.pem for the current user
#   ca.sha1                  the authority's SHA-1 thumbprint
# The host's own certificate store is never touched: tools/wine/prefix.sh imports ca.reg into
# the prefix's registry (HKCU\Software\Microsoft\SystemCertificates\Root).
#   test-ca.sh BUILD
set -euo pipefail
build="$(cd "$1" && pwd)"
dir="$build/tls"
ready() { [ -f "$dir/ca.sha1" ] && [ -f "$dir/untrusted/server.pem" ]; }
ready && exit 0
# Tests start this in parallel: one makes the files, the others wait for them.
exec 7>"$build/tls.lock"
flock 7
ready && exit 0

tmp="$dir.tmp.$$"
rm -rf "$tmp" && mkdir -p "$tmp/untrusted"
trap 'rm -rf "$tmp"' EXIT
days=3650

# authority OUT NAME: a self-signed certificate authority OUT.pem with its key OUT.key.
authority() {
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days "$days" -subj "/CN=$2" \
    -keyout "$1.key" -out "$1.pem" \
    -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}

# server OUT AUTHORITY: a certificate for "localhost" issued by AUTHORITY.pem, chain included.
server() {
  cat >"$1.ext" <<EXT
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:localhost
EXT
  openssl req -new -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout "$1.key" \
    -out "$1.csr" 2>/dev/null
  openssl x509 -req -sha256 -days "$days" -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" \
    -set_serial "0x$(openssl rand -hex 8)" -extfile "$1.ext" -out "$1.leaf.pem" 2>/dev/null
  cat "$1.leaf.pem" "$2.pem" >"$1.pem"
  rm -f "$1.ext" "$1.csr" "$1.leaf.pem"
}

authority "$tmp/ca" "Ombrix test authority"
server "$tmp/server" "$tmp/ca"
authority "$tmp/untrusted/ca" "Ombrix untrusted test authority"
server "$tmp/untrusted/server" "$tmp/untrusted/ca"

# The certificate as the system store keeps it: the property header (certificate property,
# reserved 1), the DER length as 32-bit little-endian, then the DER bytes.
thumb="$(openssl x509 -in "$tmp/ca.pem" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g' |
  tr 'a-f' 'A-F')"
openssl x509 -in "$tmp/ca.pem" -outform DER -out "$tmp/ca.der"
blob="$(python3 - "$tmp/ca.der" <<'PY'
import struct, sys
der = open(sys.argv[1], "rb").read()
data = bytes([0x20, 0, 0, 0, 1, 0, 0, 0]) + struct.pack("<I", len(der)) + der
print(",".join("%02x" % b for b in data))
PY
)"
{
  printf '\xff\xfe'
  iconv -f UTF-8 -t UTF-16LE <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\$thumb]
"Blob"=hex:$blob

REG
} >"$tmp/ca.reg"
echo "$thumb" >"$tmp/ca.sha1"
rm -f "$tmp/ca.der"
chmod 600 "$tmp"/*.key "$tmp"/untrusted/*.key

rm -rf "$dir"
mv "$tmp" "$dir"
trap - EXIT
