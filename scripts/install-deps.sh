#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are not installed yet.
#
# Packages of another architecture (wine32:i386) are installed where they can be: a mirror may lag
# behind for that architecture alone, and the kernel may not run its programs anyway. The scripts
# that need them find out for themselves (scripts/wine-loader.sh) and say what they leave out.
set -euo pipefail

missing=()
for package in "$@"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
native=()
foreign=()
for package in "${missing[@]}"; do
  if [ "${package##*:}" != "$package" ]; then foreign+=("$package"); else native+=("$package"); fi
done
echo "Installing: ${missing[*]}"
# Packages of another architecture need it known to dpkg before the update.
for package in "${foreign[@]}"; do
  arch="${package##*:}"
  if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
    $sudo dpkg --add-architecture "$arch"
  fi
done

install() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@"
}
# An index that fails to download (a mirror in the middle of a sync) is tried once more; the lists
# that did arrive still serve the install, which fails by itself if they cannot.
if ! $sudo apt-get update -qq; then
  sleep 5
  $sudo apt-get update -qq || echo "install-deps: some package lists could not be updated" >&2
fi
if [ ${#native[@]} -gt 0 ]; then
  install "${native[@]}"
fi
for package in "${foreign[@]}"; do
  install "$package" || echo "install-deps: $package could not be installed here" >&2
done
