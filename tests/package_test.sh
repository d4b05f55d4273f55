#!/usr/bin/env bash
# Builds the Debian package from a build folder, checks what is in it, and
# runs the program as installed from it until a quit request.
# Usage: package_test.sh BUILD-DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >/dev/null
deb=$(ls "$work"/out/laavasuihku_*_amd64.deb) || fail "no laavasuihku_<version>_amd64.deb"
echo "built $(basename "$deb")"

contents=$(dpkg-deb -c "$deb")
for f in usr/games/laavasuihku usr/share/laavasuihku/tausta.bmp usr/share/applications/laavasuihku.desktop \
         usr/share/icons/hicolor/scalable/apps/laavasuihku.svg usr/share/man/man6/laavasuihku.6.gz \
         usr/share/doc/laavasuihku/copyright usr/share/doc/laavasuihku/changelog.gz; do
    grep -q " \./$f\$" <<<"$contents" || fail "the package lacks $f"
done
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "section is not games"
dpkg-deb -f "$deb" Depends | grep -q 'libsdl1.2' || fail "Depends does not name SDL 1.2: $(dpkg-deb -f "$deb" Depends)"

if command -v lintian >/dev/null; then
    lintian --fail-on error "$deb" 2>/dev/null || fail "lintian reports errors"
fi

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/laavasuihku.desktop" || fail "desktop entry does not validate"
grep -qx 'Path=/usr/share/laavasuihku' "$root/usr/share/applications/laavasuihku.desktop" || fail "desktop Path"
grep -qx 'Exec=/usr/games/laavasuihku' "$root/usr/share/applications/laavasuihku.desktop" || fail "desktop Exec"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man6/laavasuihku.6.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man page warnings: $warnings"

# The installed program, started in its picture's folder as the desktop entry does.
cd "$root/usr/share/laavasuihku"
SDL_VIDEODRIVER=dummy "$root/usr/games/laavasuihku" >"$work/out.txt" 2>"$work/err.txt" &
pid=$!
sleep 2
kill -0 "$pid" 2>/dev/null || fail "the installed program did not keep running"
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status"
[ ! -s "$work/out.txt" ] && [ ! -s "$work/err.txt" ] || fail "it printed: $(cat "$work/out.txt" "$work/err.txt")"
echo "package ok"
