#!/usr/bin/env bash
# Fails when a shipped program imports a DLL that the system might load from
# the program's own folder. A setup program is run from a downloads folder,
# where a planted DLL of a statically imported name would be loaded before the
# program runs a single line. Only DLLs the system always takes from its own
# folder may be imported: the known DLLs, and comctl32, which the manifest
# redirects to the side-by-side store. Anything else is loaded at run time by
# its full path (LoadSystemLibrary).
set -uo pipefail
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|comctl32|msvcrt)\.dll$'
bad=0
for exe in "$@"; do
    [ -f "$exe" ] || { echo "imports: $exe is missing"; bad=1; continue; }
    dlls=$(objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
    for dll in $dlls; do
        grep -qE "$allowed" <<<"$dll" || { echo "imports: $(basename "$exe") imports $dll"; bad=1; }
    done
    echo "imports of $(basename "$exe"): $(echo $dlls)"
done
exit $bad
