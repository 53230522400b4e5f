#!/usr/bin/env bash
# Fails when a compiler named by a toolchain file (cmake/*.cmake) comes from
# a Debian package that tools/setup-machine.sh does not install, directly or
# as a dependency: such a build passes only on machines that happen to have
# the package.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
listed=$(sed -n '/^packages=(/,/)/p' "$root/tools/setup-machine.sh" | tr -s ' ()\n' '\n' | grep -E '^[a-z0-9][a-z0-9.+-]+$' | grep -v '^packages=')
closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
          --no-replaces --no-enhances $listed 2>/dev/null | grep -oE '^[a-z0-9][a-z0-9.+:-]*' | sed 's/:.*//' | sort -u)
bad=0
for tool in $(grep -hoE 'CMAKE_(C|CXX|RC)_COMPILER[ ]+[A-Za-z0-9_.+-]+' "$root"/cmake/*.cmake | awk '{print $2}' | sort -u); do
    path=$(command -v "$tool") || { echo "toolchain: $tool is not installed"; bad=1; continue; }
    package=$(dpkg -S "$(readlink -f "$path")" 2>/dev/null | head -n 1 | cut -d: -f1)
    if [ -z "$package" ]; then
        echo "toolchain: no package owns $tool ($path)"; bad=1
    elif ! grep -qx -- "$package" <<<"$closure"; then
        echo "toolchain: $tool comes from $package, which tools/setup-machine.sh does not install"; bad=1
    fi
done
[ "$bad" -eq 0 ] && echo "toolchain: every compiler of cmake/*.cmake comes from a package the set-up installs"
exit $bad
