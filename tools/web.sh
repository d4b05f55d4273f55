#!/usr/bin/env bash
# Builds the page with Debian's emscripten into build-web/ and leaves it in
# build-web/site/ (index.html and what it loads, the default picture packed in).
# Usage: tools/web.sh [--serve [PORT]]    --serve also serves it on 127.0.0.1 (default port 8000)
#        tools/web.sh --test              builds the page and its tests, and runs them:
#                                         the unit tests under node, the page in headless Chromium
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
serve=false test=false port=8000
case "${1:-}" in
    --serve) serve=true port=${2:-8000} ;;
    --test) test=true ;;
    "") ;;
    *) sed -n '4,7p' "$0" >&2; exit 2 ;;
esac
packages=("${web_packages[@]}")
$test && packages+=("${web_test_packages[@]}")
$test && ! command -v npm >/dev/null && packages+=(npm)
install_packages "${packages[@]}" || { echo "could not install the packages the page needs" >&2; exit 1; }
web_environment

# Highway's WebAssembly target has doubles, which the pass sums in, from
# Highway 1.1 on; Debian 12 has 1.0.3. There the page takes Debian 13's
# Highway headers, unpacked from its package (as tools/cross-test.sh makes
# its sysroots).
hwy_include=/usr/include
if ! grep -A12 'HWY_TARGET == HWY_WASM$' /usr/include/hwy/ops/set_macros-inl.h | grep -q 'HWY_HAVE_FLOAT64 1'; then
    hwy_include=$PWD/build-web/hwy-trixie/usr/include
    if [ ! -f "$hwy_include/hwy/highway.h" ]; then
        install_packages mmdebstrap || exit 1
        echo "Highway $(dpkg-query -W -f='${Version}' libhwy-dev) has no doubles on WebAssembly: taking Debian 13's headers"
        rm -rf build-web/hwy-trixie
        mkdir -p build-web
        as_root mmdebstrap --quiet --variant=extract --include=libhwy-dev trixie "$PWD/build-web/hwy-trixie"
    fi
fi

# The default picture, painted by the same program as the desktop's, built for this machine.
mkdir -p build-web/host
c++ -O2 -std=c++20 -o build-web/host/make_tausta tools/make_tausta.cpp
[ -f build-web/host/tausta.bmp ] || build-web/host/make_tausta build-web/host/tausta.bmp

emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DLAAVA_TAUSTA="$PWD/build-web/host/tausta.bmp" -DLAAVA_HWY_INCLUDE="$hwy_include" \
    -DLAAVA_TESTS="$($test && echo ON || echo OFF)" -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v node);--no-experimental-fetch" >/dev/null
cmake --build build-web -j"$(nproc)"
echo "The page is in build-web/site/"
if $test; then
    # node trusts its own list of certificate authorities unless told of the system's.
    (cd build-web/page-test && NODE_EXTRA_CA_CERTS=${NODE_EXTRA_CA_CERTS:-/etc/ssl/certs/ca-certificates.crt} \
        npm install --no-audit --no-fund --loglevel=error) || exit 1
    run_tests build-web
fi
if $serve; then
    echo "Serving it at http://127.0.0.1:$port/ (Ctrl-C stops)"
    exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build-web/site
fi
