#!/usr/bin/env bash
# The main job: installs what is missing, builds every target, packs the
# example package (examples/Demo, "Lumen Notes") into setup programs with the
# shipped i686 installer and with the x86_64 one (which these machines can
# run), checks them with the packaging tool, and runs the x86_64 setup under
# wine64 in a private Wine prefix (build/example/wine):
#   - with a display (DISPLAY set): you click through it yourself;
#   - without one: under Xvfb, driven by the GUI test driver with the default
#     answers, a screenshot of every page; then it shows what was installed,
#     removes the installation again with the registered uninstaller, and
#     shows what is left.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/tools/setup-machine.sh"
"$root/tools/build-all.sh"
"$root/tools/size-report.sh" build/win32

out="$root/build/example"
shots="$out/screenshots"
rm -rf "$out"
mkdir -p "$shots"
pack="$root/build/native/TarvPack"
echo "== packing examples/Demo"
"$pack" build examples/Demo "$out/LumenNotes-setup.exe" --installer build/win32/Tarv.exe
"$pack" build examples/Demo "$out/LumenNotes-setup-x64.exe" --installer build/win64/Tarv.exe
echo "== checking $out/LumenNotes-setup.exe with the installer's reader, and with lsar"
"$pack" test "$out/LumenNotes-setup.exe" | tail -n 1
lsar -t "$out/LumenNotes-setup.exe" | tail -n 1

export TARV_WINEPREFIX="$out/wine"
wine_run() { "$root/tools/wine-run.sh" "$@"; }
winpath() { echo "Z:$1" | tr / '\\'; }
WINEPREFIX="$TARV_WINEPREFIX" WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d' WINEDEBUG=-all \
    wineboot -i >/dev/null 2>&1

if [ -n "${DISPLAY:-}" ] && [ -z "${TARV_EXAMPLE_HEADLESS:-}" ]; then
    export TARV_DISPLAY="$DISPLAY"
    echo "== running the setup on $DISPLAY: click through it"
    status=0
    wine_run "$out/LumenNotes-setup-x64.exe" || status=$?
    echo "the setup program exited with code $status"
    exit $status
fi

. "$root/tools/xvfb.sh"
start_xvfb
cleanup() {
    WINEPREFIX="$TARV_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
WINEPREFIX="$TARV_WINEPREFIX" wineserver -p >/dev/null 2>&1 &
# Without a window manager every hidden window would cost two seconds.
wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

echo "== installing under Xvfb, driven by tools/GuiDriver with the default answers"
driver=build/win64/GuiDriver.exe
wine_run "$driver" --desktop Example --shots "$(winpath "$shots")" \
    "$(winpath "$root/tools/example/install.scenario")" "$(winpath "$out/install.transcript.txt")" \
    "$(winpath "$out/LumenNotes-setup-x64.exe")" >"$out/install.log.txt" 2>&1 || {
    echo "the installation scenario failed; its transcript:"; tail -n 20 "$out/install.transcript.txt"; exit 1; }
for bmp in "$shots"/*.bmp; do convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"; done

drive_c="$TARV_WINEPREFIX/drive_c"
program="$drive_c/Program Files/Lumen Notes"
show_machine() {
    echo "-- files in C:\\Program Files\\Lumen Notes"
    if [ -d "$program" ]; then (cd "$program" && find . | sort | sed 's#^\./#   #; /^\.$/d'); else echo "   (no such folder)"; fi
    echo "-- registry: HKCU\\Software\\Example Software\\Lumen Notes"
    wine_run reg query 'HKCU\Software\Example Software\Lumen Notes' 2>/dev/null | tr -d '\r' | sed -n 's/^    /   /p' || true
    echo "-- registry: the uninstall entry"
    wine_run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumen Notes 2.1' 2>/dev/null \
        | tr -d '\r' | sed -n 's/^    /   /p' || true
    echo "-- shortcuts"
    find "$drive_c" -path '*Programs/Lumen Notes*' -name '*.lnk' 2>/dev/null | sed "s#^$drive_c#   C:#" | sort
    echo "-- font"
    find "$drive_c/windows/Fonts" -name 'DejaVuSansMono-Oblique.ttf' 2>/dev/null | sed "s#^$drive_c#   C:#"
}
echo "== what the installation did"
show_machine
echo "-- the install log (the uninstaller's record)"
sed 's/\r$//; s/^/   /' "$program/Uninstall.log"

echo "== removing it with the registered uninstaller"
command=$(wine_run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumen Notes 2.1' \
    /v UninstallString 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
echo "   UninstallString: $command"
uninstaller=${command%% \"*}
log=${command#*\"}
log=${log%\"}
wine_run "$driver" --shots "$(winpath "$shots")" "$(winpath "$root/tools/example/uninstall.scenario")" \
    "$(winpath "$out/uninstall.transcript.txt")" "$uninstaller" "$log" >"$out/uninstall.log.txt" 2>&1 || {
    echo "the uninstall scenario failed; its transcript:"; tail -n 20 "$out/uninstall.transcript.txt"; exit 1; }
echo "== what is left"
show_machine
if grep -q "restart Windows" "$out/uninstall.transcript.txt"; then
    echo "== what is left after Windows restarts (files in use were deleted then)"
    # A restart of Wine: every program ends (the Notepad that RunApp opened
    # had the program folder as its current folder), and the new session
    # carries out the deletions that waited for it.
    WINEPREFIX="$TARV_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
    wine_run wineboot -r >/dev/null 2>&1 || true
    show_machine
fi
echo "== screenshots of every page: $shots"
ls "$shots" | sed 's/^/   /'
echo "transcripts: $out/install.transcript.txt, $out/uninstall.transcript.txt"
