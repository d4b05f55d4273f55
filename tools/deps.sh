#!/usr/bin/env bash
# Installs, from Debian's packages, whatever is still missing: for the program
# alone with `program`, for the program, its tests and the benchmark without.
# Usage: tools/deps.sh [program]
set -euo pipefail

program=(g++ cmake make pkg-config libhwy-dev libxrandr-dev)
tests=(libgtest-dev libbenchmark-dev
       xvfb xdotool x11-utils imagemagick libx11-dev xserver-xorg-core xserver-xorg-video-dummy
       valgrind clang libclang-rt-dev
       dpkg-dev lintian desktop-file-utils man-db appstream librsvg2-bin file)
packages=("${program[@]}")
[ "${1:-}" = program ] || packages+=("${tests[@]}")

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done
# Either SDL 1.2 will do: the classic one or the one on top of SDL 2.
if ! installed libsdl1.2-dev && ! installed libsdl1.2-compat-dev; then
    missing+=(libsdl1.2-dev)
fi
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
