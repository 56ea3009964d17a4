#!/usr/bin/env bash
# Installs, from Debian's packages, what building and testing need and the
# machine lacks.  Safe to run again: it installs nothing that is there.
set -euo pipefail
packages=(build-essential cmake binutils libgtest-dev libgmock-dev libbenchmark-dev octave liboctave-dev
          libmpfr-dev clang-14 libclang-rt-14-dev llvm-14
          googletest g++-mingw-w64-x86-64-posix wine64 g++-aarch64-linux-gnu qemu-user zip unzip
          xvfb xdotool debootstrap imagemagick libimage-exiftool-perl libsimde-dev python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
