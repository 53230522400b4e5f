#!/usr/bin/env bash
# The install run's file pass against a plain copy of the same tree, in the
# same run (figures only, nothing fails on a slow machine):
#   a stored payload of about 150 MB in 3,000 files of mixed sizes (fixed
#   seed, BenchPayload), packed with the packaging tool, installed under wine64 by
#   BenchInstall (worker thread, progress page, install log), and `cp -r` of
#   the same tree; the ratio is the pass time over the copy time.
# Needs build/native/TarvPack, build/win64/{Tarv,BenchInstall}.exe, a Wine
# prefix and display (TARV_WINEPREFIX, TARV_DISPLAY, as the test run sets).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$root/build/native/BenchPayload" "$work/pkg" > "$work/payload.log"
"$root/build/native/TarvPack" build "$work/pkg" "$work/setup.exe" --installer "$root/build/win64/Tarv.exe" > "$work/pack.log" 2>&1
winpath() { echo "Z:${1//\//\\}"; }
best_install=""
best_copy=""
for run in 1 2; do
    rm -rf "$work/installed" "$work/copy" "$work/install.log"
    sync
    timeout 900 "$root/tools/wine-run.sh" "$root/build/win64/BenchInstall.exe" "$(winpath "$work/setup.exe")" \
        "$(winpath "$work/installed")" "$(winpath "$work/install.log")" > "$work/bench.out" 2>&1 || true
    line=$(grep 'file pass' "$work/bench.out" || true)
    seconds=$(echo "$line" | sed -n 's/.* in \([0-9.]*\) s.*/\1/p')
    [ -n "$seconds" ] || { echo "install benchmark could not run:"; cat "$work/bench.out"; exit 0; }
    sync
    start=$(date +%s.%N)
    cp -r "$work/pkg/Data" "$work/copy"
    end=$(date +%s.%N)
    copy=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
    best_install=$(awk -v a="$seconds" -v b="${best_install:-$seconds}" 'BEGIN { print (a < b ? a : b) }')
    best_copy=$(awk -v a="$copy" -v b="${best_copy:-$copy}" 'BEGIN { print (a < b ? a : b) }')
done
files=$(find "$work/installed" -type f | wc -l)
mb=$(du -sm "$work/pkg/Data" | cut -f1)
awk -v f="$files" -v m="$mb" -v i="$best_install" -v c="$best_copy" 'BEGIN {
    printf "install file pass (stored, %d files, %d MB): %.2f s; cp -r of the same tree: %.2f s; ratio %.2f\n", f, m, i, c, i / c }'
