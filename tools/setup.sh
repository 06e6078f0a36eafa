#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the kit.
# Does nothing when everything is already there.
set -euo pipefail

# The x86-64 cross compiler and wine64 serve machines whose kernel cannot run
# 32-bit programs (and so cannot run wine32): there the Windows tests run as
# 64-bit builds of the same sources.
packages=(cmake ninja-build g++ clang clang-tidy clang-format libclang-rt-14-dev googletest
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools libwine-dev
          wine wine32:i386 wine64 xvfb binutils-mingw-w64-i686 ccache python3-junitparser)

# wixl builds the Windows Installer packages; msitools reads them back.
packages+=(wixl msitools)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
