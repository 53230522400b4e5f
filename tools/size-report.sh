#!/usr/bin/env bash
# Prints the size of the shipped i686 installer and fails above the ceiling,
# and the size of the uninstaller built beside it.
# The archive appended to it is found only when its marker starts within the
# first 0x1FFF6 bytes, so the program must stay well below 128 KB.
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
# The uninstaller beside it: a goal only (no archive has to be found in it).
untarv="$(dirname "$exe")/UnTarv.exe"
if [ -f "$untarv" ]; then
    usize=$(stat -c %s "$untarv")
    echo "UnTarv.exe (i686, stripped): $usize bytes ($(( (usize + 1023) / 1024 )) KB); goal 49152"
    [ "$usize" -le 49152 ] || echo "note: UnTarv.exe is above its 48 KB goal"
fi
