# Sourced by tools/release.sh and tools/check-reproducible.sh: Authenticode signing with
# osslsigncode. The environment names the vendor's signing identity, one of:
#   MEMOTACK_SIGN_PKCS11_MODULE=FILE and MEMOTACK_SIGN_PKCS11_KEY=URI
#                                   a key in a token or HSM: the PKCS#11 module's path and the key's
#                                   PKCS#11 URI or id, reached through Debian's PKCS#11 engine
#                                   (libengine-pkcs11-openssl); the certificate is the token's object
#                                   MEMOTACK_SIGN_PKCS11_CERT=URI, or the file MEMOTACK_SIGN_CERT
#   MEMOTACK_SIGN_PKCS12=FILE       a PKCS#12 bundle holding the certificate, its chain and the key
#   MEMOTACK_SIGN_CERT=FILE and MEMOTACK_SIGN_KEY=FILE
#                                   the certificate chain and the key as PEM or DER files
# but never its secret: any process of the same user can read a process's environment for as long
# as it runs (/proc/PID/environ), and unsetting or `export -n` does not take it out of there. The
# secret is the first line of a file, which may be a descriptor the caller opened (/dev/fd/3 with
# 3<FILE, or 3< <(a password manager's command)), or else the answer at a prompt on the terminal:
#   MEMOTACK_SIGN_PIN_FILE=FILE     the token's user PIN (PKCS#11); without it, asked for
#   MEMOTACK_SIGN_PASSWORD_FILE=FILE  the bundle's or the key's password; without it, asked for (an
#                                   empty answer: none), or none where there is no terminal
# and:
#   MEMOTACK_SIGN_CA=FILE           the CA certificates (PEM) the signature is verified against;
#                                   default: the system's list
#   MEMOTACK_TIMESTAMP_URL          an RFC 3161 time-stamp server; without one the signature
#                                   carries only the signing time, which is SOURCE_DATE_EPOCH
#   MEMOTACK_TIMESTAMP_CA=FILE      the CA certificates the time stamp is verified against;
#                                   default: the system's list
# A MEMOTACK_SIGN_PIN or MEMOTACK_SIGN_PASSWORD in the environment, or any of these variables set
# without a complete identity, stops the run. Only options that osslsigncode 2.5 (Debian 12) has are
# used.

# The secret, in this shell alone: never exported, never on a command line or in a file of ours.
memotack_sign_secret=

memotack_sign_fail() {
    echo "sign: $*" >&2
    exit 2
}

# memotack_read_secret VARIABLE PROMPT: the first line of the file VARIABLE names, or else what is
# typed at the terminal, into memotack_sign_secret; false when neither is there.
memotack_read_secret() {
    local file="${!1:-}"
    memotack_sign_secret=
    if [ -n "$file" ]; then
        [ -r "$file" ] || memotack_sign_fail "cannot read $1=$file"
        IFS= read -r memotack_sign_secret <"$file" || true
    elif [ -t 0 ]; then
        IFS= read -rs -p "$2: " memotack_sign_secret || true
        echo >&2
    else
        return 1
    fi
}

# memotack_signing_identity: true when the environment names a complete signing identity, whose
# secret it reads then; false when no signing variable is set. Exits 2 otherwise.
memotack_signing_identity() {
    local name kinds=()
    for name in MEMOTACK_SIGN_PIN MEMOTACK_SIGN_PASSWORD; do
        [ -z "${!name+set}" ] || memotack_sign_fail "$name is set in the environment, where any process of this" \
            "user can read it for as long as the release runs: unset it where it was set, and give it as the first" \
            "line of a file (${name}_FILE=FILE), through a file descriptor (${name}_FILE=/dev/fd/3 3<FILE)," \
            "or at the prompt on a terminal"
    done
    [ -z "${MEMOTACK_SIGN_PKCS11_MODULE:-}${MEMOTACK_SIGN_PKCS11_KEY:-}${MEMOTACK_SIGN_PKCS11_CERT:-}" ] || kinds+=(PKCS11)
    [ -z "${MEMOTACK_SIGN_PKCS12:-}" ] || kinds+=(PKCS12)
    [ -z "${MEMOTACK_SIGN_KEY:-}" ] || kinds+=(KEY)
    [ ${#kinds[@]} -le 1 ] || memotack_sign_fail "more than one signing identity is given (${kinds[*]}): give one"
    case "${kinds[*]}" in
    PKCS11)
        [ -r "${MEMOTACK_SIGN_PKCS11_MODULE:-}" ] ||
            memotack_sign_fail "cannot read MEMOTACK_SIGN_PKCS11_MODULE=${MEMOTACK_SIGN_PKCS11_MODULE:-}"
        [ -n "${MEMOTACK_SIGN_PKCS11_KEY:-}" ] || memotack_sign_fail "MEMOTACK_SIGN_PKCS11_KEY is not set"
        [ -n "${MEMOTACK_SIGN_PKCS11_CERT:-}" ] || [ -r "${MEMOTACK_SIGN_CERT:-}" ] ||
            memotack_sign_fail "a token's key needs its certificate: MEMOTACK_SIGN_PKCS11_CERT or MEMOTACK_SIGN_CERT"
        [ -z "${MEMOTACK_SIGN_PASSWORD_FILE:-}" ] ||
            memotack_sign_fail "MEMOTACK_SIGN_PASSWORD_FILE is for a bundle's or a key file's password; a token takes" \
                "its PIN from MEMOTACK_SIGN_PIN_FILE"
        memotack_read_secret MEMOTACK_SIGN_PIN_FILE "PIN of the token holding $MEMOTACK_SIGN_PKCS11_KEY" ||
            memotack_sign_fail "a token's key needs its PIN: MEMOTACK_SIGN_PIN_FILE, or a terminal to ask it at"
        [ -n "$memotack_sign_secret" ] || memotack_sign_fail "the token's PIN is empty"
        return 0
        ;;
    PKCS12 | KEY)
        if [ "${kinds[*]}" = PKCS12 ]; then
            [ -r "$MEMOTACK_SIGN_PKCS12" ] || memotack_sign_fail "cannot read MEMOTACK_SIGN_PKCS12=$MEMOTACK_SIGN_PKCS12"
            [ -z "${MEMOTACK_SIGN_CERT:-}" ] ||
                memotack_sign_fail "MEMOTACK_SIGN_CERT has no use beside MEMOTACK_SIGN_PKCS12, which holds the certificate"
        else
            [ -r "${MEMOTACK_SIGN_CERT:-}" ] || memotack_sign_fail "cannot read MEMOTACK_SIGN_CERT=${MEMOTACK_SIGN_CERT:-}"
            [ -r "$MEMOTACK_SIGN_KEY" ] || memotack_sign_fail "cannot read MEMOTACK_SIGN_KEY=$MEMOTACK_SIGN_KEY"
        fi
        [ -z "${MEMOTACK_SIGN_PIN_FILE:-}" ] ||
            memotack_sign_fail "MEMOTACK_SIGN_PIN_FILE is for a token's PIN; a bundle or key file takes its password" \
                "from MEMOTACK_SIGN_PASSWORD_FILE"
        memotack_read_secret MEMOTACK_SIGN_PASSWORD_FILE "Password of the signing key (empty for none)" || true
        return 0
        ;;
    esac
    for name in MEMOTACK_SIGN_CERT MEMOTACK_SIGN_PIN_FILE MEMOTACK_SIGN_PASSWORD_FILE MEMOTACK_SIGN_CA \
        MEMOTACK_TIMESTAMP_URL MEMOTACK_TIMESTAMP_CA; do
        [ -z "${!name:-}" ] || memotack_sign_fail "$name is set, but no signing identity is complete" \
            "(MEMOTACK_SIGN_PKCS11_MODULE and MEMOTACK_SIGN_PKCS11_KEY, MEMOTACK_SIGN_PKCS12, or MEMOTACK_SIGN_CERT and" \
            "MEMOTACK_SIGN_KEY): complete one, or unset $name for an unsigned release"
    done
    return 1
}

# memotack_sign IN OUT [DESCRIPTION]: writes OUT, IN signed with SHA-256 and dated
# SOURCE_DATE_EPOCH, with the identity memotack_signing_identity accepted. Signing the same IN with
# the same key and time gives the same bytes (RSA PKCS#1 v1.5 signatures are deterministic),
# unless a time-stamp server adds its own token.
memotack_sign() {
    local in="$1" out="$2" log status=0
    local args=(sign -h sha256 -n "${3:-Memotack Setup}" -time "${SOURCE_DATE_EPOCH:?SOURCE_DATE_EPOCH must be set}")
    if [ -n "${MEMOTACK_SIGN_PKCS11_MODULE:-}" ]; then
        args+=(-pkcs11module "$MEMOTACK_SIGN_PKCS11_MODULE" -key "$MEMOTACK_SIGN_PKCS11_KEY")
        if [ -n "${MEMOTACK_SIGN_PKCS11_CERT:-}" ]; then
            args+=(-pkcs11cert "$MEMOTACK_SIGN_PKCS11_CERT")
        else
            args+=(-certs "$MEMOTACK_SIGN_CERT")
        fi
    elif [ -n "${MEMOTACK_SIGN_PKCS12:-}" ]; then
        args+=(-pkcs12 "$MEMOTACK_SIGN_PKCS12")
    else
        args+=(-certs "$MEMOTACK_SIGN_CERT" -key "$MEMOTACK_SIGN_KEY")
    fi
    [ -n "${MEMOTACK_TIMESTAMP_URL:-}" ] && args+=(-ts "$MEMOTACK_TIMESTAMP_URL")
    rm -f "$out"
    if [ -n "$memotack_sign_secret" ]; then
        # A pipe from a subshell of this one, where printf is a builtin: no program is started with
        # the secret, and osslsigncode's command line names only the pipe.
        log=$(osslsigncode "${args[@]}" -readpass <(printf '%s' "$memotack_sign_secret") -in "$in" -out "$out" 2>&1) ||
            status=$?
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
