#!/usr/bin/env bash
# Builds and tests against the other SDL 1.2 that Debian ships. The classic
# libsdl1.2-dev and libsdl1.2-compat-dev (SDL 1.2 on top of SDL 2) conflict,
# so this swaps one for the other, builds in build-<sdl>, runs the whole
# optimised suite (end-to-end tests included), swaps back, and says which passed.
set -uo pipefail
cd "$(dirname "$0")/.."
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
# Installs one SDL 1.2 and removes the other (a trailing - removes).
use() {
    local packages
    case $1 in
        libsdl1.2-dev) packages=(libsdl1.2-dev libsdl1.2debian libsdl1.2-compat-dev- libsdl1.2-compat-shim-) ;;
        libsdl1.2-compat-dev) packages=(libsdl1.2-compat-dev libsdl1.2-compat-shim libsdl1.2-dev- libsdl1.2debian-) ;;
    esac
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${packages[@]}" >/dev/null && installed "$1"
}

tools/deps.sh || exit 1
if installed libsdl1.2-compat-dev; then original=libsdl1.2-compat-dev; else original=libsdl1.2-dev; fi
declare -A result flips

# The cost of showing one frame in a real (virtual) X window with this SDL.
flip_cost() {
    local dir=$1 fd_file
    fd_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
    local xvfb=$!
    sleep 1
    SDL_VIDEODRIVER=x11 DISPLAY=":$(head -1 "$fd_file")" "$dir/laavasuihku_bench" --benchmark_filter='BM_Flip' \
        --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>/dev/null |
        awk '/_median/ { print $2, $3 }'
    kill "$xvfb"
    rm -f "$fd_file"
}
for sdl in libsdl1.2-dev libsdl1.2-compat-dev; do
    echo "=== $sdl"
    if ! use "$sdl"; then
        result[$sdl]="could not be installed"
        continue
    fi
    dir=build-$sdl
    rm -rf "$dir"
    if cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null && cmake --build "$dir" -j"$(nproc)" &&
        ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"; then
        result[$sdl]=passed
        flips[$sdl]=$(flip_cost "$dir")
    else
        result[$sdl]=FAILED
    fi
done
use "$original" || { echo "could not install $original again"; exit 1; }
echo
status=0
for sdl in libsdl1.2-dev libsdl1.2-compat-dev; do
    echo "$sdl: ${result[$sdl]}${flips[$sdl]:+; one flip under Xvfb: ${flips[$sdl]}}"
    [ "${result[$sdl]}" = passed ] || status=1
done
echo "($original is installed again)"
exit $status
