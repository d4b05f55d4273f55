#!/usr/bin/env bash
# The Debian source package, built and checked as Debian does: the orig
# tarball from the committed tree and debian/ beside it (3.0 (quilt)); built
# with dpkg-buildpackage in a fresh root of the release holding only
# build-essential and the Build-Depends; lintian (no error, no warning) and
# hardening-check on the result; and autopkgtest in another fresh root,
# against the built package. Leaves .dsc, .deb, .buildinfo and .changes in
# build-debian/. With --all, also a second build in another folder, at
# another time, with another umask and locale, whose .deb must be the same
# bytes, and a cross-build for arm64 (-Pcross,nocheck), its program run under qemu.
# Usage: tools/debian.sh [bookworm | trixie] [--all]    (default: trixie, Debian 13)
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
release=trixie all=false
for arg in "$@"; do
    case "$arg" in
        bookworm | trixie) release=$arg ;;
        --all) all=true ;;
        *) echo "usage: tools/debian.sh [bookworm | trixie] [--all]" >&2; exit 2 ;;
    esac
done
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

# build_in FOLDER LOG [SETTINGS] [BUILD-DEP-OPTIONS] [BUILD-OPTIONS]: the package built from
# nothing but its Build-Depends, in FOLDER of the root, with the shell SETTINGS first.
build_in() {
    in_root "$root" "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -qq ${4:-} /build/$dsc >/dev/null &&
        mkdir -p $1 && cd $1 && ${3:-true} && dpkg-source --extract /build/$dsc src >/dev/null && cd src &&
        dpkg-buildpackage --build=full -us -uc ${5:-}" >"$out/$2" 2>&1 ||
        { tail -60 "$out/$2"; echo "the package did not build (build-debian/$2)" >&2; exit 1; }
}

fresh buildd ""
build_in /build build.log
grep -E '^[0-9]+% tests passed' "$out/build.log" || true
cp "$root"/build/*.deb "$root"/build/*.buildinfo "$root"/build/*.changes "$out/"
took "building in a fresh Debian $release root" "$start"

# Checked as Debian checks: lintian on the source, the binaries and the
# .changes, and the binary's hardening (PIE, RELRO, BIND_NOW, stack protector, fortify).
start=$SECONDS
in_root "$root" "DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends lintian devscripts >/dev/null"
changes=$(cd "$out" && ls laavasuihku_"$version"_*.changes)
# Debian 12's lintian knows policy up to 4.6.2; the package follows Debian 13's.
suppress=
[ "$release" = bookworm ] && suppress="--suppress-tags newer-standards-version"
{ in_root "$root" "cd /build && lintian --info --display-info --pedantic --tag-display-limit 0 $suppress $changes" || true; } |
    tee "$out/lintian.txt"
if grep -E '^[EW]: ' "$out/lintian.txt"; then
    echo "lintian reports errors or warnings" >&2
    exit 1
fi
# (It fails on what does not apply here, such as arm64's branch protection on amd64.)
{ in_root "$root" "cd /build && dpkg-deb -x laavasuihku_${version}_*.deb unpacked && hardening-check unpacked/usr/games/laavasuihku" ||
    true; } | tee "$out/hardening.txt"
for feature in 'Position Independent Executable' 'Stack protected' 'Fortify Source functions' 'Read-only relocations' 'Immediate binding'; do
    grep -q "^ $feature: yes" "$out/hardening.txt" || { echo "hardening-check: $feature is missing" >&2; exit 1; }
done
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
$all || { echo "The source and binary packages are in build-debian/"; exit 0; }

# The same bytes again: another folder, another time, umask, time zone and locale.
start=$SECONDS
fresh buildd locales-all
build_in /srv/another/place rebuild.log "umask 0002 && export TZ=Pacific/Kiritimati LANG=fi_FI.UTF-8 LC_ALL=fi_FI.UTF-8"
first=$(cd "$out" && ls laavasuihku*_"$version"_*.deb)
for deb in $first; do
    if ! cmp -s "$out/$deb" "$root/srv/another/place/$deb"; then
        in_root "$root" "DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends diffoscope >/dev/null"
        cp "$out/$deb" "$root/srv/first-$deb"
        in_root "$root" "diffoscope /srv/first-$deb /srv/another/place/$deb" >"$out/diffoscope.txt" || true
        echo "$deb differs between the two builds (build-debian/diffoscope.txt)" >&2
        exit 1
    fi
    echo "$deb: the same bytes from both builds"
done
took "a second build, compared" "$start"

# Cross-built for arm64 as Debian's cross-building checks do, and run under qemu.
start=$SECONDS
fresh buildd "qemu-user"
in_root "$root" "dpkg --add-architecture arm64 && apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq crossbuild-essential-arm64 >/dev/null"
build_in /build cross.log "export DEB_BUILD_PROFILES='cross nocheck' DEB_BUILD_OPTIONS=nocheck" "-a arm64 -Pcross,nocheck" "--host-arch arm64 -Pcross,nocheck"
in_root "$root" "cd /build && dpkg-deb -x laavasuihku_${version}_arm64.deb arm64 && cd arm64/usr/share/laavasuihku &&
    SDL_VIDEODRIVER=dummy timeout 5 qemu-aarch64 /build/arm64/usr/games/laavasuihku; test \$? = 124" ||
    { echo "the arm64 program did not keep running under qemu" >&2; exit 1; }
cp "$root"/build/*_arm64.deb "$out/"
echo "laavasuihku_${version}_arm64.deb: built, and ran under qemu-aarch64"
took "the arm64 cross-build" "$start"
echo "The source and binary packages are in build-debian/"
