#!/usr/bin/env bash
# Authenticode-signs a Windows executable in place with SHA-256, with the certificate that
# VENTREL_SIGN_PFX names (a PKCS#12 file) and VENTREL_SIGN_PASSWORD unlocks. Called by
# scripts/package.sh for the programs, and by makensis for each installer and uninstaller.
set -euo pipefail
file="$1"
: "${VENTREL_SIGN_PFX:?names the code-signing certificate}"
password_file="$(mktemp)"
trap 'rm -f "$password_file" "$file.signed"' EXIT
# The password goes through a file of the user's own, never on a command line others can read.
printf '%s' "${VENTREL_SIGN_PASSWORD:-}" >"$password_file"
osslsigncode sign -pkcs12 "$VENTREL_SIGN_PFX" -readpass "$password_file" -h sha256 \
  -n "VentrelConf" -in "$file" -out "$file.signed" >/dev/null
mv "$file.signed" "$file"
