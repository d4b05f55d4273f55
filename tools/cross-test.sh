#!/usr/bin/env bash
# Builds the program and its unit tests for other architectures with Debian's
# cross compilers, against a sysroot of that architecture's Debian packages
# made with mmdebstrap, and runs the unit tests (the fast pass against the
# plain one and the recorded run among them) under qemu-user. Ends non-zero
# if any failed.
# Usage: tools/cross-test.sh ARCH...    against this release's packages; from Debian 12,
#                                       riscv64 (first released with Debian 13) against
#                                       Debian 13's, in a fresh Debian 13 root
#        tools/cross-test.sh all        every Debian 13 release architecture against
#                                       Debian 13's packages (from Debian 12 in a fresh
#                                       Debian 13 root, on the project as committed)
# Architectures: amd64 (a check of the script itself), arm64, armel, armhf, i386,
# ppc64el, riscv64, s390x.
set -uo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
release_architectures=(amd64 arm64 armel armhf i386 ppc64el riscv64 s390x)
# Architectures Debian 12 did not release.
newer_than_bookworm=(riscv64)
[ $# -gt 0 ] || { sed -n '7,14p' "$0" >&2; exit 2; }
release=$(. /etc/os-release && echo "$VERSION_CODENAME")
if [ "$release" = bookworm ]; then
    if [ "$*" = all ]; then
        [ "$(id -u)" -eq 0 ] || exec sudo "$0" all  # making a root needs root
        in_fresh_root trixie "" "bash tools/cross-test.sh all"
        exit
    fi
    here=() newer=()
    for arch in "$@"; do
        if [[ " ${newer_than_bookworm[*]} " = *" $arch "* ]]; then newer+=("$arch"); else here+=("$arch"); fi
    done
    if [ ${#newer[@]} -gt 0 ]; then
        [ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"
        status=0
        if [ ${#here[@]} -gt 0 ]; then
            "$0" "${here[@]}" || status=1
        fi
        in_fresh_root trixie "" "bash tools/cross-test.sh ${newer[*]}" || status=1
        exit $status
    fi
elif [ "$*" = all ]; then
    set -- "${release_architectures[@]}"
fi

# arch: compiler triplet, multiarch folder, qemu, CMake's processor, dynamic linker
declare -A target=(
    [amd64]="x86_64-linux-gnu x86_64-linux-gnu qemu-x86_64 x86_64 lib64/ld-linux-x86-64.so.2"
    [arm64]="aarch64-linux-gnu aarch64-linux-gnu qemu-aarch64 aarch64 lib/ld-linux-aarch64.so.1"
    [armel]="arm-linux-gnueabi arm-linux-gnueabi qemu-arm arm lib/ld-linux.so.3"
    [armhf]="arm-linux-gnueabihf arm-linux-gnueabihf qemu-arm arm lib/ld-linux-armhf.so.3"
    [i386]="i686-linux-gnu i386-linux-gnu qemu-i386 i686 lib/ld-linux.so.2"
    [ppc64el]="powerpc64le-linux-gnu powerpc64le-linux-gnu qemu-ppc64le ppc64le lib64/ld64.so.2"
    [riscv64]="riscv64-linux-gnu riscv64-linux-gnu qemu-riscv64 riscv64 lib/ld-linux-riscv64-lp64d.so.1"
    [s390x]="s390x-linux-gnu s390x-linux-gnu qemu-s390x s390x lib/ld64.so.1"
)

# A sysroot of the architecture's own packages: what the build links against
# and what qemu takes the program's libraries from. Made once, then kept.
make_sysroot() {  # make_sysroot ARCH SYSROOT TRIPLET MULTIARCH LINKER
    local arch=$1 sysroot=$2 packages log unfetched=
    packages=$(sysroot_packages "$3-gcc" | tr ' ' ,)
    [ -f "$sysroot/.made-from" ] && [ "$(cat "$sysroot/.made-from")" = "$release $packages" ] && return 0
    echo "--- a Debian $release sysroot for $arch"
    log=$(mktemp)
    # A package source may lack a few of the release's newest files for an
    # architecture (seen here: the last point release's glibc, zlib, zstd
    # and openssl for armel, ppc64el and s390x). The rest are then fetched
    # one by one, and the C library comes from the cross compiler's own: the
    # same release's glibc, built for that architecture. (The others missing
    # are not needed by the unit tests.)
    if ! fetch_sysroot "$arch" "$sysroot" "$packages" "$log"; then
        unfetched=$(unfetched_packages "$log")
        [ -n "$unfetched" ] || { tail -20 "$log" >&2; rm -f "$log"; return 1; }
        echo "    not to be had here: $(cut -d' ' -f1 <<<"$unfetched" | paste -sd' '); the rest one by one"
        extract_the_rest "$arch" "$sysroot" "$log" "$unfetched" || { rm -f "$log"; return 1; }
    fi
    rm -f "$log"
    grep -q '^libc6 ' <<<"$unfetched" && take_cross_libc "$sysroot" "$3" "$4" "$5"
    # Where the C library lives in /usr alone (Debian 13), /lib and the rest are
    # links that base-files would make; qemu looks for the dynamic linker there.
    local d
    for d in bin sbin lib lib32 lib64; do
        [ -e "$sysroot/$d" ] || [ ! -e "$sysroot/usr/$d" ] || ln -s "usr/$d" "$sysroot/$d"
    done
    [ -e "$sysroot/$5" ] || { echo "no dynamic linker $5 in the $arch sysroot" >&2; return 1; }
    echo "$release $packages" >"$sysroot/.made-from"
}

# Every package apt set out to fetch, as "NAME VERSION" lines (the version
# with its epoch).
chosen_packages() {  # chosen_packages LOG
    awk '/^(Get|Ign|Err):/ && NF >= 7 {print $5, $7}' "$1" | sort -u
}

# The packages apt could not fetch, as "NAME VERSION" lines: the version as
# apt named it, else as the file's name has it.
unfetched_packages() {  # unfetched_packages LOG
    awk 'NR == FNR { version[$1] = $2; next }
         /^E: Failed to fetch / {
             n = split($5, path, "/"); split(path[n], part, "_"); v = part[2]
             gsub("%2[bB]", "+", v); gsub("%7[eE]", "~", v); gsub("%3[aA]", ":", v)
             failed[part[1]] = v
         }
         END { for (p in failed) print p, (p in version ? version[p] : failed[p]) }' <(chosen_packages "$1") "$1" | sort -u
}

# mmdebstrap's extraction of the packages, its output in a log.
fetch_sysroot() {  # fetch_sysroot ARCH SYSROOT PACKAGES LOG
    rm -rf "$2"
    mmdebstrap --variant=extract --architectures="$1" --include="$3" "$release" "$2" >"$4" 2>&1
}

# Where mmdebstrap could not fetch every package it chose: the others, as
# its log names them, fetched with apt's lists in the root it left, and
# unpacked there as it would have.
extract_the_rest() {  # extract_the_rest ARCH ROOT LOG UNFETCHED
    local config packages archives=$2/var/cache/apt/archives result package deb
    config=$(mktemp)
    printf 'Dir "%s/";\nDir::State::status "%s/var/lib/dpkg/status";\nAPT::Architecture "%s";\nAPT::Architectures { "%s"; };\n' \
        "$2" "$2" "$1" "$1" >"$config"
    packages=$(chosen_packages "$3" | grep -vxFf <(cat <<<"$4") | tr ' ' =)
    mkdir -p "$archives"
    # shellcheck disable=SC2086  # one word a package
    (cd "$archives" && APT_CONFIG=$config apt-get download -qq $packages 2>&1 | grep -v unsandboxed)
    result=0
    for package in $packages; do
        compgen -G "$archives/${package%%=*}_*.deb" >/dev/null || { echo "    $package not fetched" >&2; result=1; }
    done
    for deb in "$archives"/*.deb; do
        dpkg-deb -x "$deb" "$2" || result=1
    done
    rm -rf "$config" "$archives"
    return $result
}

# The cross compiler's C library (Debian's libc6-dev-ARCH-cross) in the
# sysroot: under /usr/TRIPLET, where its link scripts point, and where the
# architecture's own packages put it, for the dynamic linker and qemu.
take_cross_libc() {  # take_cross_libc SYSROOT TRIPLET MULTIARCH LINKER
    local from=/usr/$2
    echo "    the C library from $from"
    mkdir -p "$1/usr/$2" "$1/usr/lib/$3" "$1/usr/include" "$1/usr/$(dirname "$4")"
    cp -a "$from/lib" "$from/include" "$1/usr/$2/" &&
        cp -an "$from/include/." "$1/usr/include/" &&
        cp -an "$from/lib/." "$1/usr/lib/$3/" &&
        cp -an "$from/lib/$(basename "$4")" "$1/usr/$4"
}

cross_test() {
    local arch=$1
    [ -n "${target[$arch]:-}" ] || { echo "unknown architecture: $arch" >&2; return 1; }
    local triplet multiarch qemu processor linker compiler_package
    read -r triplet multiarch qemu processor linker <<<"${target[$arch]}"
    compiler_package=g++-$triplet
    [ "$arch" = "$(dpkg --print-architecture)" ] && compiler_package=g++  # the native one, by its triplet name
    install_packages "${cross_packages[@]}" "$compiler_package" || return 1
    local dir=build-cross-$arch
    local sysroot=$PWD/$dir-sysroot
    make_sysroot "$arch" "$sysroot" "$triplet" "$multiarch" "$linker" || return 1
    mkdir -p "$dir"
    cat >"$dir/toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR $processor)
set(CMAKE_SYSROOT $sysroot)
set(CMAKE_C_COMPILER $triplet-gcc)
set(CMAKE_CXX_COMPILER $triplet-g++)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR $qemu;-L;$sysroot)
EOF
    echo "--- building for $arch"
    PKG_CONFIG_LIBDIR="$sysroot/usr/lib/$multiarch/pkgconfig:$sysroot/usr/share/pkgconfig" \
        PKG_CONFIG_SYSROOT_DIR="$sysroot" \
        build_and_test "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$dir/toolchain.cmake"
}

failed=()
for arch in "$@"; do
    echo "=== $arch"
    start=$SECONDS
    cross_test "$arch" || failed+=("$arch")
    took "$arch" "$start"
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "Passed on: $*"
