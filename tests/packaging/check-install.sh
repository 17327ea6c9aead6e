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
  share/man/man1/vorlent.1.gz share/man/man1/vorlent-decode.1.gz \
  share/man/man1/vorlent-listen.1.gz share/doc/vorlent/copyright share/doc/vorlent/changelog.gz \
  bin/vorlent-listen bin/vorlent-send share/man/man1/vorlent-send.1.gz \
  lib/systemd/user/vorlent-listen.service; do
  [ -s "$f" ] || fail "$f is not installed"
done
[ ! -e bin/protocols.xml ] || fail "the library belongs in share/vorlent, not bin"
grep -qx 'Exec=vorlent' share/applications/vorlent.desktop || fail "desktop entry"
mkdir work && cd work
out=$(HOME=$PWD XDG_DATA_HOME=$PWD ../bin/vorlent-decode ../share/vorlent/examples/remotes-48k-8bit.wav)
[ "$(grep -c '^0:00:.* address=' <<<"$out")" -eq 8 ] || fail "expected 8 decoded packets: $out"
grep -q '^0:00:00.050  NEC  ' <<<"$out" || fail "the first packet is not the example's NEC: $out"

# The installed user unit: systemd finds nothing wrong with it, and its command line, run as
# systemd would run it (in the home folder, %h expanded, no options file), listens to an example
# played through ALSA's file plugin, decodes its packets and runs an action, until SIGTERM.
unit=$prefix/lib/systemd/user/vorlent-listen.service
home=$prefix/home
mkdir -p "$home/.config/vorlent" "$prefix/rt" && chmod 700 "$prefix/rt"
if command -v systemd-analyze >/dev/null; then
  XDG_RUNTIME_DIR=$prefix/rt systemd-analyze verify --user "$unit" ||
    fail "systemd-analyze verify: $(XDG_RUNTIME_DIR=$prefix/rt systemd-analyze verify --user "$unit" 2>&1)"
else
  echo "systemd-analyze is not installed: the unit is only run, not verified" >&2
fi
exec_start=$(sed -n 's/^ExecStart=//p' "$unit")
command=${exec_start//%h/$home}
command=${command//\$VORLENT_LISTEN_OPTIONS/}
[[ $command == "$prefix/bin/vorlent-listen "* ]] || fail "the unit runs $command"
echo "NEC address=4 command=8 = echo \$VORLENT_DATA >> $home/hits" >"$home/.config/vorlent/actions"
tail -c +45 "$prefix/share/vorlent/examples/remotes-48k-8bit.wav" >"$home/input.raw"
cat >"$prefix/asound.conf" <<'CONF'
pcm.!default {
    type file
    slave.pcm { type null }
    file "/dev/null"
    infile { @func getenv vars [ IR_TEST_INFILE ] default "/dev/null" }
    format "raw"
}
CONF
cd "$home"
HOME=$home XDG_DATA_HOME=$home/.local/share ALSA_CONFIG_PATH=$prefix/asound.conf \
  IR_TEST_INFILE=$home/input.raw $command >"$home/out" 2>"$home/err" &
listener=$!
trap 'kill -KILL $listener 2>/dev/null || true; rm -rf "$prefix"' EXIT
for _ in $(seq 100); do
  [ "$(grep -c ' address=' "$home/out" 2>/dev/null)" -ge 8 ] && break
  sleep 0.2
done
kill -TERM $listener
wait $listener || fail "the listener ended with status $?: $(cat "$home/err")"
[ "$(grep -c ' address=' "$home/out")" -ge 8 ] || fail "the unit's command decoded: $(cat "$home/out" "$home/err")"
grep -q 'address=4; address_inv=251; command=8;' "$home/hits" || fail "the action did not run: $(cat "$home/err")"
