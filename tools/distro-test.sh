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
install_packages mmdebstrap mount

root=$(mktemp -d "${TMPDIR:-/var/tmp}/laavasuihku-$release.XXXXXX")
bound=()
clean_up() {
    local m
    for m in "${bound[@]}"; do
        umount -R "$m" 2>/dev/null || umount -lR "$m"
    done
    rm -rf --one-file-system "$root"
}
trap clean_up EXIT
trap 'exit 130' INT TERM

echo "=== making a Debian $release root in $root"
included=$(IFS=,; echo "git,ca-certificates${*:+,$*}")
mmdebstrap --quiet --variant=apt --include="$included" "$release" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
git clone --quiet --no-hardlinks . "$root/laavasuihku"

for m in proc dev; do
    mount --rbind "/$m" "$root/$m"
    mount --make-rslave "$root/$m"
    bound+=("$root/$m")
done

echo "=== every test stage on Debian $release${*:+ with $*}"
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    /bin/bash -c 'cd /laavasuihku && bash tools/test.sh --this-release'
