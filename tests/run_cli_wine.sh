#!/usr/bin/env bash
# The Windows build of the command line (melvir-cli.exe, x86_64, under Wine)
# must print and write exactly what the Linux build does.
#
#   bash tests/run_cli_wine.sh NATIVE_BUILD WIN64_BUILD
#
# NATIVE_BUILD holds cli/melvir, tools/melvir-mkdisk and the sample disks
# (target sample-disk); WIN64_BUILD holds cli/melvir-cli.exe.
set -euo pipefail

if (( $# != 2 )); then
  echo "usage: bash tests/run_cli_wine.sh NATIVE_BUILD WIN64_BUILD" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
native=$(cd "$1" && pwd)
melvir=$native/cli/melvir
mkdisk=$native/tools/melvir-mkdisk
exe=$(cd "$2" && pwd)/cli/melvir-cli.exe
for f in "$melvir" "$mkdisk" "$exe" "$native/sample/sample.img"; do
  [[ -e $f ]] || { echo "run_cli_wine.sh: $f is missing; build it first" >&2; exit 1; }
done
wine=$(command -v wine64 || true)
[[ -n $wine ]] || wine=/usr/lib/wine/wine64
[[ -x $wine ]] || { echo "run_cli_wine.sh: wine64 is not installed" >&2; exit 1; }
export WINEPREFIX=${WINEPREFIX:-/tmp/melvir-wine} WINEDEBUG=-all

# shellcheck source=wine/server.sh
. "$root/tests/wine/server.sh"
work=$(mktemp -d)
trap 'wine_server_stop; rm -rf "$work"' EXIT
# Wine reaches the Unix file system as drive Z:.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# Runs the Windows build; its text output comes with CR LF line ends.
win() { "$wine" "$exe" "$@" | tr -d '\r'; }

"$wine" "$exe" --version > /dev/null 2>&1 || true  # first use sets the prefix up
wine_server_start
"$mkdisk" "$root/tests/data/awkward.disk" "$work/awkward.img" > /dev/null

failures=0
check() {  # check WHAT: compares native.out and wine.out in $work
  if ! cmp -s "$work/native.out" "$work/wine.out"; then
    echo "FAIL: $1 differs:"
    diff "$work/native.out" "$work/wine.out" | head -20
    failures=$((failures + 1))
  else
    echo "ok: $1"
  fi
}

for img in "$native/sample/sample.img" "$native/sample/sample-swapped.img" "$work/awkward.img"; do
  name=$(basename "$img")
  for command in "list" "list --json" "info" "info --json" "list --charset dvb"; do
    # The source is named as each system names it; everything else must match.
    # shellcheck disable=SC2086
    "$melvir" $command "$img" | sed 's/"source": "[^"]*"/"source": S/' > "$work/native.out"
    # shellcheck disable=SC2086
    win $command "$(winpath "$img")" | sed 's/"source": "[^"]*"/"source": S/' > "$work/wine.out"
    check "$name: $command"
  done
  rm -rf "$work/n" "$work/w"
  (cd "$work" && "$melvir" extract --all --quiet -d n "$img")
  win extract --all --quiet -d "$(winpath "$work/w")" "$(winpath "$img")"
  (cd "$work/n" && ls -1 && find . -type f -exec md5sum {} + | sort) > "$work/native.out"
  (cd "$work/w" && ls -1 && find . -type f -exec md5sum {} + | sort) > "$work/wine.out"
  check "$name: extract --all ($(ls "$work/n" | wc -l) files)"
done

# Exit statuses: no recorder disk, usage error.
head -c 65536 /dev/zero > "$work/blank.img"
set +e
"$melvir" list "$work/blank.img" > /dev/null 2>&1; echo "no disk: $?" > "$work/native.out"
win list "$(winpath "$work/blank.img")" > /dev/null 2>&1; echo "no disk: ${PIPESTATUS[0]}" > "$work/wine.out"
"$melvir" extract -n 0 > /dev/null 2>&1; echo "usage: $?" >> "$work/native.out"
"$wine" "$exe" extract -n 0 > /dev/null 2>&1; echo "usage: $?" >> "$work/wine.out"
set -e
check "exit statuses ($(tr '\n' ' ' < "$work/native.out"))"

# The write guard: a report that is the source, a source named as the
# .part of -o (a hard link of it), and a raw drive by its name are refused
# (usage error, 2) before anything is written; the source keeps its bytes.
cp "$native/sample/sample.img" "$work/src.img"
ln -f "$work/src.img" "$work/X.part"
sum=$(md5sum < "$work/src.img")
kept() { [[ $(md5sum < "$work/src.img") == "$sum" ]] && echo kept || echo written; }
set +e
d=$work
"$melvir" extract --all -d "$d/g" --rescue --report "$d/src.img" "$d/src.img" > /dev/null 2>&1; s1=$?
"$melvir" extract -n 1 -o "$d/X" "$d/X.part" > /dev/null 2>&1; s2=$?
echo "statuses $s1 $s2; source $(kept)" > "$work/native.out"
d=$(winpath "$work")
"$wine" "$exe" extract --all -d "$d\\g" --rescue --report "$d\\src.img" "$d\\src.img" > /dev/null 2>&1; s1=$?
"$wine" "$exe" extract -n 1 -o "$d\\X" "$d\\X.part" > /dev/null 2>&1; s2=$?
"$wine" "$exe" extract -n 1 -o '\\.\PhysicalDrive1' "$d\\src.img" > /dev/null 2>&1; s3=$?
echo "statuses $s1 $s2; source $(kept)" > "$work/wine.out"
echo "raw drive: $s3" >> "$work/wine.out"
echo "raw drive: 2" >> "$work/native.out"
set -e
check "the write guard ($(head -n 1 "$work/native.out"))"

if (( failures )); then
  echo "run_cli_wine.sh: $failures difference(s)"
  exit 1
fi
echo "run_cli_wine.sh: the Windows build matches the Linux build"
