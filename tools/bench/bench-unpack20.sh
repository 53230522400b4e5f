#!/bin/bash
# Compares our RAR 2.0 decoder with unar on the same archives.
#
#   tools/bench/bench-unpack20.sh path/to/BenchUnpack20 archive.rar...
#
# Builds nothing. Our rate is the "all" line of BenchUnpack20 (packed
# entries, decode only). unar's rate is the archive's output size over the
# time of `unar -o -` (decode to stdout) minus the time of `lsar` on the same
# archive (start-up and header parsing), each the best of $RUNS runs. On small
# archives that difference is a few milliseconds, so the ratio is rough.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 BENCH_BINARY ARCHIVE..." >&2
    exit 2
fi
bench=$1
shift
runs=${RUNS:-10}
command -v unar >/dev/null || { echo "unar is not installed (apt-get install unar)" >&2; exit 1; }

# Best wall time of $runs runs of the given command, in nanoseconds.
best_ns() {
    local best=0 start end t
    for ((i = 0; i < runs; i++)); do
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s%N)
        t=$((end - start))
        if [ "$best" -eq 0 ] || [ "$t" -lt "$best" ]; then best=$t; fi
    done
    echo "$best"
}

printf '%-40s %10s %10s %12s %8s\n' archive ours-MB/s unar-MB/s unar-raw-MB/s ratio
for archive in "$@"; do
    ours=$("$bench" -t 1 "$archive" | awk '$1 == "all" { print $3 }')
    bytes=$(unar -q -o - "$archive" 2>/dev/null | wc -c)
    t_unar=$(best_ns unar -q -o - "$archive")
    t_list=$(best_ns lsar "$archive")
    awk -v name="$(basename "$archive")" -v ours="$ours" -v bytes="$bytes" \
        -v tu="$t_unar" -v tl="$t_list" 'BEGIN {
        decode = tu - tl; if (decode < 1e6) decode = 1e6   # at least 1 ms
        unar = bytes / 1e6 / (decode / 1e9)
        raw = bytes / 1e6 / (tu / 1e9)
        printf "%-40s %10.1f %10.1f %12.1f %8.1f\n", name, ours, unar, raw, ours / unar
    }'
done
