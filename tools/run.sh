#!/usr/bin/env bash
# Installs what the program needs, builds it and its default picture (no
# tests) and starts it beside the picture.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
tools/deps.sh program
configure_and_build build -DCMAKE_BUILD_TYPE=Release -DLAAVA_TESTS=OFF -- --target laavasuihku tausta
cd build
exec ./laavasuihku
