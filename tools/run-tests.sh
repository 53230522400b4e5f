#!/usr/bin/env bash
# The whole test suite, from a fresh Debian 12 machine: installs what is
# missing, builds every kind of build, checks the installer's size, runs the
# native tests, the Windows tests under wine64 (one private prefix, one
# persistent wineserver, an Xvfb display), and each fuzzer for a short time.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
fuzz_seconds="${TARV_FUZZ_SECONDS:-30}"

"$root/tools/setup-machine.sh" || exit 1
"$root/tools/build-all.sh" || exit 1
"$root/tools/size-report.sh" build/win32 || exit 1
checks_failed=0
echo "== structure checks"
"$root/tools/checks/check-layers.sh" || checks_failed=1
"$root/tools/checks/check-toolchain.sh" || checks_failed=1
"$root/tools/checks/check-imports.sh" build/win32/Tarv.exe build/win32/UnTarv.exe || checks_failed=1
"$root/tools/checks/check-marker.sh" build/win32/Tarv.exe build/win32/UnTarv.exe build/win64/Tarv.exe || checks_failed=1

logs=$(mktemp -d)
export TARV_WINEPREFIX="$logs/wineprefix"
. "$root/tools/xvfb.sh"
start_xvfb
. "$root/tools/test-fixtures.sh"
make_test_fixtures "$logs"
cleanup() {
    WINEPREFIX="$TARV_WINEPREFIX" wineserver -k >/dev/null 2>&1
    kill "$xvfb_pid" 2>/dev/null
    remove_test_fixtures "$logs"
    rm -rf "$logs"
}
trap cleanup EXIT

echo "== preparing the wine prefix"
WINEPREFIX="$TARV_WINEPREFIX" WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d' \
    WINEDEBUG=-all DISPLAY="$TARV_DISPLAY" wineboot -i >/dev/null 2>&1
WINEPREFIX="$TARV_WINEPREFIX" wineserver -p >/dev/null 2>&1 &
# Without a window manager every hidden window would cost two seconds.
"$root/tools/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

status=$checks_failed
echo "== native tests"
ctest --test-dir build/native --output-on-failure -V > "$logs/native.log" 2>&1 || status=1
grep -E '^([0-9]+: )?\[  (PASSED|FAILED)  \]|tests passed' "$logs/native.log"
echo "== Windows tests under wine64"
# The page tests leave a screenshot of every window (and their transcripts)
# here, as .bmp files that become .png artefacts.
shots="$root/build/screenshots"
rm -rf "$shots" && mkdir -p "$shots"
TARV_SCREENSHOTS="Z:$shots" ctest --test-dir build/win64 --output-on-failure -V > "$logs/win64.log" 2>&1 || status=1
for bmp in "$shots"/*.bmp; do
    [ -f "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"
done
grep -E '^[0-9]+: \[  (PASSED|FAILED)  \]|tests passed|Failed|\*\*\*' "$logs/win64.log" | grep -v '^[0-9]*: \[  FAILED  \] .*, where' || true
# Wine takes the user's language from the Unix locale of the process: the
# language tests run once more as a German user (the locale is generated here,
# since a fresh machine has only C/POSIX).
echo "== language tests as a German user"
mkdir -p "$logs/locales"
if localedef -i de_DE -f UTF-8 "$logs/locales/de_DE.UTF-8" >/dev/null 2>&1 || [ -d "$logs/locales/de_DE.UTF-8" ]; then
    LANG=de_DE.UTF-8 LOCPATH="$logs/locales" "$root/tools/wine-run.sh" build/win64/setup_tests.exe \
        --gtest_filter='Languages*' > "$logs/german.log" 2>&1 || status=1
    grep -E '^\[  (PASSED|FAILED|SKIPPED) ' "$logs/german.log"
else
    echo "cannot generate the de_DE.UTF-8 locale"; status=1
fi

echo "== fuzzers, ${fuzz_seconds} s each"
for fuzzer in build/fuzz/Fuzz*; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    corpus="tests/fuzz/corpus/$name"
    mkdir -p "$corpus"
    work="$logs/corpus-$name"; cp -r "$corpus" "$work"
    # crash inputs are written into the kept corpus, so they become regression cases
    # tests/fuzz/<name>.options holds flags of one target (such as a malloc
    # limit that proves no allocation follows a size read from the input)
    options=$(cat "tests/fuzz/$name.options" 2>/dev/null || true)
    # shellcheck disable=SC2086
    if "$fuzzer" $options -max_total_time="$fuzz_seconds" -rss_limit_mb=1024 -timeout=10 \
        -artifact_prefix="$corpus/crash-" "$work" "$corpus" > "$logs/$name.log" 2>&1; then
        echo "$name: $(grep -o 'Done [0-9]* runs' "$logs/$name.log" | tail -1)"
    else
        echo "$name: FAILED"; tail -30 "$logs/$name.log"; status=1
    fi
done

echo "== benchmarks (figures only)"
"$root/tools/bench/run-benchmarks.sh" 2>&1 || echo "benchmarks could not run"

for log in "$logs/native.log" "$logs/win64.log" "$logs/german.log"; do
    [ -f "$log" ] || continue
    grep -E '^([0-9]+: )?\[  PASSED  \] [0-9]+ test' "$log" | grep -oE '[0-9]+ test' | grep -oE '[0-9]+'
done | awk '{s+=$1} END {printf "%d\n", s}' > "$logs/passed"
failed=$(cat "$logs"/native.log "$logs"/win64.log "$logs"/german.log 2>/dev/null | grep -E '^([0-9]+: )?\[  FAILED  \] [0-9]+ test' | grep -oE '[0-9]+ test' | grep -oE '[0-9]+' | awk '{s+=$1} END {printf "%d", s}')
crashed=$(grep -cE 'Exit code|SEGFAULT|Child aborted|Timeout' "$logs/native.log" "$logs/win64.log" | awk -F: '{s+=$2} END {print s}')
[ "${crashed:-0}" -gt 0 ] && { echo "$crashed test programs ended abnormally"; status=1; }
[ "$status" -eq 0 ] || [ "$failed" -gt 0 ] || failed=1
echo "== screenshots"
ls "$shots"/*.png 2>/dev/null | sed "s|^$root/||" || echo "none"
echo "tests: $(cat "$logs/passed") passed, $failed failed"
exit $status
