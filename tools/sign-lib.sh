# Sourced by tools/release.sh and tools/check-reproducible.sh: Authenticode signing with
# osslsigncode. The vendor's signing identity comes from the environment, never from a command
# line. One of:
#   MEMOTACK_SIGN_PKCS11_MODULE=FILE and MEMOTACK_SIGN_PKCS11_KEY=URI
#                                   a key in a token or HSM: the PKCS#11 module's path and the key's
#                                   PKCS#11 URI or id, reached through Debian's PKCS#11 engine
#                                   (libengine-pkcs11-openssl); the certificate is the token's object
#                                   MEMOTACK_SIGN_PKCS11_CERT=URI, or the file MEMOTACK_SIGN_CERT
#   MEMOTACK_SIGN_PKCS12=FILE       a PKCS#12 bundle holding the certificate, its chain and the key
#   MEMOTACK_SIGN_CERT=FILE and MEMOTACK_SIGN_KEY=FILE
#                                   the certificate chain and the key as PEM or DER files
# and:
#   MEMOTACK_SIGN_PIN               the token's user PIN (PKCS#11)
#   MEMOTACK_SIGN_PASSWORD          the bundle's or the key's password, if it has one
#   MEMOTACK_SIGN_CA=FILE           the CA certificates (PEM) the signature is verified against;
#                                   default: the system's list
#   MEMOTACK_TIMESTAMP_URL          an RFC 3161 time-stamp server; without one the signature
#                                   carries only the signing time, which is SOURCE_DATE_EPOCH
#   MEMOTACK_TIMESTAMP_CA=FILE      the CA certificates the time stamp is verified against;
#                                   default: the system's list
# Only options that osslsigncode 2.5 (Debian 12) has are used.

# The PIN and the password stay in this shell: no program started from here inherits them, and
# osslsigncode reads them from a pipe (-readpass /dev/fd/N); they are never in a file or argv.
memotack_sign_pin="${MEMOTACK_SIGN_PIN-}"
memotack_sign_password="${MEMOTACK_SIGN_PASSWORD-}"
export -n MEMOTACK_SIGN_PIN MEMOTACK_SIGN_PASSWORD 2>/dev/null || true

# memotack_signing_identity: true when an identity is given; exits 2 when only half of one is.
memotack_signing_identity() {
    if [ -n "${MEMOTACK_SIGN_PKCS11_MODULE:-}${MEMOTACK_SIGN_PKCS11_KEY:-}" ]; then
        [ -r "${MEMOTACK_SIGN_PKCS11_MODULE:-}" ] ||
            memotack_sign_fail "cannot read MEMOTACK_SIGN_PKCS11_MODULE=${MEMOTACK_SIGN_PKCS11_MODULE:-}"
        [ -n "${MEMOTACK_SIGN_PKCS11_KEY:-}" ] || memotack_sign_fail "MEMOTACK_SIGN_PKCS11_KEY is not set"
        [ -n "${MEMOTACK_SIGN_PKCS11_CERT:-}" ] || [ -r "${MEMOTACK_SIGN_CERT:-}" ] ||
            memotack_sign_fail "a token's key needs its certificate: MEMOTACK_SIGN_PKCS11_CERT or MEMOTACK_SIGN_CERT"
        return 0
    fi
    if [ -n "${MEMOTACK_SIGN_PKCS12:-}" ]; then
        [ -r "$MEMOTACK_SIGN_PKCS12" ] || memotack_sign_fail "cannot read MEMOTACK_SIGN_PKCS12=$MEMOTACK_SIGN_PKCS12"
        return 0
    fi
    if [ -n "${MEMOTACK_SIGN_CERT:-}${MEMOTACK_SIGN_KEY:-}" ]; then
        [ -r "${MEMOTACK_SIGN_CERT:-}" ] || memotack_sign_fail "cannot read MEMOTACK_SIGN_CERT=${MEMOTACK_SIGN_CERT:-}"
        [ -r "${MEMOTACK_SIGN_KEY:-}" ] || memotack_sign_fail "cannot read MEMOTACK_SIGN_KEY=${MEMOTACK_SIGN_KEY:-}"
        return 0
    fi
    return 1
}

memotack_sign_fail() {
    echo "sign: $*" >&2
    exit 2
}

# memotack_sign IN OUT [DESCRIPTION]: writes OUT, IN signed with SHA-256 and dated
# SOURCE_DATE_EPOCH. Signing the same IN with the same key and time gives the same bytes (RSA
# PKCS#1 v1.5 signatures are deterministic), unless a time-stamp server adds its own token.
memotack_sign() {
    local in="$1" out="$2" secret="$memotack_sign_password" log status=0
    local args=(sign -h sha256 -n "${3:-Memotack Setup}" -time "${SOURCE_DATE_EPOCH:?SOURCE_DATE_EPOCH must be set}")
    if [ -n "${MEMOTACK_SIGN_PKCS11_MODULE:-}" ]; then
        args+=(-pkcs11module "$MEMOTACK_SIGN_PKCS11_MODULE" -key "$MEMOTACK_SIGN_PKCS11_KEY")
        if [ -n "${MEMOTACK_SIGN_PKCS11_CERT:-}" ]; then
            args+=(-pkcs11cert "$MEMOTACK_SIGN_PKCS11_CERT")
        else
            args+=(-certs "$MEMOTACK_SIGN_CERT")
        fi
        secret="$memotack_sign_pin"
    elif [ -n "${MEMOTACK_SIGN_PKCS12:-}" ]; then
        args+=(-pkcs12 "$MEMOTACK_SIGN_PKCS12")
    else
        args+=(-certs "$MEMOTACK_SIGN_CERT" -key "$MEMOTACK_SIGN_KEY")
    fi
    [ -n "${MEMOTACK_TIMESTAMP_URL:-}" ] && args+=(-ts "$MEMOTACK_TIMESTAMP_URL")
    rm -f "$out"
    if [ -n "$secret" ]; then
        # printf is a shell builtin: the secret reaches the pipe without an exec'd command line.
        log=$(osslsigncode "${args[@]}" -readpass <(printf '%s' "$secret") -in "$in" -out "$out" 2>&1) || status=$?
    else
        log=$(osslsigncode "${args[@]}" -in "$in" -out "$out" 2>&1) || status=$?
    fi
    [ $status -eq 0 ] || printf '%s\n' "$log" >&2
    return $status
}

# memotack_verify FILE: osslsigncode's verdict on FILE's signature against MEMOTACK_SIGN_CA (or the
# system's CAs), and on its time stamp, if it has one, against MEMOTACK_TIMESTAMP_CA; the report
# goes to standard output. osslsigncode accepts a signature whose time stamp fails (it then judges
# the certificate at the present time), so that case is refused here.
memotack_verify() {
    local ca=() report status=0
    [ -n "${MEMOTACK_SIGN_CA:-}" ] && ca=(-CAfile "$MEMOTACK_SIGN_CA")
    [ -n "${MEMOTACK_TIMESTAMP_CA:-}" ] && ca+=(-TSA-CAfile "$MEMOTACK_TIMESTAMP_CA")
    report=$(osslsigncode verify "${ca[@]}" -in "$1" 2>&1) || status=$?
    printf '%s\n' "$report"
    [ $status -eq 0 ] && ! grep -q '^Timestamp Server Signature verification: failed' <<<"$report"
}

# memotack_timestamped FILE: true when FILE's signature carries a time stamp that verifies.
memotack_timestamped() {
    local report
    report=$(memotack_verify "$1") && grep -q '^Timestamp Server Signature verification: ok' <<<"$report"
}
