#!/usr/bin/env bash
# A whole test through corvane-batch: a generated roster of N members (default 10,000),
# unit sweep, all six products. Prints wall time and peak memory.
# Usage: bench/batch/bench_batch.sh [build-dir] [members]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
count=${2:-10000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Invented people: name parts from short lists, SSNs starting with 9 (never issued).
awk -v n="$count" 'BEGIN {
  split("ABBOTT BAKER CARVER DALTON EASTON FARLEY GARNER HOLLIS IVERS JARVIS KEMP LARSON", last, " ");
  split("AARON BETH CALEB DIANA ELLIS FAYE GRANT HOPE IAN JUNE", first, " ");
  split("PVT PV2 PFC SPC CPL SGT SSG SFC MSG 1SG 2LT 1LT CPT MAJ", rank, " ");
  srand(7);
  print "LAST,FIRST,MI,SSN,RANK,SEX,ORG";
  for (i = 0; i < n; i++)
    printf "%s%d,%s,%c,9%02d-%02d-%04d,%s,%s,%c CO 1-22 IN\r\n", last[i % 12 + 1], i, first[i % 10 + 1],
           65 + i % 26, i % 100, (i / 100) % 100, i % 10000, rank[i % 14 + 1], (i % 5 ? "M" : "F"), 65 + i % 4;
}' > "$work/roster.csv"

/usr/bin/time -f "wall %e s, peak memory %M KB" "$build/corvane-batch" "$work/roster.csv" \
  --columns last,first,initial,ssn,rank,gender,org --ignore-header --location US --premise IU \
  --bac HQ --uic WAB1C --date 2026-12-08 --out "$work/out"
ls -l "$work/out" | awk 'NR > 1 { total += $5; print "  " $9 ": " $5 " bytes" } END { print "  total " total " bytes" }'
for f in "$work"/out/*.pdf; do printf '  %s: %s pages\n' "$(basename "$f")" "$(pdfinfo "$f" | awk '/^Pages:/ { print $2 }')"; done
