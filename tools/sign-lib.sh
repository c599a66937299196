# Sourced by tools/release.sh and tools/check-reproducible.sh: Authenticode signing of the installer
# with osslsigncode. The vendor's signing identity comes from the environment, never from a command
# line:
#   MEMOTACK_SIGN_PKCS12=FILE       a PKCS#12 bundle holding the certificate, its chain and the key; or
#   MEMOTACK_SIGN_CERT=FILE and MEMOTACK_SIGN_KEY=FILE
#                                   the certificate chain and the key as PEM or DER files
#   MEMOTACK_SIGN_PASSWORD          the bundle's or the key's password, if it has one
#   MEMOTACK_SIGN_CA=FILE           the CA certificates (PEM) the signature is verified against;
#                                   default: the system's list
#   MEMOTACK_TIMESTAMP_URL          an RFC 3161 time-stamp server; without one the signature
#                                   carries only the signing time, which is SOURCE_DATE_EPOCH
# Only options that osslsigncode 2.5 (Debian 12) has are used.

# The password stays in this shell: no program started from here inherits it, and osslsigncode
# reads it from a file only its user can read.
memotack_sign_password="${MEMOTACK_SIGN_PASSWORD-}"
export -n MEMOTACK_SIGN_PASSWORD 2>/dev/null || true

# memotack_signing_identity: true when an identity is given; exits 2 when only half of one is.
memotack_signing_identity() {
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

# memotack_sign IN OUT: writes OUT, IN signed with SHA-256 and dated SOURCE_DATE_EPOCH. Signing
# the same IN with the same key and time gives the same bytes (RSA PKCS#1 v1.5 signatures are
# deterministic), unless a time-stamp server adds its own token.
memotack_sign() {
    local in="$1" out="$2" pass_dir status=0
    local args=(sign -h sha256 -n "Memotack Setup" -time "${SOURCE_DATE_EPOCH:?SOURCE_DATE_EPOCH must be set}")
    if [ -n "${MEMOTACK_SIGN_PKCS12:-}" ]; then
        args+=(-pkcs12 "$MEMOTACK_SIGN_PKCS12")
    else
        args+=(-certs "$MEMOTACK_SIGN_CERT" -key "$MEMOTACK_SIGN_KEY")
    fi
    [ -n "${MEMOTACK_TIMESTAMP_URL:-}" ] && args+=(-ts "$MEMOTACK_TIMESTAMP_URL")
    pass_dir=$(mktemp -d)
    if [ -n "$memotack_sign_password" ]; then
        (umask 077 && printf '%s' "$memotack_sign_password" >"$pass_dir/pass")
        args+=(-readpass "$pass_dir/pass")
    fi
    rm -f "$out"
    osslsigncode "${args[@]}" -in "$in" -out "$out" >"$pass_dir/log" 2>&1 || status=$?
    [ $status -eq 0 ] || cat "$pass_dir/log" >&2
    rm -rf "$pass_dir"
    return $status
}

# memotack_verify FILE: osslsigncode's verdict on FILE's signature against MEMOTACK_SIGN_CA (or the
# system's CAs); its report goes to standard output.
memotack_verify() {
    local ca=()
    [ -n "${MEMOTACK_SIGN_CA:-}" ] && ca=(-CAfile "$MEMOTACK_SIGN_CA")
    osslsigncode verify "${ca[@]}" -in "$1"
}
