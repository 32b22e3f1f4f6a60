#!/usr/bin/env bash
# Installs what building and testing the shell needs on Debian 12, from Debian
# packages only. Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  cmake make
  mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  nlohmann-json3-dev googletest
  wine64 libgnutls30 xvfb xauth x11-utils fonts-wqy-microhei
  python3 python3-pytest openssl iproute2 util-linux
  msitools wixl osslsigncode
  g++ libssl-dev libcurl4-openssl-dev libcli11-dev nginx
  clang-16 libclang-rt-16-dev
  debootstrap
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: run as root or install sudo" >&2; exit 1; }
  as_root=(sudo)
fi
echo "setup: installing ${missing[*]}" >&2
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
