#!/usr/bin/env bash
# make-signed-fixtures.sh OUTPUT INSTALLER SAMPLE_BIN VERSION: a signed copy of
# the installer and packages whose updater is signed by the same publisher,
# by another one, signed and then altered, or not signed at all. The two
# throw-away certificates are made here, at test time, and their keys are
# deleted once everything is signed; their SHA-256 digests stay
# (publisher.sha256, other.sha256).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
output=$(realpath -m "$1")
installer=$(realpath "$2")
sample_bin=$(realpath "$3")
version=$4
rm -rf "$output"
mkdir -p "$output/keys"
cd "$output"
for signer in publisher other; do
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kestrune Test ${signer^} $$" \
    -addext "extendedKeyUsage=codeSigning" -keyout "keys/$signer.key" -out "keys/$signer.pem" >/dev/null 2>&1
done
sign() { # exe signer
  "$root/scripts/sign-exe" "$1" "keys/$2.pem" "keys/$2.key" >/dev/null
}
cp "$installer" installer-signed.exe
sign installer-signed.exe publisher
chmod +x installer-signed.exe
mkdir -p updaters
cp "$sample_bin/KestruneUpdater.exe" updaters/unsigned.exe
cp updaters/unsigned.exe updaters/same-signer.exe
sign updaters/same-signer.exe publisher
cp updaters/unsigned.exe updaters/other-signer.exe
sign updaters/other-signer.exe other
cp updaters/same-signer.exe updaters/tampered.exe
# One byte of the code changed after signing.
printf '\x90' | dd of=updaters/tampered.exe bs=1 seek=1100 conv=notrunc status=none
# The certificates' digests, as a build would carry its publisher.
for signer in publisher other; do
  openssl x509 -in "keys/$signer.pem" -outform DER | sha256sum | cut -c1-64 >"$signer.sha256"
done
rm -rf keys
for kind in same-signer other-signer tampered unsigned; do
  python3 "$root/tools/make-package.py" --updater "updaters/$kind.exe" \
    --launcher "$sample_bin/KestruneLauncher.exe" --uninstaller "$sample_bin/Uninstall.exe" \
    --version "$version" --payload-mb 0.1 --files 4 --output "$kind-updater.zip" >/dev/null
done
echo "make-signed-fixtures: signed installer and four packages in $output"
