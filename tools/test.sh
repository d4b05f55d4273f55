#!/usr/bin/env bash
# Builds everything and runs every test: an optimised build, the same under
# AddressSanitizer and UndefinedBehaviorSanitizer, and a minute of fuzzing the
# picture loader. Ends non-zero if anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh || exit 1
jobs=$(nproc)
failed=()

stage() {  # stage NAME BUILD-DIR CMAKE-ARGS...
    local name=$1 dir=$2
    shift 2
    echo "=== $name"
    if cmake -S . -B "$dir" "$@" >/dev/null && cmake --build "$dir" -j"$jobs" &&
        ctest --test-dir "$dir" --output-on-failure -j"$jobs"; then
        return 0
    fi
    failed+=("$name")
}

stage "optimised build" build -DCMAKE_BUILD_TYPE=Release
stage "sanitizer build" build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLAAVA_SANITIZE=ON
CXX=clang++ stage "picture fuzzing" build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLAAVA_FUZZ=ON

if [ ${#failed[@]} -ne 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "All test stages passed."
