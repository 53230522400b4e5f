#!/usr/bin/env bash
# Installs what building and testing need, on a fresh Debian 12 machine, then
# checks that every command the builds and tests call is really there.
# Only missing packages are installed; a machine that has them all is left alone.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev googletest
          g++-mingw-w64-i686-win32 g++-mingw-w64-i686-posix
          g++-mingw-w64-x86-64-win32 g++-mingw-w64-x86-64-posix
          binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 mingw-w64-tools
          wine wine64 xvfb imagemagick unar locales binutils)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Every command the build and the tests call, with the package that provides
# it. The compilers come from the toolchain files themselves, so a toolchain
# that names a new program fails here until the list above installs it.
root="$(cd "$(dirname "$0")/.." && pwd)"
declare -A provider=(
    [cmake]=cmake [ninja]=ninja-build [g++]=g++ [clang++]=clang [clang]=clang
    [wine]=wine [wineserver]=wine [wineboot]=wine [Xvfb]=xvfb
    [import]=imagemagick [unar]=unar [lsar]=unar [localedef]=locales
    [objdump]=binutils
    [i686-w64-mingw32-gcc-win32]=gcc-mingw-w64-i686-win32
    [i686-w64-mingw32-g++-win32]=g++-mingw-w64-i686-win32
    [i686-w64-mingw32-gcc-posix]=gcc-mingw-w64-i686-posix
    [i686-w64-mingw32-g++-posix]=g++-mingw-w64-i686-posix
    [i686-w64-mingw32-windres]=binutils-mingw-w64-i686
    [x86_64-w64-mingw32-gcc-win32]=gcc-mingw-w64-x86-64-win32
    [x86_64-w64-mingw32-g++-win32]=g++-mingw-w64-x86-64-win32
    [x86_64-w64-mingw32-gcc-posix]=gcc-mingw-w64-x86-64-posix
    [x86_64-w64-mingw32-g++-posix]=g++-mingw-w64-x86-64-posix
    [x86_64-w64-mingw32-windres]=binutils-mingw-w64-x86-64
)
commands=(cmake ninja g++ clang++ wine wineserver wineboot Xvfb import unar lsar localedef objdump)
commands+=($(grep -hoE 'CMAKE_(C|CXX|RC)_COMPILER[ ]+[A-Za-z0-9_.+-]+' "$root"/cmake/*.cmake | awk '{print $2}' | sort -u))
bad=0
for c in "${commands[@]}"; do
    if ! command -v "$c" >/dev/null 2>&1; then
        echo "missing command: $c (package ${provider[$c]:-unknown: add it to tools/setup-machine.sh})" >&2
        bad=1
    fi
done
# Files rather than commands: Wine's 64-bit loader (Debian keeps it off the
# PATH), libFuzzer's runtime and the GoogleTest sources.
[ -x /usr/lib/wine/wine64 ] || { echo "missing file: /usr/lib/wine/wine64 (package wine64)" >&2; bad=1; }
fuzzer_lib=$(clang -print-file-name=libclang_rt.fuzzer-x86_64.a 2>/dev/null || true)
[ -f "$fuzzer_lib" ] || { echo "missing file: clang's libFuzzer runtime (package libclang-rt-14-dev)" >&2; bad=1; }
[ -f /usr/src/googletest/CMakeLists.txt ] || { echo "missing file: /usr/src/googletest (package googletest)" >&2; bad=1; }
exit $bad
