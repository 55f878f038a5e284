#!/usr/bin/env bash
# Builds the .deb with scripts/package.sh, lists what it holds (dpkg-deb -c), checks its
# control fields and runs lintian on it when lintian is installed.
# Usage: package.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
build=$1 src=$2 version=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

deb=$(BUILD_DIR=$build PACKAGE_DIR=$tmp "$src/scripts/package.sh" --no-build | tail -n 1)
[ -s "$deb" ] || fail "scripts/package.sh made no package"
case $(basename "$deb") in corvane-lite_${version}_*.deb) ;; *) fail "unexpected package name $(basename "$deb")";; esac

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' > "$tmp/contents"
need=(/usr/bin/corvane-lite /usr/bin/corvane-batch
      /usr/share/applications/org.corvane.CorvaneLite.desktop
      /usr/share/icons/hicolor/scalable/apps/org.corvane.CorvaneLite.svg
      /usr/share/metainfo/org.corvane.CorvaneLite.metainfo.xml
      /usr/share/man/man1/corvane-lite.1.gz /usr/share/man/man1/corvane-batch.1.gz
      /usr/share/doc/corvane-lite/user-guide.md /usr/share/doc/corvane-lite/copyright
      /usr/share/doc/corvane-lite/changelog.gz
      /usr/share/corvane-lite/examples/sample-roster.csv /usr/share/corvane-lite/examples/sample-roster.xls)
[ -x "$build/corvane-import" ] && need+=(/usr/libexec/corvane-lite/corvane-import)
for f in "${need[@]}"; do
  grep -qx "$f" "$tmp/contents" || fail "the package lacks $f"
done
# nothing outside /usr, nothing of the build tree
if grep -v '^/usr/' "$tmp/contents" | grep -vx '/' | grep -q .; then fail "files outside /usr: $(grep -v '^/usr/' "$tmp/contents" | grep -vx /)"; fi
echo "package holds $(grep -vc '/$' "$tmp/contents") files"

[ "$(dpkg-deb -f "$deb" Package)" = corvane-lite ] || fail "Package field"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version field"
depends=$(dpkg-deb -f "$deb" Depends)
# shared-library dependencies come from dpkg-shlibdeps, with versions
for lib in libqt6widgets6 libqt6printsupport6 libqt6svg6 libzint libc6; do
  echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
done
echo "$depends" | grep -q "libqt6widgets6 (>=" || fail "Depends without versions (not from dpkg-shlibdeps): $depends"
echo "Depends: $depends"

if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "$deb" > "$tmp/lintian.txt" 2>&1 || true
  cat "$tmp/lintian.txt"
  if grep -q '^E: ' "$tmp/lintian.txt"; then fail "lintian reports errors"; fi
  echo "lintian: no errors ($(grep -c '^W: ' "$tmp/lintian.txt" || true) warnings)"
else
  echo "SKIPPED lintian: not installed (apt-get install lintian to run it)"
fi
