#!/usr/bin/env bash
# Installs, from Debian's packages, whatever is still missing: for the program
# alone with `program`, for the program, its tests and the benchmark without.
# Usage: tools/deps.sh [program]
set -euo pipefail
. "$(dirname "$0")/lib.sh"

packages=("${program_packages[@]}" $(need_sdl))
[ "${1:-}" = program ] || packages+=("${test_packages[@]}")
install_packages "${packages[@]}"
