#!/usr/bin/env bash
# The install run's file pass against a plain copy of the same tree, in the
# same run (figures only, nothing fails on a slow machine): a payload of
# about 160 MB in 3,000 files of mixed sizes, half of them text
# (BenchPayload, fixed seed), packed with the packaging tool stored
# (--method 0) and compressed (--method 1, solid), installed under wine64 by
# BenchInstall (worker thread, progress page, install log), and `cp -r` of
# the same tree. Best of two runs each; the ratio is pass time over copy time.
# Needs build/native/{BenchPayload,TarvPack}, build/win64/{Tarv,BenchInstall}.exe,
# a Wine prefix and display (TARV_WINEPREFIX, TARV_DISPLAY, as the test run sets).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$root/build/native/BenchPayload" "$work/pkg" > "$work/payload.log"
winpath() { echo "Z:${1//\//\\}"; }
seconds_of() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
lesser() { awk -v a="$1" -v b="${2:-$1}" 'BEGIN { print (a < b ? a : b) }'; }
copy=""
for run in 1 2; do
    rm -rf "$work/copy"
    sync
    start=$(date +%s.%N)
    cp -r "$work/pkg/Data" "$work/copy"
    copy=$(lesser "$(seconds_of "$start" "$(date +%s.%N)")" "$copy")
done
rm -rf "$work/copy"
mb=$(du -sm "$work/pkg/Data" | cut -f1)
for kind in "stored:--method 0" "compressed:--method 1"; do
    name=${kind%%:*}
    # shellcheck disable=SC2086
    "$root/build/native/TarvPack" build "$work/pkg" "$work/setup.exe" --installer "$root/build/win64/Tarv.exe" \
        ${kind#*:} > "$work/pack.log" 2>&1 || { echo "install benchmark ($name): packing failed:"; tail -2 "$work/pack.log"; continue; }
    best=""
    for run in 1 2; do
        rm -rf "$work/installed" "$work/install.log"
        sync
        timeout 900 "$root/tools/wine-run.sh" "$root/build/win64/BenchInstall.exe" "$(winpath "$work/setup.exe")" \
            "$(winpath "$work/installed")" "$(winpath "$work/install.log")" > "$work/bench.out" 2>&1 || true
        seconds=$(tr -d '\r' < "$work/bench.out" | sed -n 's/^file pass: .* in \([0-9.]*\) s$/\1/p')
        [ -n "$seconds" ] || { echo "install benchmark ($name) could not run:"; cat "$work/bench.out"; break; }
        best=$(lesser "$seconds" "$best")
    done
    [ -n "$best" ] || continue
    files=$(find "$work/installed" -type f | wc -l)
    rm -rf "$work/installed" "$work/setup.exe"
    awk -v n="$name" -v f="$files" -v m="$mb" -v i="$best" -v c="$copy" 'BEGIN {
        printf "install file pass (%s, %d files, %d MB): %.2f s; cp -r of the same tree: %.2f s; ratio %.2f\n", n, f, m, i, c, i / c }'
done
