#!/usr/bin/env bash
# Fails when a module of src/ includes a module of a higher layer. The layers,
# bottom up (docs/layers.md says why):
#   0 text:     config/wqString wqErrors wqStrUtils wqArithm wqIniText wqPath
#   1 system:   system/*
#   2 profile:  config/wqIniFile wqRegIni RunState
#   3 services: archive/* text/*
#   4 engine:   install/* ui/*
#   5 driver:   setup/*
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root/src"
layer_of() {  # "dir/Module" -> layer number
    case "$1" in
        config/wqIniFile|config/wqRegIni|config/RunState) echo 2 ;;
        config/*) echo 0 ;;
        system/*) echo 1 ;;
        archive/*|text/*) echo 3 ;;
        install/*|ui/*) echo 4 ;;
        setup/*) echo 5 ;;
        *) echo 9 ;;
    esac
}
bad=0
for file in */*.h */*.cpp; do
    module="${file%.*}"
    own=$(layer_of "$module")
    while read -r included; do
        [ -n "$included" ] || continue
        theirs=$(layer_of "${included%.h}")
        if [ "$theirs" -gt "$own" ]; then
            echo "layer violation: src/$file (layer $own) includes $included (layer $theirs)"
            bad=1
        fi
    done < <(grep -oE '^#include "[a-z]+/[A-Za-z0-9_]+\.h"' "$file" | sed -E 's/#include "(.*)"/\1/')
done
[ "$bad" -eq 0 ] && echo "layers: every include points at the same or a lower layer"
exit $bad
