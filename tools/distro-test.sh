#!/usr/bin/env bash
# Runs every test stage of a Debian release (tools/test.sh --this-release:
# both builds, fuzzing, arm64) in a fresh root of that release made with
# mmdebstrap from Debian's own packages, on a clean clone of the project as
# committed. Packages named after the release go into the root first: with
# libsdl1.2-compat-dev, Debian 12 is tested on SDL 1.2 over SDL 2. Ends with
# the tests' status.
# Usage: tools/distro-test.sh RELEASE [PACKAGE...]    (bookworm = Debian 12, trixie = Debian 13)
set -euo pipefail
release=${1:?usage: tools/distro-test.sh RELEASE [PACKAGE...]}
shift
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$release" "$@"  # making a root and binding into it needs root
. tools/lib.sh
in_fresh_root "$release" "$(IFS=,; echo "$*")" "bash tools/test.sh --this-release"
