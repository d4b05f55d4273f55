#!/usr/bin/env bash
# Builds the program and starts it beside its default picture.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target laavasuihku tausta
cd build
exec ./laavasuihku
