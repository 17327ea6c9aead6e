#!/usr/bin/env bash
# The man pages cannot drift from the programs: every option that vorlent-decode,
# vorlent-listen and vorlent-send print in --help is in their page and every option a page names is in --help;
# the window's page names every command of its File menu.
set -euo pipefail
bin=$1 source=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
options() { grep -o -- '--[a-z][a-z-]*' | sort -u; }
for program in vorlent-decode vorlent-listen vorlent-send; do
  page=$source/packaging/$program.1
  [ -s "$page" ] || fail "$page is missing"
  from_help=$(ASAN_OPTIONS=detect_leaks=0 "$bin/$program" --help | options)
  from_page=$(sed 's/\\-/-/g; s/\\f[BIRP]//g' "$page" | sed -n '/^\.SH OPTIONS/,/^\.SH /p' | options)
  [ "$from_help" = "$from_page" ] ||
    fail "$program: --help and its page differ: $(diff <(echo "$from_help") <(echo "$from_page"))"
done
page=$(sed 's/\\-/-/g; s/\\f[BIRP]//g' "$source/packaging/vorlent.1")
grep -o 'add("[A-Za-z0-9]*", "[^"]*"' "$source/ui/TMainWindow.cpp" | sed 's/.*, "//; s/"$//; s/&//g' |
  while read -r command; do
    grep -qF -- "$command" <<<"$page" || fail "vorlent.1 does not name the File menu's \"$command\""
  done
