#!/usr/bin/env bash
# The main job: installs what is missing, builds every target, packs the
# example package into a setup executable with the shipped i686 installer
# (and with the x86_64 one, which these machines can run), checks both with
# the packaging tool, and runs the x86_64 setup under wine64.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/tools/setup-machine.sh"
"$root/tools/build-all.sh"
"$root/tools/size-report.sh" build/win32

out="$root/build/example"
mkdir -p "$out"
pack="$root/build/native/TarvPack"
echo "== packing examples/Hello"
"$pack" build examples/Hello "$out/Hello-setup.exe" --installer build/win32/Tarv.exe
"$pack" build examples/Hello "$out/Hello-setup-x64.exe" --installer build/win64/Tarv.exe
echo "== checking $out/Hello-setup.exe"
"$pack" test "$out/Hello-setup.exe"

export TARV_WINEPREFIX="${TARV_WINEPREFIX:-$HOME/.wine-tarv}"
. "$root/tools/xvfb.sh"
start_xvfb
trap 'kill $xvfb_pid 2>/dev/null' EXIT
echo "== running $out/Hello-setup-x64.exe under wine64"
status=0
"$root/tools/wine-run.sh" "$out/Hello-setup-x64.exe" || status=$?
echo "the setup program exited with code $status"
exit $status
