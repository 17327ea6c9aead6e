#!/usr/bin/env bash
# Installs the build into a scratch prefix, checks the tree, and decodes an installed example
# with the installed vorlent-decode run from an empty folder: it must find the installed library.
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cmake --install "$1" --prefix "$prefix" >/dev/null
cd "$prefix"
for f in bin/vorlent bin/vorlent-decode share/vorlent/protocols.xml share/doc/vorlent/README.md \
  share/vorlent/examples/remotes-48k-8bit.wav share/vorlent/examples/remotes-44k1-16bit-stereo.wav \
  share/applications/vorlent.desktop share/icons/hicolor/scalable/apps/vorlent.svg \
  share/man/man1/vorlent.1 share/man/man1/vorlent-decode.1; do
  [ -s "$f" ] || fail "$f is not installed"
done
[ ! -e bin/protocols.xml ] || fail "the library belongs in share/vorlent, not bin"
grep -qx 'Exec=vorlent' share/applications/vorlent.desktop || fail "desktop entry"
mkdir work && cd work
out=$(HOME=$PWD XDG_DATA_HOME=$PWD ../bin/vorlent-decode ../share/vorlent/examples/remotes-48k-8bit.wav)
[ "$(grep -c '^0:00:.* address=' <<<"$out")" -eq 8 ] || fail "expected 8 decoded packets: $out"
grep -q '^0:00:00.050  NEC  ' <<<"$out" || fail "the first packet is not the example's NEC: $out"
