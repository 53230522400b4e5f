#!/usr/bin/env bash
# Prints the size of the shipped i686 installer and fails above the ceiling.
# The archive appended to it is found only when its marker starts at offset
# 0x1FFED at the latest (kLastMarkerOffset, src/archive/RarFormat.h), so the
# program must stay well below 128 KB.
set -euo pipefail
exe="${1:-build/win32/Tarv.exe}"
ceiling=122880   # 120 KB, hard
target=98304     # 96 KB, the goal
size=$(stat -c %s "$exe")
echo "Tarv.exe (i686, stripped): $size bytes ($(( (size + 1023) / 1024 )) KB); ceiling $ceiling, target $target"
if [ "$size" -gt "$ceiling" ]; then
    echo "FAIL: the installer is above its size ceiling" >&2
    exit 1
fi
[ "$size" -le "$target" ] || echo "note: above the 96 KB target"
