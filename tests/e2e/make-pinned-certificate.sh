#!/usr/bin/env bash
# make-pinned-certificate.sh OUTPUT STORE_DESCRIPTION: a throw-away CA and a
# certificate for "localhost" signed by it, and the store description of the
# pinned test installer: STORE_DESCRIPTION (everything but the pins) with
# that certificate's SHA-256 pinned for "localhost". Made at build time into
# the build tree; the CA's key is deleted once it has signed.
#   OUTPUT/ca.der           the CA, to be trusted in the test prefix
#   OUTPUT/server.pem, .key the server's certificate and key, for nginx
#   OUTPUT/protectedStorePinned.txt
set -euo pipefail
output=$(realpath -m "$1")
description=$(realpath "$2")
rm -rf "$output"
mkdir -p "$output"
cd "$output"
echo "make-pinned-certificate: a certificate for localhost pinned in $output/protectedStorePinned.txt"
openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 825 -keyout ca.key -out ca.pem \
  -subj "/CN=Kestrune test pinned CA $$" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl x509 -in ca.pem -outform DER -out ca.der
cat > server.ext <<EXT
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:localhost
EXT
openssl req -newkey rsa:2048 -nodes -sha256 -keyout server.key -out server.csr -subj "/CN=localhost" 2>/dev/null
openssl x509 -req -sha256 -days 825 -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -extfile server.ext \
  -out server.pem 2>/dev/null
rm -f ca.key ca.srl server.csr server.ext
digest=$(openssl x509 -in server.pem -outform DER | sha256sum | cut -d' ' -f1)
{
  cat "$description"
  printf 'string\tcertificatePins\tlocalhost=%s\n' "$digest"
} >protectedStorePinned.txt.new
mv protectedStorePinned.txt.new protectedStorePinned.txt
