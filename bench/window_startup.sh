#!/usr/bin/env bash
# Start-up of the real program to its visible main window under Xvfb: the
# Linux build, Kestrum.exe under Wine (with the Wine server kept running, as
# it is while any Windows program runs) and, as Kestrum.exe's floor, a window
# with one Japanese label built with the same static Qt, and, if given, an
# earlier Kestrum.exe, interleaved runs. Prints the median of each and the
# ratios.
# Usage: window_startup.sh <Linux Kestrum> <Kestrum.exe> <floor .exe> [runs [earlier Kestrum.exe]]
set -euo pipefail
linux=$1
windows=$2
floor=$3
runs=${4:-15}
earlier=${5:-}
: "${WINEPREFIX:?WINEPREFIX must name a prepared prefix (tests/wine_prefix.sh)}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; kill "${xvfb:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$linux" "$work/Kestrum"
cp "$windows" "$work/Kestrum.exe"
cp "$floor" "$work/floor.exe"
[ -z "$earlier" ] || { mkdir "$work/earlier" && cp "$earlier" "$work/earlier/Kestrum.exe"; }
export XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
mkdir -m 700 "$XDG_RUNTIME_DIR"
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
wineserver -p

# Milliseconds from launch to a visible window titled Kestrum; the program is
# closed again before the next run. A launch that shows no window within the
# time limit stops the benchmark, naming it.
limit=60
launches=0
measure() {
    local start end pid
    launches=$((launches + 1))
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 &
    pid=$!
    # xdotool's own --sync polls only every half second
    until xdotool search --onlyvisible --name '^Kestrum$' >/dev/null 2>&1; do
        if [ $(( $(date +%s%N) - start )) -gt $((limit * 1000000000)) ]; then
            kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
            echo "window_startup.sh: launch $launches ($*) showed no window within $limit s" >&2
            exit 1
        fi
        sleep 0.005
    done
    end=$(date +%s%N)
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
    echo $(( (end - start) / 1000000 ))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

measure "$work/Kestrum" >/dev/null; measure wine "$work/Kestrum.exe" >/dev/null # warm up
measure wine "$work/floor.exe" --stay >/dev/null
[ -z "$earlier" ] || measure wine "$work/earlier/Kestrum.exe" >/dev/null
for _ in $(seq "$runs"); do
    measure "$work/Kestrum" >>"$work/linux"
    measure wine "$work/Kestrum.exe" >>"$work/wine"
    measure wine "$work/floor.exe" --stay >>"$work/floor"
    [ -z "$earlier" ] || measure wine "$work/earlier/Kestrum.exe" >>"$work/earlier.ms"
done
l=$(median <"$work/linux")
w=$(median <"$work/wine")
f=$(median <"$work/floor")
awk -v l="$l" -v w="$w" -v f="$f" -v n="$runs" 'BEGIN {
    printf "start-up to the visible main window, Xvfb, median of %d runs:\n", n
    printf "  Linux build                    %6.0f ms\n", l
    printf "  Kestrum.exe on Wine            %6.0f ms   %.1f x the Linux build\n", w, w / l
    printf "  floor on Wine (one label)      %6.0f ms   Kestrum.exe is %.2f x its floor\n", f, w / f
}'
if [ -n "$earlier" ]; then
    e=$(median <"$work/earlier.ms")
    awk -v w="$w" -v e="$e" -v f="$f" 'BEGIN {
        printf "  earlier Kestrum.exe on Wine    %6.0f ms   %.2f x the floor; this one is %.2f x it\n", e, e / f, w / e
    }'
fi
