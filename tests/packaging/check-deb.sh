#!/usr/bin/env bash
# Builds the Debian package with CPack and checks its control data and content.
set -euo pipefail
build=$1 version=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || fail "cpack: $(cat "$out/cpack.log")"
deb=$(ls "$out"/vorlent_*.deb)
[ "$(dpkg-deb -f "$deb" Package)" = vorlent ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version is not $version"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6gui6 libportaudio2 libsndfile1 libsamplerate0 libpugixml1v5; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
content=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/vorlent ./usr/bin/vorlent-decode ./usr/share/vorlent/protocols.xml \
  ./usr/share/vorlent/examples/remotes-48k-8bit.wav ./usr/share/applications/vorlent.desktop \
  ./usr/share/icons/hicolor/scalable/apps/vorlent.svg ./usr/share/man/man1/vorlent.1 \
  ./usr/share/man/man1/vorlent-decode.1 ./usr/share/doc/vorlent/README.md; do
  grep -qxF "$f" <<<"$content" || fail "$f is not in the package"
done
echo "$(basename "$deb"): Depends: $depends"
