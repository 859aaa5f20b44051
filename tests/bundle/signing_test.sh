#!/usr/bin/env bash
# The demo package bundled and signed as a product maker does it, with a certificate of a test authority made
# here: osslsigncode verifies the bundle and the program files in it against that authority, the signed bundle
# still installs, and a byte changed in the package behind the program makes verification fail.
#   signing_test.sh SETUPPACK PACKAGE STUB WORK WINE-RUN PREFIX
set -euo pipefail
setuppack=$1 package=$2 stub=$3 work=$4 winerun=$5 prefix=$6
fail() { echo "FAILED: $*" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work" && cd "$work"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Setup Test Authority" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout sign.key -out sign.csr -subj "/CN=Orvik Test Publisher" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' > ext.cnf
openssl x509 -req -in sign.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out sign.pem -days 2 -extfile ext.cnf \
  2>/dev/null
# Another authority, which has signed nothing here.
openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.pem -days 2 -subj "/CN=Other" 2>/dev/null

cp -r "$package" package
"$setuppack" check package 2> check-unsigned.txt >/dev/null
grep -q "setup.exe: warning: not signed" check-unsigned.txt || fail "check did not warn about unsigned setup.exe"

"$setuppack" bundle package DemoPadSetup.exe --stub "$stub" --sign --cert sign.pem --key sign.key > bundle.txt \
  || fail "bundle --sign: $(cat bundle.txt)"
for file in DemoPadSetup.exe package/setup.exe package/setupenglish.dll package/setupgerman.dll; do
  osslsigncode verify -in "$file" -CAfile ca.pem > verify.txt 2>&1 || fail "$file does not verify: $(cat verify.txt)"
done
"$setuppack" check package 2> check-signed.txt >/dev/null
! grep -q "not signed" check-signed.txt || fail "check still warns: $(cat check-signed.txt)"
! osslsigncode verify -in DemoPadSetup.exe -CAfile other.pem > /dev/null 2>&1 || fail "verified by a stranger"

# Signing again replaces the signature rather than adding a second one.
cp DemoPadSetup.exe again.exe
"$setuppack" sign again.exe --cert sign.pem --key sign.key > /dev/null
osslsigncode verify -in again.exe -CAfile ca.pem 2>&1 | grep -q "Number of verified signatures: 1" \
  || fail "signing twice left more than one signature"

# One byte of the package (past the program, before the signature) changed: the signature no longer holds.
python3 - <<'PY'
data = bytearray(open("DemoPadSetup.exe", "rb").read())
at = len(data) // 2 + len(data) // 4
data[at] ^= 0x01
open("tampered.exe", "wb").write(data)
PY
! osslsigncode verify -in tampered.exe -CAfile ca.pem > tampered.txt 2>&1 || fail "a tampered bundle verifies"

# The signature behind the package does not keep the bundle from reading it: it installs, unattended.
drive_q="$prefix/drive-q/signing_$$"
mkdir -p "$drive_q"
cp DemoPadSetup.exe "$drive_q/"
code=0
"$winerun" --prefix "$prefix" "Q:\\signing_$$\\DemoPadSetup.exe" /VERYSILENT "/DIR:Q:\\signing_$$\\DemoPad" \
  > /dev/null 2>&1 || code=$?
installed=$([[ -f "$drive_q/DemoPad/demoapp.exe" ]] && echo yes || echo no)
"$winerun" --prefix "$prefix" "Q:\\signing_$$\\DemoPad\\setup.exe" -remove OrvikDemoPad /VERYSILENT \
  > /dev/null 2>&1 || true
rm -rf "$drive_q"
[[ $code == 0 && $installed == yes ]] || fail "the signed bundle did not install (exit code $code)"
echo "signed bundle verified, tampered bundle refused, signed bundle installed"
