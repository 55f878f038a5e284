#!/usr/bin/env bash
# Side-by-side benchmark of whole processes: corvane-batch reading rosters (a small one, where
# start-up dominates, and large ones of every format) against small peer programs doing the
# same work on the same files, and a 10,000-member run of all six products. Prints CPU time
# (user+sys, the import child included), wall time and peak memory, each the median of the
# runs, with ratios.
#
#   scripts/bench.sh [build-dir]        (default build-release, configured as Release)
#
# Installs its own extra packages (the peers and the generators); they are not needed by
# the build or the tests. Inputs are kept in BUILD/bench-data and made only once.
# BENCH_BASELINE=/path/to/corvane-batch adds rows for another build (its corvane-import
# beside it); BENCH_RUNS=n runs each case n times and reports the medians (default 5, at
# least 5); BENCH_NO_BUILD=1 skips the build; BENCH_ONLY="xls csv" runs only the cases named
# (csv xls xlsx ods dbf small mdb idle products).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-release}
data=$build/bench-data
baseline=${BENCH_BASELINE:-}
only=" ${BENCH_ONLY:-} "
want() { [ "$only" = "  " ] || [[ "$only" == *" $1 "* ]]; }

need=()
for p in time python3-xlrd python3-openpyxl python3-xlwt python3-dbf gnumeric mdbtools poppler-utils; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo=; [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get install -y --no-install-recommends "${need[@]}" >/dev/null
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
[ -n "${BENCH_NO_BUILD:-}" ] || cmake --build "$build" --target corvane-batch corvane-import >/dev/null
batch=$build/corvane-batch

mkdir -p "$data"
# Invented people: name parts from short lists, SSNs starting with 9 (never issued).
make_csv() {
  awk -v n="$2" 'BEGIN {
    split("ABBOTT BAKER CARVER DALTON EASTON FARLEY GARNER HOLLIS IVERS JARVIS KEMP LARSON", last, " ");
    split("AARON BETH CALEB DIANA ELLIS FAYE GRANT HOPE IAN JUNE", first, " ");
    split("PVT PV2 PFC SPC CPL SGT SSG SFC MSG 1SG 2LT 1LT CPT MAJ", rank, " ");
    print "LAST,FIRST,MI,SSN,RANK,SEX,ORG";
    for (i = 0; i < n; i++)
      printf "%s%d,%s,%c,9%02d-%02d-%04d,%s,%s,%c CO 1-22 IN\r\n", last[(i * 7) % 12 + 1], (i * 7919) % n,
             first[i % 10 + 1], 65 + i % 26, i % 100, (i / 100) % 100, i % 10000, rank[i % 14 + 1],
             (i % 5 ? "M" : "F"), 65 + i % 4;
  }' > "$1"
}
[ -f "$data/roster-100000.csv" ] || make_csv "$data/roster-100000.csv" 100000
[ -f "$data/roster-10000.csv" ] || make_csv "$data/roster-10000.csv" 10000
[ -f "$data/roster-1000.csv" ] || make_csv "$data/roster-1000.csv" 1000
if want xls && [ ! -f "$data/roster-65000.xls" ]; then
  /usr/bin/python3 "$root/bench/roster/make_roster_xls.py" "$data/roster-65000.xls" 65000
fi
if { want xlsx || want ods; } && [ ! -f "$data/roster-65000.ods" ]; then
  /usr/bin/python3 "$root/bench/roster/make_roster_sheets.py" "$data/roster-65000.xlsx" 65000 "$data/roster-65000.ods"
fi
if want dbf && [ ! -f "$data/roster-65000.dbf" ]; then
  /usr/bin/python3 "$root/bench/roster/make_roster_dbf.py" "$data/roster-65000.dbf" 65000
fi
mdb=$root/tests/data/roster.mdb   # no writer for Access files here: the test fixture

# The peers: read, sort by name, print one line a member.
cat > "$data/peer_csv.py" <<'EOF'
import csv, sys
rows = list(csv.reader(open(sys.argv[1], newline='')))[1:]
rows.sort(key=lambda r: r[0] + ', ' + r[1])
sys.stdout.writelines('\t'.join(r) + '\n' for r in rows)
EOF
cat > "$data/peer_xls.py" <<'EOF'
import sys, xlrd
sh = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)
rows = [[str(c.value) for c in sh.row(r)] for r in range(1, sh.nrows)]
rows.sort(key=lambda r: r[0] + ', ' + r[1])
sys.stdout.writelines('\t'.join(r) + '\n' for r in rows)
EOF
cat > "$data/peer_xlsx.py" <<'EOF'
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1], read_only=True).worksheets[0]
rows = [['' if v is None else str(v) for v in r] for r in ws.iter_rows(min_row=2, values_only=True)]
rows.sort(key=lambda r: r[0] + ', ' + r[1])
sys.stdout.writelines('\t'.join(r) + '\n' for r in rows)
EOF
cat > "$data/peer_dbf.py" <<'EOF2'
import sys, dbf
t = dbf.Table(sys.argv[1]); t.open(dbf.READ_ONLY)
rows = [[str(v).strip() for v in r] for r in t if not dbf.is_deleted(r)]
rows.sort(key=lambda r: r[0] + ', ' + r[1])
sys.stdout.writelines('\t'.join(r) + '\n' for r in rows)
EOF2

sheet_cols=last,first,initial,ssn,rank,gender,org
common=(--location US --premise IU --list)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# measure NAME CMD... : one run; prints "cpu wall peakKB" into $out/NAME
measure() {
  local name=$1; shift
  if ! /usr/bin/time -f '%U %S %e %M' -o "$out/$name.time" "$@" > "$out/$name.stdout" 2> "$out/$name.stderr"; then
    echo "$name failed:" >&2; tail -3 "$out/$name.stderr" >&2; echo "0 0 0 0" > "$out/$name.time"
  fi
  awk '{ printf "%.2f %.2f %d\n", $1 + $2, $3, $4 }' "$out/$name.time" > "$out/$name"
}
cpu() { awk '{ print $1 }' "$out/$1"; }
row() {   # row LABEL OURS PEER
  local o p; o=$(cat "$out/$2"); p=${3:+$(cat "$out/$3")}
  awk -v label="$1" -v o="$o" -v p="$p" -v peer="${3:-}" 'BEGIN {
    split(o, a, " "); printf "%-34s %7.2f %7.2f %8.1f", label, a[1], a[2], a[3] / 1024;
    if (peer != "") { split(p, b, " ");
      printf "   %-12s %7.2f %7.2f %8.1f   %6.2fx %6.2fx", peer, b[1], b[2], b[3] / 1024,
             (a[1] > 0 ? b[1] / a[1] : 0), (b[3] > 0 ? a[3] / b[3] : 0) }
    printf "\n" }'
}

BENCH_RUNS=${BENCH_RUNS:-5}
[ "$BENCH_RUNS" -ge 5 ] || BENCH_RUNS=5
echo "Running (each case alternates ours and the peer, medians of $BENCH_RUNS runs)..."
median() {  # median NAME: CPU, wall and peak each the median of NAME.1 .. NAME.n
  local name=$1 col i
  : > "$out/$name"
  for col in 1 2 3; do
    for i in $(seq "$BENCH_RUNS"); do cat "$out/$name.$i"; done | awk -v c=$col '{ print $c }' | sort -g |
      awk '{ v[NR] = $1 } END { printf "%s ", (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }' >> "$out/$name"
  done
}
names=()
for i in $(seq "$BENCH_RUNS"); do
  if want csv; then
    measure csv.$i "$batch" "$data/roster-100000.csv" --columns "$sheet_cols" --ignore-header "${common[@]}"
    measure pycsv.$i /usr/bin/python3 "$data/peer_csv.py" "$data/roster-100000.csv"
    [ -z "$baseline" ] || measure basecsv.$i "$baseline" "$data/roster-100000.csv" --columns "$sheet_cols" \
      --ignore-header "${common[@]}"
  fi
  if want xls; then
    measure xls.$i "$batch" "$data/roster-65000.xls" --columns "$sheet_cols" --ignore-header "${common[@]}"
    measure pyxls.$i /usr/bin/python3 "$data/peer_xls.py" "$data/roster-65000.xls"
    [ -z "$baseline" ] || measure basexls.$i "$baseline" "$data/roster-65000.xls" --columns "$sheet_cols" \
      --ignore-header "${common[@]}"
  fi
  if want xlsx; then
    measure xlsx.$i "$batch" "$data/roster-65000.xlsx" --columns "$sheet_cols" --ignore-header "${common[@]}"
    measure pyxlsx.$i /usr/bin/python3 "$data/peer_xlsx.py" "$data/roster-65000.xlsx"
  fi
  if want ods; then
    measure ods.$i "$batch" "$data/roster-65000.ods" --columns "$sheet_cols" --ignore-header "${common[@]}"
    measure ssconvert.$i ssconvert "$data/roster-65000.ods" "$out/ssconvert-$i.csv"
  fi
  if want dbf; then
    measure dbf.$i "$batch" "$data/roster-65000.dbf" --columns "$sheet_cols" "${common[@]}"
    measure pydbf.$i /usr/bin/python3 "$data/peer_dbf.py" "$data/roster-65000.dbf"
  fi
  if want small; then
    measure small.$i "$batch" "$data/roster-1000.csv" --columns "$sheet_cols" --ignore-header "${common[@]}"
    measure pysmall.$i /usr/bin/python3 "$data/peer_csv.py" "$data/roster-1000.csv"
  fi
  if want mdb; then
    measure mdb.$i "$batch" "$mdb" --table Roster --columns "$sheet_cols" "${common[@]}"
    measure mdbexport.$i mdb-export "$mdb" Roster
  fi
  want idle && measure idle.$i "$batch" --help
  if want products; then
    measure products.$i "$batch" "$data/roster-10000.csv" --columns "$sheet_cols" --ignore-header --location US \
      --premise IU --bac HQ --uic WAB1C --date 2026-12-08 --out "$out/products-out"
    [ -z "$baseline" ] || measure baseproducts.$i "$baseline" "$data/roster-10000.csv" --columns "$sheet_cols" \
      --ignore-header --location US --premise IU --bac HQ --uic WAB1C --date 2026-12-08 --out "$out/baseproducts-out"
  fi
done
for n in csv pycsv xls pyxls xlsx pyxlsx ods ssconvert dbf pydbf small pysmall mdb mdbexport idle products \
         ${baseline:+basecsv basexls baseproducts}; do [ ! -f "$out/$n.1" ] || median $n; done

printf '\n%-34s %7s %7s %8s   %-12s %7s %7s %8s   %7s %7s\n' "corvane-batch" "CPU s" "wall s" "peak MB" \
  "peer" "CPU s" "wall s" "peak MB" "CPU" "memory"
printf '%-34s %7s %7s %8s   %-12s %7s %7s %8s   %7s %7s\n' "" "" "" "" "" "" "" "" "peer/us" "us/peer"
shown() { [ -f "$out/$1" ]; }
shown csv && row "CSV 100,000 rows, sort, list" csv pycsv
shown xls && row "Excel .xls 65,000 rows, list" xls pyxls
shown xlsx && row "Excel .xlsx 65,000 rows, list" xlsx pyxlsx
shown ods && row "OpenDocument .ods 65,000 rows, list" ods ssconvert
shown dbf && row "dBase .dbf 65,000 rows, list" dbf pydbf
shown small && row "CSV 1,000 rows, sort, list" small pysmall
shown mdb && row "Access roster.mdb (35 rows), list" mdb mdbexport
shown basecsv && row "baseline: CSV 100,000 rows" basecsv csv
shown basexls && row "baseline: Excel .xls 65,000 rows" basexls xls
shown idle && row "idle (--help)" idle
shown products && row "six products, 10,000 members" products
shown baseproducts && row "baseline: six products" baseproducts products
echo
echo "Inputs: CSV $(du -k "$data/roster-100000.csv" | cut -f1) KB; peers: python3 csv, xlrd, openpyxl (read-only),"
echo "gnumeric's ssconvert (.ods to CSV), python3 dbf, mdb-export. Products: $(nproc) cores."
if shown products; then
  echo "Products: $(ls "$out/products-out" 2>/dev/null | wc -l) files, $(du -sk "$out/products-out" 2>/dev/null | cut -f1) KB."
fi
# The same members in the same order: our list's last names against the peer's first column.
if shown csv; then
  if cmp -s <(cut -f3 "$out/csv.1.stdout" | sed 's/,.*//') <(cut -f1 "$out/pycsv.1.stdout"); then
    echo "CSV: our list and the peer's are in the same order."
  else
    echo "CSV: our list's order differs from the peer's (code page order against code points)."
  fi
fi
# The .xls peer prints each value as Python does (12.0, 900123456.0): the last names only.
if shown xls; then
  if cmp -s <(cut -f3 "$out/xls.1.stdout" | sed 's/,.*//') <(cut -f1 "$out/pyxls.1.stdout"); then
    echo "Excel .xls: our list and the peer's are in the same order."
  else
    echo "Excel .xls: our list's order differs from the peer's."
  fi
fi
