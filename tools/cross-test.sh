#!/usr/bin/env bash
# Builds the program and its unit tests for other architectures with Debian's
# cross compilers, against a sysroot of that architecture's Debian packages
# made with mmdebstrap, and runs the unit tests (the fast pass against the
# plain one among them) under qemu-user. Ends non-zero if any failed.
# Usage: tools/cross-test.sh ARCH...      (arm64, armhf, riscv64)
set -uo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
[ $# -gt 0 ] || { echo "usage: tools/cross-test.sh ARCH... (arm64, armhf, riscv64)" >&2; exit 2; }
release=$(. /etc/os-release && echo "$VERSION_CODENAME")
declare -A ld_name=([arm64]=aarch64.so.1 [armhf]=armhf.so.3 [riscv64]=riscv64-lp64d.so.1)

# A sysroot of the architecture's own packages: what the build links against
# and what qemu takes the program's libraries from. Made once, then kept.
make_sysroot() {
    local arch=$1 sysroot=$2
    local packages
    packages=$(sysroot_packages | tr ' ' ,)
    [ -f "$sysroot/.made-from" ] && [ "$(cat "$sysroot/.made-from")" = "$release $packages" ] && return 0
    rm -rf "$sysroot"
    echo "--- a Debian $release sysroot for $arch"
    mmdebstrap --quiet --variant=extract --architectures="$arch" --include="$packages" \
        "$release" "$sysroot" || return 1
    # Where the C library lives in /usr alone (Debian 13), /lib and the rest are
    # links that base-files would make; qemu looks for the dynamic linker there.
    local d
    for d in bin sbin lib; do
        [ -e "$sysroot/$d" ] || ln -s "usr/$d" "$sysroot/$d"
    done
    [ -e "$sysroot/lib/ld-linux-${ld_name[$arch]}" ] || { echo "no dynamic linker in the $arch sysroot" >&2; return 1; }
    echo "$release $packages" >"$sysroot/.made-from"
}

cross_test() {
    local arch=$1 triplet qemu processor
    case $arch in
        arm64) triplet=aarch64-linux-gnu qemu=qemu-aarch64 processor=aarch64 ;;
        armhf) triplet=arm-linux-gnueabihf qemu=qemu-arm processor=arm ;;
        riscv64) triplet=riscv64-linux-gnu qemu=qemu-riscv64 processor=riscv64 ;;
        *) echo "unknown architecture: $arch" >&2; return 1 ;;
    esac
    install_packages "${cross_packages[@]}" "g++-$triplet" || return 1
    local dir=build-cross-$arch
    local sysroot=$PWD/$dir-sysroot
    make_sysroot "$arch" "$sysroot" || return 1
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
    PKG_CONFIG_LIBDIR="$sysroot/usr/lib/$triplet/pkgconfig:$sysroot/usr/share/pkgconfig" \
        PKG_CONFIG_SYSROOT_DIR="$sysroot" \
        build_and_test "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$dir/toolchain.cmake"
}

failed=()
for arch in "$@"; do
    echo "=== $arch"
    cross_test "$arch" || failed+=("$arch")
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "Passed on: $*"
