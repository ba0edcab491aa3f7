#!/usr/bin/env bash
# Builds the Windows Installer package of one brand and architecture with wixl, from
# packaging/installer.wxs, and signs it when VENTREL_SIGN_PFX names a certificate. Called by
# scripts/package.sh for each brand, and by the package test for an older version to upgrade from.
#
#   packaging/msi.sh SLUG BRAND PRODUCT VERSION ARCH(x64|x86) EXE STEP CATALOGUE OUTFILE
set -euo pipefail
[ $# -eq 9 ] || { sed -n 's/^#   //p' "$0" >&2; exit 2; }
slug="$1" brand="$2" product="$3" version="$4" arch="$5" exe="$6" step="$7" catalogue="$8" out="$9"
here="$(cd "$(dirname "$0")" && pwd)"

# The same GUID for the same brand, architecture and name, build after build: Windows Installer
# tells a product's upgrades and components by them, and a version by its ProductCode (so two
# builds of one version are one product). From a hash, as name-based UUIDs are.
guid() {
  local hex
  hex="$(printf 'VentrelConf %s %s %s' "$slug" "$arch" "$1" | sha1sum | cut -c1-32)"
  printf '%s-%s-5%s-%x%s-%s' "${hex:0:8}" "${hex:8:4}" "${hex:13:3}" \
    $(( (16#${hex:16:1} & 3) | 8 )) "${hex:17:3}" "${hex:20:12}" | tr '[:lower:]' '[:upper:]'
}

# wixl finds sources by names relative to the folder it runs in (absolute ones it does not find).
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
cp "$exe" "$stage/program.exe"
cp "$step" "$stage/step.exe"
cp "$catalogue" "$stage/catalogue.ini"
cp "$here/../src/ui/icons/ventrel_conf.ico" "$stage/program.ico"
out="$(cd "$(dirname "$out")" && pwd)/$(basename "$out")"
cd "$stage"
wixl -a "$arch" -o "$out" -D Brand="$brand" -D Product="$product" -D Slug="$slug" \
  -D Version="$version" -D Arch="$arch" -D UpgradeCode="$(guid upgrade)" \
  -D ProductCode="$(guid "product $version")" \
  -D GuidProgram="$(guid program)" -D GuidStep="$(guid step)" \
  -D GuidCatalogue="$(guid catalogue)" -D GuidStartMenu="$(guid start-menu)" \
  -D GuidBrandFolder="$(guid brand-folder)" \
  -D Exe=program.exe -D Step=step.exe -D Catalogue=catalogue.ini -D Icon=program.ico \
  "$here/installer.wxs"
# What wixl cannot say (see installer.wxs): the rollback action's type, and the secure properties.
# The rollback type: an executable from the installed files (18), status ignored (64), in the
# script (1024) as a rollback action (256), not impersonated (2048).
msibuild "$out" -q "UPDATE CustomAction SET Type=3410 WHERE Action='RollBackRegistration'"
secure="$(msiinfo export "$out" Property | tr -d '\r' | sed -n 's/^SecureCustomProperties\t//p')"
msibuild "$out" -q "UPDATE Property SET Value='${secure:+$secure;}MODEL;EVERYLOGON' WHERE Property='SecureCustomProperties'"
if [ -n "${VENTREL_SIGN_PFX:-}" ]; then
  "$here/sign.sh" "$out"
fi
