#!/usr/bin/env bash
# Builds and runs the tests. By default what a change needs: an optimised
# build with all its tests, and the same under AddressSanitizer and
# UndefinedBehaviorSanitizer. With --all also a minute of fuzzing the picture
# loader, the unit tests built for arm64 and run under qemu, and all of it
# again on the Debian release this machine is not (Debian 13 from Debian 12,
# and the other way round). Ends non-zero if anything failed.
# Usage: tools/test.sh [--all]
set -uo pipefail
cd "$(dirname "$0")/.."
all=false
case "${1:-}" in
    --all) all=true ;;
    "") ;;
    *) echo "usage: tools/test.sh [--all]" >&2; exit 2 ;;
esac
tools/deps.sh || exit 1
jobs=$(nproc)
failed=()

took() {  # took NAME START-SECONDS
    echo "--- $1: $(((SECONDS - $2) / 60)) min $(((SECONDS - $2) % 60)) s"
}

stage() {  # stage NAME BUILD-DIR CMAKE-ARGS...
    local name=$1 dir=$2 start=$SECONDS
    shift 2
    echo "=== $name"
    if ! { cmake -S . -B "$dir" "$@" >/dev/null && cmake --build "$dir" -j"$jobs" &&
        ctest --test-dir "$dir" --output-on-failure -j"$jobs"; }; then
        failed+=("$name")
    fi
    took "$name" "$start"
}

stage "optimised build" build -DCMAKE_BUILD_TYPE=Release -DLAAVA_TESTS=ON
stage "sanitizer build" build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLAAVA_SANITIZE=ON

if $all; then
    CXX=clang++ stage "picture fuzzing" build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLAAVA_FUZZ=ON

    echo "=== arm64"
    start=$SECONDS
    tools/cross-test.sh arm64 || failed+=("arm64")
    took arm64 "$start"

    # A root of the other release tests the committed project there; a root
    # does not make roots of its own.
    if [ -z "${LAAVA_IN_DISTRO_TEST:-}" ]; then
        here=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
        other=trixie
        [ "$here" = trixie ] && other=bookworm
        echo "=== Debian $other"
        start=$SECONDS
        tools/distro-test.sh "$other" || failed+=("Debian $other")
        took "Debian $other" "$start"
    fi
fi

if [ ${#failed[@]} -ne 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "All test stages passed."
