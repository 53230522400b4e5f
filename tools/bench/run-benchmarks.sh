#!/usr/bin/env bash
# Prints the decoder's speed figures (not a test: nothing here fails on a slow
# machine). Needs build/native (tools/build-all.sh) and unar.
#   - per entry of the real RAR 2.0 fixtures (p1..p5: methods 0x31..0x35,
#     pMM: multimedia mode, p5_solid: a solid continuation);
#   - a large archive made from those packed entries (several MB, solid
#     chains, every method), against unar decoding the same archive;
#   - the CRC-32 and the installer's whole-file integrity check (MB/s);
#   - the packaging tool's encoder: sizes per method next to the real
#     archiver's, gzip -9 and xz -9, packing speed, solid against entry by
#     entry, and the decoder's speed on our own output.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
bench="$root/build/native/BenchUnpack20"
fixtures="$root/tests/fixtures/rar/v20"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bench" -t 1 "$fixtures/test_v2.rar" "$fixtures/test_v2solid5.rar"
"$bench" --make "$work/large.rar" 300 "$fixtures/test_v2.rar" "$fixtures/test_v2solid5.rar"
RUNS=3 "$root/tools/bench/bench-unpack20.sh" "$bench" "$work/large.rar"
"$root/build/native/BenchIntegrity" 64
"$root/build/native/BenchPack20" "$fixtures"
"$root/tools/bench/bench-install.sh"
