#!/usr/bin/env bash
# Installs, as root on Debian 12, whatever the build and the tests need and is not there yet.
set -euo pipefail
packages=(
  cmake make g++ clang libclang-rt-14-dev python3 git
  googletest libgtest-dev libgmock-dev zlib1g-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  wine64 fonts-wine xvfb xauth x11-apps imagemagick xdotool
  libarchive-tools p7zip-full
  libssl-dev python3-aiosmtpd openssl
  osslsigncode python3-jsonschema python3-yaml
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
