#!/usr/bin/env bash
# Fails when a shipped program holds the RAR marker "Rar!" 0x1A 0x07 0x00 as
# seven bytes in a row. Other readers take the first marker they find in a
# self-extractor for the archive; one inside the installer's own code would
# make them fail on every setup program (our reader also checks the main
# header behind the marker, they do not).
set -uo pipefail
bad=0
for exe in "$@"; do
    if LC_ALL=C grep -q -a -P 'Rar!\x1A\x07\x00' "$exe"; then
        echo "marker: $(basename "$exe") holds the RAR marker"; bad=1
    fi
done
[ "$bad" -eq 0 ] && echo "marker: no shipped program holds the RAR marker"
exit $bad
