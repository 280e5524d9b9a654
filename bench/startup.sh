#!/usr/bin/env bash
# Start-up to the first painted frame, Kestrum against an empty QMainWindow of
# the same size, interleaved runs, on the offscreen platform and on Xvfb.
# Prints the median time and peak memory of each, and the ratios.
# Usage: startup.sh <build directory> [runs]
set -euo pipefail
build=$1
runs=${2:-25}
kestrum=$build/bench/startup_kestrum
baseline=$build/bench/startup_baseline
text_baseline=$build/bench/startup_text_baseline

work=$(mktemp -d)
trap 'kill "${xvfb:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

# One run: "<milliseconds> <peak resident kilobytes>".
measure() {
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f '%M' -o "$work/rss" "$1" >/dev/null 2>&1
    end=$(date +%s%N)
    echo "$(( (end - start) / 1000 )) $(cat "$work/rss")"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

run_platform() {
    export QT_QPA_PLATFORM=$1
    : > "$work/k"; : > "$work/b"; : > "$work/t"
    # warm the caches
    measure "$kestrum" >/dev/null; measure "$baseline" >/dev/null; measure "$text_baseline" >/dev/null
    for _ in $(seq "$runs"); do
        measure "$kestrum" >> "$work/k"
        measure "$baseline" >> "$work/b"
        measure "$text_baseline" >> "$work/t"
    done
    local kt bt tt km bm tm
    kt=$(cut -d' ' -f1 "$work/k" | median); km=$(cut -d' ' -f2 "$work/k" | median)
    bt=$(cut -d' ' -f1 "$work/b" | median); bm=$(cut -d' ' -f2 "$work/b" | median)
    tt=$(cut -d' ' -f1 "$work/t" | median); tm=$(cut -d' ' -f2 "$work/t" | median)
    awk -v p="$1" -v kt="$kt" -v bt="$bt" -v tt="$tt" -v km="$km" -v bm="$bm" -v tm="$tm" -v n="$runs" 'BEGIN {
        printf "start-up, %s, median of %d runs:\n", p, n
        printf "  Kestrum            %6.1f ms  %5.1f MB\n", kt / 1000, km / 1024
        printf "  empty window       %6.1f ms  %5.1f MB   Kestrum: %.2f x, %+.1f MB\n", bt / 1000, bm / 1024, kt / bt, (km - bm) / 1024
        printf "  window with text   %6.1f ms  %5.1f MB   Kestrum: %.2f x, %+.1f MB\n", tt / 1000, tm / 1024, kt / tt, (km - tm) / 1024
    }'
}

run_platform offscreen

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
run_platform xcb
