#!/usr/bin/env bash
# Measures the program's frame times in a real window of an X server of its
# own, beside a bare loop sleeping to the same deadlines meanwhile: frames
# a second, the 1st, 50th and 99th percentile of the intervals between flips,
# the frames over 1.5 steps late, and the program's share of a core.
# Usage: tools/frame-times.sh [--screen xvfb|75|144] [--particles N] [--seconds S] [--build DIR] [--program PATH]
#   --screen     Xvfb, which reports no rate (60 steps a second), or Xorg's dummy
#                driver at a 74.9 Hz or a 144 Hz mode (default 75)
#   --particles  1000 (default) or more, raised by holding a as a person does
#   --build      a build with the tests (default build), whose frame shim records the flips
#   --program    another build of the program to measure with that shim
# The environment goes to the program: LD_LIBRARY_PATH (another SDL 1.2), SDL_*, SDL12COMPAT_*.
set -euo pipefail
cd "$(dirname "$0")/.."
screen=75 particles=1000 seconds=10 build=build program=
while [ $# -gt 0 ]; do
    case $1 in
        --screen) screen=$2 ;;
        --particles) particles=$2 ;;
        --seconds) seconds=$2 ;;
        --build) build=$2 ;;
        --program) program=$2 ;;
        *) sed -n '6,12p' "$0" >&2; exit 2 ;;
    esac
    shift 2
done
build=$(realpath "$build")
program=$(realpath "${program:-$build/laavasuihku}")
shim=$build/tests/libframe_shim.so
for f in "$program" "$shim" "$build/frame_times" "$build/tausta.bmp"; do
    [ -e "$f" ] || { echo "missing $f: build with the tests first (tools/test.sh)" >&2; exit 1; }
done
work=$(mktemp -d)
pids=()
trap 'for p in $(printf "%s\n" "${pids[@]}" | tac); do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done; rm -rf "$work"' EXIT

display=:$((90 + RANDOM % 400))
case $screen in
    xvfb) Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 & rate=0 ;;
    75 | 144)
        Xorg "$display" -config "$PWD/tests/e2e/xorg-dummy.conf" -logfile "$work/Xorg.log" -noreset -nolisten tcp \
            -novtswitch -sharevts >/dev/null 2>&1 &
        rate=$(awk -v s="$screen" 'BEGIN { print (s == 75 ? 138.75e6 : 266.75e6) / (1728 * 1072) }') ;;
    *) echo "unknown screen $screen" >&2; exit 2 ;;
esac
pids+=($!)
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
[ "$screen" != 144 ] || xrandr --output DUMMY0 --mode 1280x1024_144

cp "$build/tausta.bmp" "$work/"
(cd "$work" && LD_PRELOAD=$shim LAAVA_FLIP_TIMES=$work/flips LAAVA_COUNT_FLIPS=$work/counts \
    SDL_VIDEODRIVER=x11 exec "$program") &
pids+=($!)
pid=$!
window=$(xdotool search --sync --name 'Laavasuihku!' | tail -1)
xdotool mousemove --window "$window" 1000 10
held_a() { awk 'NR == 2 { print $98 }' "$work/counts"; }  # key a is 97, from field 1
if [ "$particles" -gt 1000 ]; then
    xdotool keydown a
    while [ "$(held_a)" -lt $(((particles - 1000) / 1000)) ]; do sleep 0.001; done
    xdotool keyup a
fi
sleep 2
ticks() { awk '{ sub(/.*\) /, ""); print $12 + $13 }' "/proc/$pid/stat"; }
: >"$work/flips"  # from here on (the shim appends)
t0=$(ticks)
"$build/frame_times" --bare "$rate" "$seconds" >"$work/bare"
t1=$(ticks)
cp "$work/flips" "$work/measured"
where="Xorg's $screen Hz mode"
[ "$screen" = xvfb ] && where="Xvfb (no rate)"
share=$(awk -v d=$((t1 - t0)) -v s="$seconds" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.0f", 100 * d / hz / s }')
echo "$program on $where, $particles particles: $share % of a core"
"$build/frame_times" "$work/measured" "$rate" "$work/bare"
