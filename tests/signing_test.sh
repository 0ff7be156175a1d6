#!/bin/bash
# Signed releases, made the way a release manager makes them: configure
# with a certificate, build, `cmake --install`. A throwaway self-signed
# code-signing certificate is made here; none is kept.
# Usage: signing_test.sh SOURCE_DIR BUILD_DIR WINE_RUN
set -euo pipefail
source_dir=$1 build=$2 wine_run=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset TAVRELON_SIGN_PASSWORD
cd "$work"

failed=0
ok() { echo "ok: $*"; }
bad() { echo "FAILED: $*"; failed=1; }
check() { local what=$1; shift; if "$@" >check.log 2>&1; then ok "$what"; else cat check.log; bad "$what"; fi; }
refuse() { local what=$1; shift; if "$@" >refused.log 2>&1; then cat refused.log; bad "$what"; else ok "$what"; fi; }

openssl req -x509 -newkey rsa:3072 -nodes -keyout key.pem -out cert.pem -days 30 \
    -subj "/CN=Tavrelon test signer" -addext extendedKeyUsage=codeSigning \
    -addext keyUsage=digitalSignature 2>/dev/null
openssl pkcs12 -export -in cert.pem -inkey key.pem -out cert.pfx -passout pass:right-password
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:3072 -out other.pem 2>/dev/null

# configure TREE [-DSETTING=...]; release TREE PREFIX
configure() {
    local tree=$1; shift
    cmake -S "$source_dir" -B "$tree" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-i686-mingw.cmake" "$@" >/dev/null
    cmake --build "$tree" --target Tavrelon >/dev/null
}
release() { cmake --install "$1" --prefix "$2"; }

configure pem -DTAVRELON_SIGN_CERT=cert.pem -DTAVRELON_SIGN_KEY=key.pem
check "signed release with a PEM certificate and key" release pem pem/dist
d=pem/dist

# Signature and integrity.
for name in Tavrelon.exe Tavrelon.msi; do
    check "$name verifies against the certificate" osslsigncode verify -CAfile cert.pem -in "$d/$name"
done
cp "$d/Tavrelon.exe" bad.exe
printf 'X' | dd of=bad.exe bs=1 seek=1024 conv=notrunc 2>/dev/null
refuse "an exe with one byte changed fails verification" osslsigncode verify -CAfile cert.pem -in bad.exe
cp "$d/Tavrelon.msi" bad.msi
cab=$(grep -obUa MSCF bad.msi | head -1 | cut -d: -f1)
printf 'X' | dd of=bad.msi bs=1 seek="$cab" conv=notrunc 2>/dev/null
refuse "an MSI with one byte of its cabinet changed fails verification" osslsigncode verify -CAfile cert.pem -in bad.msi
osslsigncode remove-signature -in "$d/Tavrelon.exe" -out unsigned.exe >/dev/null
check "removing the signature gives back the built exe" cmp unsigned.exe "$build/bin/Tavrelon.exe"
msiextract -C extracted "$d/Tavrelon.msi" >/dev/null
check "the exe inside the MSI is the signed one" cmp "extracted/Program Files/Tavrelon/Tavrelon.exe" "$d/Tavrelon.exe"
check "SHA256SUMS covers the signed files" sh -c "cd $d && sha256sum -c SHA256SUMS"

# Without a time-stamping server the release is reproducible.
configure elsewhere -DTAVRELON_SIGN_CERT=cert.pem -DTAVRELON_SIGN_KEY=key.pem
release elsewhere elsewhere/dist >/dev/null
for name in Tavrelon.exe Tavrelon.msi SHA256SUMS; do
    check "two signed releases give the same $name" cmp "$d/$name" "elsewhere/dist/$name"
done

# The signed exe still works: the version record and the program's main
# job, through the tests' own programs placed beside it.
mkdir wine
cp "$d/Tavrelon.exe" "$build/bin/resources_test.exe" "$build/bin/run_sequence_test.exe" wine/
check "the signed exe's headers, resources and version record" \
    "$wine_run" "$work/wine/resources_test.exe" </dev/null
check "the signed exe corrects Locale and exits with 1" \
    "$wine_run" "$work/wine/run_sequence_test.exe" --gtest_filter='EnUS/ProgramRun.*/BothCorrected' </dev/null

# A .pfx, with its password from the environment only.
configure pfx -DTAVRELON_SIGN_PKCS12=cert.pfx
TAVRELON_SIGN_PASSWORD=right-password check "signed release with a .pfx" release pfx pfx/dist
refuse "the password is not in the install step's output" grep right-password check.log
check "the .pfx-signed exe verifies" osslsigncode verify -CAfile cert.pem -in pfx/dist/Tavrelon.exe
refuse "the password is not in the CMake cache" grep -r right-password pfx/CMakeCache.txt

# Failures are loud and leave no release file behind, not even an earlier
# unsigned one under the final name.
mkdir -p wrong
cp "$build/bin/Tavrelon.exe" wrong/Tavrelon.exe
TAVRELON_SIGN_PASSWORD=wrong-password refuse "a wrong .pfx password fails the install step" release pfx wrong
check "the failure names TAVRELON_SIGN_PKCS12" grep -q TAVRELON_SIGN_PKCS12 refused.log
refuse "no release file is left after the failure" ls wrong/Tavrelon.exe wrong/Tavrelon.msi wrong/SHA256SUMS

configure pem -DTAVRELON_SIGN_KEY=other.pem
refuse "a key that does not match the certificate fails the install step" release pem mismatch
check "the failure names TAVRELON_SIGN_KEY" grep -q TAVRELON_SIGN_KEY refused.log
configure pem -DTAVRELON_SIGN_CERT=missing.pem -DTAVRELON_SIGN_KEY=key.pem
refuse "a missing certificate fails the install step" release pem missing
check "the failure names TAVRELON_SIGN_CERT" grep -q TAVRELON_SIGN_CERT refused.log
refuse "no release file is left after it" ls missing/Tavrelon.exe missing/Tavrelon.msi missing/SHA256SUMS

exit "$failed"
