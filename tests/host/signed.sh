#!/bin/bash
# Signs a copy of setup.exe the way a release build does, with a certificate
# made here and thrown away, then checks that osslsigncode accepts the
# signature, and that the signed program installs quietly byte for byte and
# still checks its payload (the certificate table is appended to the image).
# usage: signed.sh SOURCE-DIR SETUP-EXE WORK-DIR
set -u
src=$1; exe=$2; work=$3
build=$(cd "$(dirname "$exe")" && pwd)
rm -rf "$work"; mkdir -p "$work"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=ZELTRA Pro test signer" \
    -addext keyUsage=digitalSignature -addext extendedKeyUsage=codeSigning \
    -keyout "$work/key.pem" -out "$work/cert.pem" >"$work/openssl.log" 2>&1 \
    || { cat "$work/openssl.log"; echo "FAIL no throwaway certificate"; exit 1; }
cp "$exe" "$work/setup.exe"
cmake -DEXE="$work/setup.exe" -DCERT="$work/cert.pem" -DKEY="$work/key.pem" -DCAFILE="$work/cert.pem" \
      -P "$src/cmake/sign.cmake" >"$work/sign.log" 2>&1 \
    || { cat "$work/sign.log"; echo "FAIL signing"; exit 1; }
rm -f "$work/key.pem"

fail=0
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/setup.exe" >"$work/verify.log" 2>&1
rc=$?
grep -E "Signature verification|Number of verified|Succeeded|Failed" "$work/verify.log"
if [ $rc -ne 0 ] || ! grep -q "^Signature verification: ok" "$work/verify.log"; then
    cat "$work/verify.log"; echo "FAIL osslsigncode verify"; fail=1
fi
if cmp -s "$exe" "$work/setup.exe"; then echo "FAIL the copy was not signed"; fail=1; fi

# The same end-to-end tests, run on the signed image.
winexe=$(printf 'Z:%s' "$work/setup.exe" | tr '/' '\\')
runs=(e2e_install_quiet "QuietInstall.FreshInstallationOfEveryComponent"
      e2e_payload "Payload.*"
      e2e_payload_integrity "DamagedPayload.*")
for ((i = 0; i < ${#runs[@]}; i += 2)); do
    name=${runs[i]}
    ZT_SETUP_EXE=$winexe bash "$src/cmake/wine-run.sh" "$build/$name.exe" --gtest_filter="${runs[i + 1]}" \
        >"$work/$name.log" 2>&1
    rc=$?
    grep -E "^\[  (PASSED|FAILED) " "$work/$name.log" | sed "s/^/$name: /"
    if [ $rc -ne 0 ] || ! grep -qE "^\[  PASSED  \] [1-9]" "$work/$name.log"; then
        cat "$work/$name.log"; echo "FAIL $name on the signed setup.exe"; fail=1
    fi
done
exit $fail
