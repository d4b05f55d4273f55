#!/usr/bin/env bash
# The Debian source package, built and checked as Debian does: the orig
# tarball from the committed tree and debian/ beside it (3.0 (quilt)); built
# with dpkg-buildpackage in a fresh root of the release holding only
# build-essential and the Build-Depends; lintian (no error, no warning) and
# hardening-check on the result; and autopkgtest in another fresh root,
# against the built package. Leaves .dsc, .deb, .buildinfo and .changes in
# build-debian/.
# Usage: tools/debian.sh [bookworm | trixie]    (default: trixie, Debian 13)
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
release=${1:-trixie}
case "$release" in
    bookworm | trixie) ;;
    *) echo "usage: tools/debian.sh [bookworm | trixie]" >&2; exit 2 ;;
esac
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"  # making roots and binding into them needs root
install_packages dpkg-dev git mmdebstrap mount || exit 1

out=$PWD/build-debian
version=$(dpkg-parsechangelog -S Version)
upstream=${version%-*}
rm -rf "$out"
mkdir -p "$out/source"

# The source package, from what is committed.
git archive --format=tar --prefix="laavasuihku-$upstream/" HEAD -- . ':!debian' | gzip -9n >"$out/laavasuihku_$upstream.orig.tar.gz"
tar -xzf "$out/laavasuihku_$upstream.orig.tar.gz" -C "$out/source"
git archive --format=tar HEAD debian | tar -x -C "$out/source/laavasuihku-$upstream"
(cd "$out" && dpkg-source --build "source/laavasuihku-$upstream" >/dev/null)
rm -rf "$out/source"
dsc=laavasuihku_$version.dsc
echo "=== $dsc"

roots=()
trap 'for r in "${roots[@]}"; do leave_root "$r"; done' EXIT
fresh() {  # fresh VARIANT PACKAGES: a new root, in $root, the source package in /build
    root=$(mktemp -d "${TMPDIR:-/var/tmp}/laavasuihku-debian.XXXXXX")
    roots+=("$root")
    make_root "$release" "$1" "$2" "$root"
    mkdir "$root/build"
    cp "$out"/* "$root/build/"
}
start=$SECONDS

# Built from nothing but its Build-Depends.
fresh buildd ""
in_root "$root" "cd /build && apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -qq ./$dsc >/dev/null &&
    dpkg-source --extract $dsc src >/dev/null && cd src && dpkg-buildpackage --build=full -us -uc" >"$out/build.log" 2>&1 ||
    { tail -60 "$out/build.log"; echo "the package did not build (build-debian/build.log)" >&2; exit 1; }
grep -E '^[0-9]+% tests passed' "$out/build.log" || true
cp "$root"/build/*.deb "$root"/build/*.buildinfo "$root"/build/*.changes "$out/"
took "building in a fresh Debian $release root" "$start"

# Checked as Debian checks: lintian on the source, the binaries and the
# .changes, and the binary's hardening.
start=$SECONDS
in_root "$root" "DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends lintian devscripts >/dev/null"
changes=$(cd "$out" && ls laavasuihku_"$version"_*.changes)
{ in_root "$root" "cd /build && lintian --info --display-info --pedantic --tag-display-limit 0 $changes" || true; } | tee "$out/lintian.txt"
if grep -E '^[EW]: ' "$out/lintian.txt"; then
    echo "lintian reports errors or warnings" >&2
    exit 1
fi
in_root "$root" "cd /build && dpkg-deb -x laavasuihku_${version}_*.deb unpacked && hardening-check unpacked/usr/games/laavasuihku" |
    tee "$out/hardening.txt"
! grep -q ': no' "$out/hardening.txt" || { echo "hardening-check finds a feature missing" >&2; exit 1; }
took "lintian and hardening-check" "$start"

# Tested as installed, in a root that has nothing else of it.
start=$SECONDS
fresh apt autopkgtest
deb=$(cd "$out" && ls laavasuihku_"$version"_*.deb)
in_root "$root" "cd /build && autopkgtest -U --summary-file=/build/summary ./$deb ./$dsc -- null" >"$out/autopkgtest.log" 2>&1 ||
    { tail -40 "$out/autopkgtest.log"; echo "autopkgtest failed (build-debian/autopkgtest.log)" >&2; exit 1; }
cp "$root/build/summary" "$out/autopkgtest-summary.txt"
cat "$out/autopkgtest-summary.txt"
took "autopkgtest" "$start"
echo "The source and binary packages are in build-debian/"
