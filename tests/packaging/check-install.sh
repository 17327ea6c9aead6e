#!/usr/bin/env bash
# Installs the build into a scratch prefix, checks the tree, and decodes an installed example
# with the installed vorlent-decode run from an empty folder: it must find the installed library.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/vorlent bin/vorlent-decode share/vorlent/protocols.xml \
  share/vorlent/examples/remotes-48k-8bit.wav share/vorlent/examples/remotes-44k1-16bit-stereo.wav \
  share/applications/vorlent.desktop share/icons/hicolor/scalable/apps/vorlent.svg \
  share/man/man1/vorlent.1 share/man/man1/vorlent-decode.1 share/doc/vorlent/README.md; do
  [ -s "$prefix/$f" ] || fail "$f is not installed"
done
[ -x "$prefix/bin/vorlent" ] && [ -x "$prefix/bin/vorlent-decode" ] || fail "programs not executable"
[ ! -e "$prefix/bin/protocols.xml" ] || fail "the library belongs in share/vorlent, not bin"

desktop=$prefix/share/applications/vorlent.desktop
for line in '[Desktop Entry]' 'Type=Application' 'Exec=vorlent' 'Icon=vorlent' 'Terminal=false'; do
  grep -qxF "$line" "$desktop" || fail "vorlent.desktop lacks $line"
done
xmllint --noout "$prefix/share/icons/hicolor/scalable/apps/vorlent.svg" ||
  fail "the icon is no well-formed SVG"
for page in vorlent vorlent-decode; do
  warnings=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man page $page: $warnings"
done

work=$prefix/work
mkdir -p "$work"
out=$(cd "$work" && HOME=$work XDG_DATA_HOME=$work/data \
  "$prefix/bin/vorlent-decode" "$prefix/share/vorlent/examples/remotes-48k-8bit.wav" 2>"$work/err")
[ ! -s "$work/err" ] || fail "vorlent-decode said: $(cat "$work/err")"
[ "$(grep -c '^0:00:' <<<"$out")" -eq 8 ] || fail "expected 8 packets, got: $out"
grep -q '^0:00:00.050  NEC        address=4; address_inv=251; command=8;' <<<"$out" ||
  fail "the first packet is not the example's NEC: $out"
! grep -q unknown <<<"$out" || fail "packets left unknown: $out"
echo "installed tree complete; installed vorlent-decode found $prefix/share/vorlent/protocols.xml"
