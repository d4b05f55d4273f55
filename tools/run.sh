#!/usr/bin/env bash
# Installs what the program needs, builds it and its default picture (no
# tests) and starts it beside the picture.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh program
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DLAAVA_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target laavasuihku tausta
cd build
exec ./laavasuihku
