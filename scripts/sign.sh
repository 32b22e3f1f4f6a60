#!/usr/bin/env bash
# Signs the release shell with the channel's Authenticode certificate.
#
#   ZRQ_SIGN_PFX=channel.pfx ZRQ_SIGN_PASSWORD=... scripts/sign.sh [IN.exe [OUT.exe]]
#
# IN defaults to build/i686/src/zrq-setup.exe; OUT defaults to IN with
# ".signed.exe" in place of ".exe". IN is left unsigned: its SHA-256 is the
# reproducible one. Optional: ZRQ_SIGN_TIMESTAMP_URL (an RFC 3161 time-stamp
# server, so the signature outlives the certificate), ZRQ_SIGN_URL (the "more
# information" link shown with the signature).
set -euo pipefail
cd "$(dirname "$0")/.."

in=${1:-build/i686/src/zrq-setup.exe}
out=${2:-${in%.exe}.signed.exe}
: "${ZRQ_SIGN_PFX:?ZRQ_SIGN_PFX must name the PFX (PKCS#12) file with the certificate and key}"
: "${ZRQ_SIGN_PASSWORD?ZRQ_SIGN_PASSWORD must hold the PFX password (may be empty)}"
[ -f "$in" ] || { echo "sign: $in not found" >&2; exit 1; }
[ "$in" -ef "$out" ] && { echo "sign: OUT must differ from IN" >&2; exit 1; }

args=(sign -pkcs12 "$ZRQ_SIGN_PFX" -h sha256 -n "ZRQ Setup")
[ -n "${ZRQ_SIGN_URL:-}" ] && args+=(-i "$ZRQ_SIGN_URL")
[ -n "${ZRQ_SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$ZRQ_SIGN_TIMESTAMP_URL")

# The password goes through a file descriptor, never the command line.
tmp="$out.tmp.$$"
trap 'rm -f "$tmp"' EXIT
osslsigncode "${args[@]}" -readpass /dev/fd/3 -in "$in" -out "$tmp" 3<<<"$ZRQ_SIGN_PASSWORD" >/dev/null
mv -f "$tmp" "$out"
echo "$out"
