#!/usr/bin/env bash
# Builds and runs the tests. Ends non-zero if any stage failed.
#   tools/test.sh                 what a change needs, in minutes: an optimised build with
#                                 all its tests (every vector level against the plain pass,
#                                 the recorded runs, the real window, the package), and the
#                                 page: its unit tests under node, the page in headless Chromium
#   tools/test.sh --this-release  that, the same tests under AddressSanitizer and
#                                 UndefinedBehaviorSanitizer, a minute of fuzzing the
#                                 picture loader, and the unit tests built for arm64 and
#                                 run under qemu: every stage on this Debian release
#   tools/test.sh --all           all that, and then all of it again on the Debian release
#                                 this machine is not (Debian 13 from Debian 12, and the
#                                 other way round), in a fresh root, and the Debian source
#                                 package for Debian 13 (tools/debian.sh: what CI runs)
set -uo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
this_release=false other_release=false
case "${1:-}" in
    --all) this_release=true other_release=true ;;
    --this-release) this_release=true ;;
    "") ;;
    *) echo "usage: tools/test.sh [--this-release | --all]" >&2; exit 2 ;;
esac
tools/deps.sh || { echo "could not install the packages the tests need" >&2; exit 1; }
failed=()

stage() {  # stage NAME COMMAND...
    local name=$1 start=$SECONDS
    shift
    echo "=== $name"
    "$@" || failed+=("$name")
    took "$name" "$start"
}

stage "optimised build" build_and_test build -DCMAKE_BUILD_TYPE=Release -DLAAVA_TESTS=ON
stage "web page" tools/web.sh --test
if $this_release; then
    stage "sanitizer build" build_and_test build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLAAVA_SANITIZE=ON
    CXX=clang++ stage "picture fuzzing" build_and_test build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLAAVA_FUZZ=ON
    stage arm64 tools/cross-test.sh arm64
fi
if $other_release; then
    # The other release runs the stages above in its root (--this-release),
    # so that roots do not nest.
    here=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    other=trixie
    [ "$here" = trixie ] && other=bookworm
    stage "Debian $other" tools/distro-test.sh "$other"
    # The source package, built, checked with lintian and tested with
    # autopkgtest in fresh roots of Debian 13 (roots of its own, so at the top).
    stage "Debian source package" tools/debian.sh trixie
fi

if [ ${#failed[@]} -ne 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "All test stages passed."
