#!/usr/bin/env bash
# Installs the build into a scratch prefix and uses the programs from there, as a user would:
# the files land where the desktop, man and the programs look for them, corvane-batch runs a
# test on an installed sample roster (its products decoded with zbarimg), and corvane-lite
# starts offscreen. Usage: installed.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
build=$1 src=$2 version=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/usr
cmake --install "$build" --prefix "$prefix" >/dev/null
# the test programs point at the build tree's reader; the installed programs must find their own
unset CORVANE_IMPORT

for f in bin/corvane-lite bin/corvane-batch \
         share/applications/org.corvane.CorvaneLite.desktop \
         share/icons/hicolor/scalable/apps/org.corvane.CorvaneLite.svg \
         share/metainfo/org.corvane.CorvaneLite.metainfo.xml \
         share/man/man1/corvane-lite.1.gz share/man/man1/corvane-batch.1.gz \
         share/doc/corvane-lite/user-guide.md share/doc/corvane-lite/copyright \
         share/corvane-lite/examples/sample-roster.csv share/corvane-lite/examples/sample-roster.xls; do
  [ -s "$prefix/$f" ] || fail "not installed: $f"
done
# every picture the guide shows is installed beside it
for img in $(grep -o 'images/[A-Za-z0-9_.-]*\.png' "$prefix/share/doc/corvane-lite/user-guide.md" | sort -u); do
  [ -s "$prefix/share/doc/corvane-lite/$img" ] || fail "the guide shows $img, which is not installed"
done
if [ -x "$build/corvane-import" ]; then
  [ -x "$prefix/libexec/corvane-lite/corvane-import" ] || fail "corvane-import not installed in libexec/corvane-lite"
  echo "corvane-import installed in libexec/corvane-lite"
else
  echo "NOTE: this build has no corvane-import program; the reader runs inside the programs"
fi

[ "$("$prefix/bin/corvane-lite" --version)" = "corvane-lite $version" ] || fail "corvane-lite --version"
[ "$("$prefix/bin/corvane-batch" --version)" = "corvane-batch $version" ] || fail "corvane-batch --version"

# desktop entry: runs the installed program, shows the installed icon
desktop=$prefix/share/applications/org.corvane.CorvaneLite.desktop
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
[ -x "$prefix/bin/$exec_name" ] || fail "desktop Exec=$exec_name is not an installed program"
[ -s "$prefix/share/icons/hicolor/scalable/apps/$icon_name.svg" ] || fail "desktop Icon=$icon_name not installed"
grep -q "^Type=Application$" "$desktop" || fail "desktop entry without Type=Application"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/org.corvane.CorvaneLite.metainfo.xml" >/dev/null ||
    fail "appstreamcli validate: $(appstreamcli validate --no-net "$prefix/share/metainfo/org.corvane.CorvaneLite.metainfo.xml")"
else
  echo "NOTE: appstreamcli not installed, metainfo not validated"
fi
grep -q "<launchable type=\"desktop-id\">org.corvane.CorvaneLite.desktop</launchable>" \
  "$prefix/share/metainfo/org.corvane.CorvaneLite.metainfo.xml" || fail "metainfo does not launch the desktop entry"

# --help and the man page list the same options
help_opts=$("$prefix/bin/corvane-batch" --help | grep -E '^  +--' | grep -oE -- '--[a-z0-9-]+' | sort -u)
man_opts=$(zcat "$prefix/share/man/man1/corvane-batch.1.gz" | sed -n '/^\.SH OPTIONS/,/^\.SH /p' |
           grep -A1 '^\.TP' | grep -v '^\.TP' | sed 's/\\-/-/g' | grep -oE -- '--[a-z0-9-]+' | sort -u)
[ -n "$help_opts" ] || fail "corvane-batch --help lists no options"
if [ "$help_opts" != "$man_opts" ]; then
  diff <(echo "$help_opts") <(echo "$man_opts") >&2 || true
  fail "corvane-batch --help (<) and its man page (>) list different options"
fi
echo "corvane-batch --help and man page agree on $(echo "$help_opts" | wc -l) options"
if command -v man >/dev/null; then
  for page in corvane-lite corvane-batch; do
    warn=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null || true)
    [ -z "$warn" ] || fail "man $page: $warn"
  done
fi

# a whole test from the installed sample roster
out=$tmp/out
roster=$prefix/share/corvane-lite/examples/sample-roster.csv
(cd "$tmp" && "$prefix/bin/corvane-batch" "$roster" \
    --columns last,first,initial,ssn,rank,gender,org --ignore-header \
    --location US --premise IR --probability 25 --seed 2026 \
    --bac HQ --uic WAB1C --date 2026-12-08 --batch 0001 --out "$out" --list) > "$tmp/list.txt" ||
  fail "corvane-batch from the installed prefix failed"
for pdf in notification-copy working-copy testing-register dd2624-front dd2624-back bottle-labels; do
  [ -s "$out/$pdf.pdf" ] || fail "corvane-batch wrote no $pdf.pdf"
done
members=$(wc -l < "$tmp/list.txt")
[ "$members" -gt 0 ] || fail "no member drawn"
pdftoppm -r 300 -gray -png "$out/bottle-labels.pdf" "$tmp/labels"
pdftoppm -r 300 -gray -png "$out/dd2624-front.pdf" "$tmp/front"
zbarimg --raw -q -Sdisable -Scode128.enable "$tmp"/labels*.png > "$tmp/labels.txt" 2>/dev/null || true
zbarimg --raw -q -Sdisable -Scode128.enable "$tmp"/front*.png > "$tmp/front.txt" 2>/dev/null || true
while IFS=$'\t' read -r batch specimen name ssn rank gender org; do
  grep -qx "IR$batch$specimen" "$tmp/labels.txt" || fail "label barcode IR$batch$specimen not decoded"
  grep -qx "$ssn" "$tmp/labels.txt" || fail "label SSN barcode $ssn not decoded"
  grep -q "^$specimen$ssn" "$tmp/front.txt" || fail "DD 2624 member barcode $specimen$ssn not decoded"
done < "$tmp/list.txt"
grep -qx "20261208" "$tmp/labels.txt" || fail "label date barcode not decoded"
echo "corvane-batch (installed): $members members; $(wc -l < "$tmp/labels.txt") distinct label barcodes and $(wc -l < "$tmp/front.txt") DD 2624 barcodes decoded"

# the wizard starts from the prefix and stays up (no display needed)
status=0
XDG_CONFIG_HOME=$tmp/config QT_QPA_PLATFORM=offscreen \
  timeout 6 "$prefix/bin/corvane-lite" "$prefix/share/corvane-lite/examples" > "$tmp/lite.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || { cat "$tmp/lite.log" >&2; fail "corvane-lite ended by itself (status $status)"; }
echo "corvane-lite (installed) started offscreen and ran until stopped"
