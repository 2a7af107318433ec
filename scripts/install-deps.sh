#!/usr/bin/env bash
# Installs, with apt-get, everything the build, the program and the tests need,
# toolchain included. Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  # toolchain
  build-essential g++ clang libclang-rt-14-dev llvm cmake ninja-build pkg-config git
  # libraries of the program and its platform layers
  libsdl2-dev libepoxy-dev libgl1-mesa-dri libegl-mesa0 libxext-dev libx11-dev
  libfreetype-dev libfontconfig-dev fonts-liberation
  libjpeg62-turbo-dev libpng-dev zlib1g-dev
  libmpg123-dev libopenmpt-dev libmp3lame-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool imagemagick openbox assimp-utils x11-utils
  lame sox
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
