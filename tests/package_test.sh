#!/usr/bin/env bash
# Builds the Debian package from a build folder, checks what is in it, and
# runs the program as installed from it until a quit request.
# Usage: package_test.sh BUILD-DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Timestamps from SOURCE_DATE_EPOCH, as Debian's builds give it: the same
# bytes each time (without it, CPack stamps the archives with the clock).
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-1797000000}
cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >/dev/null
deb=$(ls "$work"/out/laavasuihku_*_amd64.deb) || fail "no laavasuihku_<version>_amd64.deb"
echo "built $(basename "$deb")"
sleep 1
cpack -G DEB -B "$work/again" --config "$build/CPackConfig.cmake" >/dev/null
cmp -s "$deb" "$work/again/$(basename "$deb")" || fail "a second cpack gave other bytes"

contents=$(dpkg-deb -c "$deb")
app_id=io.github.laavasuihku.laavasuihku
desktop=usr/share/applications/$app_id.desktop
metainfo=usr/share/metainfo/$app_id.metainfo.xml
for f in usr/games/laavasuihku usr/share/laavasuihku/tausta.bmp $desktop $metainfo \
         usr/share/icons/hicolor/scalable/apps/laavasuihku.svg usr/share/icons/hicolor/{48x48,64x64,128x128,256x256}/apps/laavasuihku.png \
         usr/share/man/man6/laavasuihku.6.gz usr/share/doc/laavasuihku/copyright usr/share/doc/laavasuihku/changelog.gz; do
    grep -q " \./$f\$" <<<"$contents" || fail "the package lacks $f"
done
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "section is not games"
dpkg-deb -f "$deb" Depends | grep -q 'libsdl1.2' || fail "Depends does not name SDL 1.2: $(dpkg-deb -f "$deb" Depends)"
# libhwy.so's start-up code runs rdtscp without asking the processor, which
# kills the program before main where it is missing: its headers only.
! dpkg-deb -f "$deb" Depends | grep -q 'libhwy' || fail "Depends names Highway's library: $(dpkg-deb -f "$deb" Depends)"

if command -v lintian >/dev/null; then
    tags=$(lintian --fail-on none "$deb" 2>/dev/null | grep -E '^[EW]:' || true)
    [ -z "$tags" ] || fail "lintian reports errors or warnings: $tags"
fi

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/$desktop" || fail "desktop entry does not validate"
grep -qx 'Path=/usr/share/laavasuihku' "$root/$desktop" || fail "desktop Path"
grep -qx 'Exec=/usr/games/laavasuihku' "$root/$desktop" || fail "desktop Exec"
appstreamcli validate --pedantic --no-net "$root/$metainfo" >"$work/appstream.txt" ||
    fail "AppStream metadata: $(cat "$work/appstream.txt")"
! grep -E '^[EW]:' "$work/appstream.txt" || fail "AppStream metadata has warnings"
grep -q 'License: Expat' "$root/usr/share/doc/laavasuihku/copyright" || fail "copyright does not name the licence"
for size in 48 64 128 256; do
    file "$root/usr/share/icons/hicolor/${size}x${size}/apps/laavasuihku.png" | grep -q "PNG image data, $size x $size" ||
        fail "the ${size}x${size} icon is not a PNG of that size"
done
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man6/laavasuihku.6.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man page warnings: $warnings"

! ldd "$root/usr/games/laavasuihku" | grep libhwy || fail "the program loads Highway's library"

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
