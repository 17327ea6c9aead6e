#!/usr/bin/env bash
# Builds the Debian package with CPack and checks its control data and content.
set -euo pipefail
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
(cd "$1" && cpack -G DEB -B "$out" >"$out/log" 2>&1) || fail "cpack: $(cat "$out/log")"
deb=$(ls "$out"/vorlent_*.deb)
[ "$(dpkg-deb -f "$deb" Package Version)" = $'Package: vorlent\nVersion: '"$2" ] || fail "name, version"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libportaudio2 libsndfile1 libsamplerate0 libpugixml1v5; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
content=$(dpkg-deb -c "$deb")  # and installs: apt-get install ./vorlent_*.deb, tried by hand
for f in bin/vorlent bin/vorlent-decode bin/vorlent-listen share/vorlent/protocols.xml \
  share/man/man1/vorlent.1.gz share/doc/vorlent/copyright share/doc/vorlent/changelog.gz \
  share/applications/vorlent.desktop share/icons/hicolor/scalable/apps/vorlent.svg; do
  grep -q " ./usr/$f$" <<<"$content" || fail "$f is not in the package"
done
# Debian's own checker finds nothing to report: copyright and changelog present, man pages
# compressed, binaries stripped.
if command -v lintian >/dev/null; then
  report=$(lintian --tag-display-limit 0 "$deb" 2>&1) || true
  ! grep -E '^[EW]: ' <<<"$report" || fail "lintian: $report"
else
  echo "lintian is not installed: the package is not checked by it" >&2
fi
