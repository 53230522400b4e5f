#!/usr/bin/env bash
# Prints the size of the shipped i686 programs and fails above the ceiling.
# The archive appended to the installer is found only when its marker starts
# at offset 0x1FFED at the latest (kLastMarkerOffset, src/archive/RarFormat.h), so the
# program must stay well below 128 KB. The installer's link map gives the
# size of each module.
set -euo pipefail
dir="${1:-build/win32}"
ceiling=122880   # 120 KB, hard
target=98304     # 96 KB, the goal
status=0
report() {  # exe, ceiling (0: none), target
    local exe=$1 max=$2 goal=$3 size
    [ -f "$exe" ] || return 0
    size=$(stat -c %s "$exe")
    printf '%-14s %7d bytes (%3d KB)' "$(basename "$exe")" "$size" $(( (size + 1023) / 1024 ))
    [ "$goal" -gt 0 ] && printf '; goal %d' "$goal"
    [ "$max" -gt 0 ] && printf ', ceiling %d' "$max"
    echo
    if [ "$max" -gt 0 ] && [ "$size" -gt "$max" ]; then
        echo "FAIL: $(basename "$exe") is above its size ceiling" >&2
        status=1
    fi
}
report "$dir/Tarv.exe" $ceiling $target
report "$dir/UnTarv.exe" 0 49152
if [ -f "$dir/Tarv.map" ]; then
    echo "bytes per module in Tarv.exe (code, constants, data, resources):"
    awk '
        /^ \.[a-z]/ { section = $1 }
        /^ \.(text|rdata|data|rsrc)/ && NF >= 4 { add($1, $3, $4); next }
        /^ +0x[0-9a-f]+ +0x[0-9a-f]+ / && section ~ /^\.(text|rdata|data|rsrc)/ { add(section, $2, $3) }
        function hexval(h,   i, v) {
            v = 0; h = tolower(substr(h, 3))
            for (i = 1; i <= length(h); i++) v = v * 16 + index("0123456789abcdef", substr(h, i, 1)) - 1
            return v
        }
        function add(sec, hex, obj,   n) {
            n = hexval(hex); if (n == 0) return
            if (obj ~ /\(/) { sub(/.*\(/, "", obj); sub(/\)$/, "", obj) } else sub(/.*\//, "", obj)
            sub(/\.cpp\.obj$/, "", obj); sub(/\.rc\.res$/, " (resources)", obj)
            if (obj ~ /^(lib32_|lib64_|crt|_chkstk|_ctors)/) obj = "(C runtime start-up)"
            else if (obj ~ /^lib[a-z0-9_]+s[0-9]+\.o$|_defs[0-9]+\.o$/) obj = "(import thunks)"
            else if (obj !~ /^[A-Za-z0-9_ ()]+$/) obj = "(other)"
            total[obj] += n
        }
        END { for (o in total) printf "  %7d  %s\n", total[o], o }
    ' "$dir/Tarv.map" | sort -rn
fi
exit $status
