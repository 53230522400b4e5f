#!/usr/bin/env bash
# Configures and builds every kind of build under build/:
#   build/win32  the shipped i686 installer Tarv.exe (size is checked here)
#   build/win64  the x86_64 installer and the Windows test programs
#   build/native portable modules, native tests, host tools, benchmarks
#   build/fuzz   libFuzzer targets (clang, ASan/UBSan)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
configure() {  # dir, extra cmake arguments...
    local dir=$1; shift
    [ -f "build/$dir/build.ninja" ] || cmake -S . -B "build/$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
}
configure win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
configure win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
configure native
configure fuzz -DTARV_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
for dir in win32 win64 native fuzz; do
    echo "== building $dir"
    cmake --build "build/$dir" -j2
done
