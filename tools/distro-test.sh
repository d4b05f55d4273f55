#!/usr/bin/env bash
# Runs the README's full test command (tools/test.sh --all) in a fresh root
# of a Debian release made with mmdebstrap from Debian's own packages, on a
# clean clone of the project as committed. Ends with that command's status.
# Usage: tools/distro-test.sh RELEASE      (bookworm = Debian 12, trixie = Debian 13)
set -euo pipefail
release=${1:?usage: tools/distro-test.sh RELEASE}
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"  # making a root and binding into it needs root

command -v mmdebstrap >/dev/null ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap >/dev/null

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
mmdebstrap --quiet --variant=apt --include=git,ca-certificates "$release" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
git clone --quiet --no-hardlinks . "$root/laavasuihku"

for m in proc dev; do
    mount --rbind "/$m" "$root/$m"
    mount --make-rslave "$root/$m"
    bound+=("$root/$m")
done

echo "=== the README's test command on Debian $release"
# Inside, the root does not make roots of its own.
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LAAVA_IN_DISTRO_TEST=1 \
    /bin/bash -c 'cd /laavasuihku && bash tools/test.sh --all'
