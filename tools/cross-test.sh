#!/usr/bin/env bash
# Builds the program and its unit tests for other architectures with Debian's
# cross compilers, against a sysroot of that architecture's Debian packages
# made with mmdebstrap, and runs the unit tests (the fast pass against the
# plain one and the recorded run among them) under qemu-user. Ends non-zero
# if any failed.
# Usage: tools/cross-test.sh ARCH...    against this release's packages
#        tools/cross-test.sh all        every Debian 13 release architecture against
#                                       Debian 13's packages (from Debian 12 in a fresh
#                                       Debian 13 root, on the project as committed)
# Architectures: amd64 (a check of the script itself), arm64, armel, armhf, i386,
# ppc64el, riscv64 (Debian 13 on), s390x.
set -uo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
release_architectures=(amd64 arm64 armel armhf i386 ppc64el riscv64 s390x)
[ $# -gt 0 ] || { sed -n '7,12p' "$0" >&2; exit 2; }
release=$(. /etc/os-release && echo "$VERSION_CODENAME")
if [ "$*" = all ]; then
    if [ "$release" = bookworm ]; then
        [ "$(id -u)" -eq 0 ] || exec sudo "$0" all  # making a root needs root
        in_fresh_root trixie "" "bash tools/cross-test.sh all"
        exit
    fi
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
make_sysroot() {  # make_sysroot ARCH SYSROOT COMPILER LINKER
    local arch=$1 sysroot=$2 packages
    packages=$(sysroot_packages "$3" | tr ' ' ,)
    [ -f "$sysroot/.made-from" ] && [ "$(cat "$sysroot/.made-from")" = "$release $packages" ] && return 0
    rm -rf "$sysroot"
    echo "--- a Debian $release sysroot for $arch"
    mmdebstrap --quiet --variant=extract --architectures="$arch" --include="$packages" \
        "$release" "$sysroot" || return 1
    # Where the C library lives in /usr alone (Debian 13), /lib and the rest are
    # links that base-files would make; qemu looks for the dynamic linker there.
    local d
    for d in bin sbin lib lib32 lib64; do
        [ -e "$sysroot/$d" ] || [ ! -e "$sysroot/usr/$d" ] || ln -s "usr/$d" "$sysroot/$d"
    done
    [ -e "$sysroot/$4" ] || { echo "no dynamic linker $4 in the $arch sysroot" >&2; return 1; }
    echo "$release $packages" >"$sysroot/.made-from"
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
    make_sysroot "$arch" "$sysroot" "$triplet-gcc" "$linker" || return 1
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
