# What the scripts in tools/ share: the packages each purpose needs, whether
# a package is installed, installing the missing ones, and building and
# testing in a folder. Sourced by them, not run.

# The program alone, besides an SDL 1.2 (see need_sdl).
program_packages=(g++ cmake make pkg-config libhwy-dev libxrandr-dev)
# The tests and the benchmark, besides the program's.
test_packages=(libgtest-dev libbenchmark-dev
               xvfb xdotool x11-utils x11-xserver-utils imagemagick libx11-dev libxtst-dev xserver-xorg-core xserver-xorg-video-dummy
               valgrind qemu-user clang libclang-rt-dev
               dpkg-dev lintian desktop-file-utils man-db appstream librsvg2-bin file)
# The page: Debian's emscripten (with its node), Highway's headers, python3 to serve it.
web_packages=(emscripten nodejs libhwy-dev python3 g++)
# Its tests: GoogleTest's sources, built with em++ to run under node, and a real
# browser driven by puppeteer-core from the npm registry.
# (npm, where the machine's node does not bring its own.)
web_test_packages=(googletest cmake make chromium)
# Building for another architecture and running it under qemu, besides its cross compiler.
cross_packages=(mmdebstrap mount qemu-user cmake make pkg-config librsvg2-bin)
# What a sysroot of another architecture holds: the program's and the unit
# tests' libraries, the C++ library of the compiler given among them.
sysroot_packages() {  # sysroot_packages COMPILER
    echo libc6-dev "libstdc++-$("$1" -dumpversion | cut -d. -f1)-dev" libsdl1.2-dev libgtest-dev libhwy-dev libxrandr-dev
}

# What Debian's emscripten needs of node: Debian 12's runs its tools with
# the node on the path, which, if not Debian's, does not look among Debian's
# node modules (acorn); node 20 runs 3.1.6's output only without its own fetch.
web_environment() {
    export NODE_PATH=${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs:/usr/lib/nodejs
}

# Runs a command as root, through sudo unless this is root already.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Installs those of the packages that are not installed yet.
install_packages() {
    local missing=() p
    for p in "$@"; do
        installed "$p" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq &&
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Either SDL 1.2 will do, the classic one or the one on top of SDL 2: the
# classic one unless one of them is installed.
need_sdl() {
    installed libsdl1.2-dev || installed libsdl1.2-compat-dev || echo libsdl1.2-dev
}

# Configures and builds in a folder: configure_and_build DIR [CMAKE-ARGS...] [-- BUILD-ARGS...]
configure_and_build() {
    local dir=$1 configure=() build=()
    shift
    while [ $# -gt 0 ] && [ "$1" != -- ]; do configure+=("$1"); shift; done
    [ $# -gt 0 ] && shift && build=("$@")
    cmake -S . -B "$dir" "${configure[@]}" >/dev/null && cmake --build "$dir" -j"$(nproc)" "${build[@]}"
}

# Runs every test of a built folder: run_tests DIR
# A failed test's whole output goes to the stage's own output (ctest would cut
# it at 300 KB), which no later ctest run overwrites as it does LastTest.log.
run_tests() {
    ctest --test-dir "$1" --output-on-failure --test-output-size-failed 16000000 -j"$(nproc)"
}

# Configures, builds and runs every test in a folder: build_and_test DIR [CMAKE-ARGS...]
build_and_test() {
    configure_and_build "$@" && run_tests "$1"
}

# Says how long a part took since a time in SECONDS: took NAME START
took() {
    echo "--- $1: $(((SECONDS - $2) / 60)) min $(((SECONDS - $2) % 60)) s"
}

# Makes a fresh root of a Debian release with mmdebstrap from Debian's own
# packages in DIR, the machine's resolver and certificate authorities in it,
# /proc and /dev bound into it (undone by leave_root). Needs root.
# make_root RELEASE VARIANT PACKAGES DIR    (PACKAGES: comma-separated, may be empty)
make_root() {
    local release=$1 variant=$2 packages=$3 root=$4 m
    install_packages mmdebstrap mount || return 1
    echo "=== making a Debian $release root in $root"
    mmdebstrap --quiet --variant="$variant" --include="ca-certificates${packages:+,$packages}" "$release" "$root" || return 1
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    # The certificate authorities this machine adds to Debian's (a network's
    # own proxy, say), so that the root reaches what the machine reaches.
    if compgen -G "/usr/local/share/ca-certificates/*.crt" >/dev/null; then
        cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/" &&
            chroot "$root" /usr/sbin/update-ca-certificates >/dev/null 2>&1 || return 1
    fi
    for m in proc dev; do
        mount --rbind "/$m" "$root/$m" && mount --make-rslave "$root/$m" || return 1
    done
}

# Unbinds what make_root bound and removes the root: leave_root DIR
leave_root() {
    local m
    for m in proc dev; do
        mountpoint -q "$1/$m" && { umount -R "$1/$m" 2>/dev/null || umount -lR "$1/$m"; }
    done
    rm -rf --one-file-system "$1"
}

# Runs a command in a root as root, with a clean environment: in_root DIR COMMAND
in_root() {
    chroot "$1" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root /bin/bash -c "$2"
}

# Runs a command in a fresh root of a Debian release made with mmdebstrap from
# Debian's own packages, on a clean clone of the project as committed, and
# returns its status. Needs root.
# in_fresh_root RELEASE PACKAGES COMMAND    (PACKAGES: comma-separated, may be empty)
in_fresh_root() (
    release=$1 packages=$2 command=$3
    root=$(mktemp -d "${TMPDIR:-/var/tmp}/laavasuihku-$release.XXXXXX")
    trap 'leave_root "$root"' EXIT
    trap 'exit 130' INT TERM
    make_root "$release" apt "git${packages:+,$packages}" "$root" || exit 1
    git clone --quiet --no-hardlinks . "$root/laavasuihku" || exit 1
    echo "=== in Debian $release${packages:+ with $packages}: $command"
    in_root "$root" "cd /laavasuihku && $command"
)
