#!/usr/bin/env bash
# Fails when a roster reader, or a library one needs, is linked into a program that must read
# rosters only through corvane-import: such code would parse untrusted files in that process.
# Usage: check-no-readers.sh PROGRAM...
set -euo pipefail
status=0
for program in "$@"; do
    # the readers, their zip/XML/dBase machinery, and the format libraries' entry points
    found=$(nm -C "$program" | grep -E \
        ' (TImport[A-Za-z]*Reader|CreateImportReader|TZip(Package|PartDevice)|TXmlPull|TXlsxWorkbook|TOdsDocument|TDBaseMemoFile|gsf_|mdb_|DBF[A-Z])' || true)
    libs=$(readelf -d "$program" | grep -E 'NEEDED.*(libgsf|libmdb|libshp)' || true)
    if [[ -n "$found" || -n "$libs" ]]; then
        echo "$program links roster-reader code:"
        [[ -n "$found" ]] && echo "$found" | head -20
        [[ -n "$libs" ]] && echo "$libs"
        status=1
    fi
done
[[ $status -eq 0 ]] && echo "no roster reader in: $*"
exit $status
