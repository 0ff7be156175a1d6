#!/bin/bash
# Signs one release file (Tavrelon.exe or Tavrelon.msi) with Authenticode,
# SHA-256, through osslsigncode. Writes OUT only when signing succeeded.
# Usage: sign.sh IN OUT
# The settings come from the environment, as the release step passes them:
#   TAVRELON_SIGN_CERT + TAVRELON_SIGN_KEY   PEM certificate (chain) and key
#   TAVRELON_SIGN_PKCS12                     or a .pfx / .p12 file
#   TAVRELON_SIGN_PASSWORD                   the key's or the file's password
#   TAVRELON_SIGN_TIMESTAMP_URL              optional RFC 3161 server
#   SOURCE_DATE_EPOCH                        the signing time without a server
#                                            (the last commit's when not set)
# The password only ever travels through the environment and a pipe, never
# on a command line.
set -euo pipefail
in=$1 out=$2

fail() {
    echo "Signing $(basename "$out") failed: $*" >&2
    exit 1
}
readable() {
    [ -n "$2" ] || fail "$1 is not set"
    [ -f "$2" ] && [ -r "$2" ] || fail "$1: cannot read $2"
}
password() {
    printf '%s' "${TAVRELON_SIGN_PASSWORD:-}"
}
# How openssl (from the environment) and osslsigncode (from the pipe) read
# the password, when one is set.
passin=() readpass=()
if [ -n "${TAVRELON_SIGN_PASSWORD+set}" ]; then
    passin=(-passin env:TAVRELON_SIGN_PASSWORD) readpass=(-readpass /dev/stdin)
fi

args=(sign -h sha256 -n Tavrelon)
if [ -n "${TAVRELON_SIGN_PKCS12:-}" ]; then
    readable TAVRELON_SIGN_PKCS12 "$TAVRELON_SIGN_PKCS12"
    [ ${#passin[@]} -gt 0 ] || passin=(-passin pass:)
    openssl pkcs12 -in "$TAVRELON_SIGN_PKCS12" -noout "${passin[@]}" 2>/dev/null \
        || fail "TAVRELON_SIGN_PKCS12: cannot open $TAVRELON_SIGN_PKCS12 (wrong password in TAVRELON_SIGN_PASSWORD?)"
    args+=(-pkcs12 "$TAVRELON_SIGN_PKCS12")
else
    readable TAVRELON_SIGN_CERT "${TAVRELON_SIGN_CERT:-}"
    readable TAVRELON_SIGN_KEY "${TAVRELON_SIGN_KEY:-}"
    cert_key=$(openssl x509 -in "$TAVRELON_SIGN_CERT" -noout -pubkey 2>/dev/null) \
        || fail "TAVRELON_SIGN_CERT: $TAVRELON_SIGN_CERT holds no PEM certificate"
    own_key=$(openssl pkey -in "$TAVRELON_SIGN_KEY" -pubout "${passin[@]}" 2>/dev/null) \
        || fail "TAVRELON_SIGN_KEY: cannot read the key in $TAVRELON_SIGN_KEY (wrong password in TAVRELON_SIGN_PASSWORD?)"
    [ "$cert_key" = "$own_key" ] \
        || fail "TAVRELON_SIGN_KEY: the key does not match the certificate in TAVRELON_SIGN_CERT"
    args+=(-certs "$TAVRELON_SIGN_CERT" -key "$TAVRELON_SIGN_KEY")
fi
if [ -n "${TAVRELON_SIGN_TIMESTAMP_URL:-}" ]; then
    args+=(-ts "$TAVRELON_SIGN_TIMESTAMP_URL")
else
    source "$(dirname "$0")/source-date-epoch.sh"
    args+=(-time "$SOURCE_DATE_EPOCH")
fi
case "$in" in
*.msi) args+=(-add-msi-dse) ;;
esac

# osslsigncode refuses to overwrite its output, and a failed run may leave
# a partial one: sign into a scratch name and move it into place.
rm -f "$out.signing"
if ! password | osslsigncode "${args[@]}" "${readpass[@]}" -in "$in" -out "$out.signing" >"$out.signing.log" 2>&1; then
    cat "$out.signing.log" >&2
    rm -f "$out.signing" "$out.signing.log"
    if [ -n "${TAVRELON_SIGN_TIMESTAMP_URL:-}" ]; then
        fail "osslsigncode could not sign it (is TAVRELON_SIGN_TIMESTAMP_URL reachable?)"
    fi
    fail "osslsigncode could not sign it"
fi
rm -f "$out.signing.log"
mv "$out.signing" "$out"
