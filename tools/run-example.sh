#!/usr/bin/env bash
# The main job: installs what is missing, builds every target, prints the
# shipped installer's size, and runs the x86_64 installer under wine64.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/tools/setup-machine.sh"
"$root/tools/build-all.sh"
"$root/tools/size-report.sh" build/win32/Tarv.exe

export TARV_WINEPREFIX="${TARV_WINEPREFIX:-$HOME/.wine-tarv}"
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
export TARV_DISPLAY=":$display"
Xvfb "$TARV_DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null' EXIT
echo "== running build/win64/Tarv.exe under wine64"
"$root/tools/wine-run.sh" build/win64/Tarv.exe
echo "Tarv.exe exited with code $?"
