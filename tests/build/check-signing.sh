#!/usr/bin/env bash
# check-signing.sh SIGN_SCRIPT EXE WORKDIR: signs a copy of EXE with a
# throw-away code-signing certificate and verifies the Authenticode signature.
set -euo pipefail
sign=$1
exe=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
cd "$work"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kestrune Test Signing" \
  -addext "extendedKeyUsage=codeSigning" -keyout key.pem -out cert.pem >/dev/null 2>&1
cp "$exe" unsigned.exe
cp "$exe" signed.exe
"$sign" signed.exe cert.pem key.pem
if osslsigncode verify -CAfile cert.pem -in unsigned.exe >/dev/null 2>&1; then
  echo "FAIL: an unsigned program verified"; exit 1
fi
osslsigncode verify -CAfile cert.pem -in signed.exe > verify.txt 2>&1 || { cat verify.txt; echo "FAIL: signature did not verify"; exit 1; }
grep -q "Signature verification: ok" verify.txt || { cat verify.txt; echo "FAIL: no successful verification"; exit 1; }
# Tampering with the signed image must break the signature.
printf '\x90' | dd of=signed.exe bs=1 seek=1024 conv=notrunc status=none
if osslsigncode verify -CAfile cert.pem -in signed.exe >/dev/null 2>&1; then
  echo "FAIL: a modified program still verified"; exit 1
fi
echo "signing ok"
