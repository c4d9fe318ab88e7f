#!/usr/bin/env bash
# The Windows programs under Wine on a disk whose sectors really fail: a
# builder disk served through the faulty-disk FUSE file system, so that
# Wine's reads of it fail in the kernel with EIO. Wine gives that to the
# program as a failed ReadFile (NtReadFile status 0xC00000A3,
# STATUS_DEVICE_NOT_READY; GetLastError() 21, ERROR_NOT_READY, "Not ready"),
# the whole read failing, not a short one.
#
#   bash tests/wine/run_faulty_disk.sh NATIVE_BUILD WIN64_BUILD
#
# MELVIR.EXE must show its scan and read errors; melvir-cli.exe --rescue
# must list and extract what the native melvir --rescue does, byte for byte.
set -euo pipefail
native=$(cd "$1" && pwd)
win64=$(cd "$2" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=driver_steps.sh
. "$root/tests/wine/driver_steps.sh"
faulty=$native/tests/faulty-disk/faulty-disk
cli=$win64/cli/melvir-cli.exe

skip() { echo "run_faulty_disk: skipped: $1"; exit 0; }
[[ -r /dev/fuse && -w /dev/fuse ]] || skip "/dev/fuse is missing or not usable here"
command -v fusermount3 > /dev/null || skip "fusermount3 is not installed (Debian fuse3)"
[[ -x $wine ]] || skip "wine64 is not installed"
command -v Xvfb > /dev/null || skip "Xvfb is not installed (Debian xvfb)"
[[ -x $faulty ]] || skip "$faulty was not built (libfuse3-dev missing)"
for f in "$melvir" "$mkdisk" "$exe" "$driver" "$cli"; do
  [[ -e $f ]] || { echo "run_faulty_disk: $f is missing; build it first" >&2; exit 1; }
done
# A prefix of its own unless one is named: other Wine runs on the machine
# keep theirs.
export WINEPREFIX=${WINEPREFIX:-/tmp/melvir-wine-faulty} WINEDEBUG=-all

work=$(mktemp -d /tmp/melvir-faulty.XXXXXX)
mounts=()
cleanup() {
  gui_stop
  local m
  for m in "${mounts[@]}"; do
    # Wine's last handle on the served file may take a moment to go.
    for _ in 1 2 3 4 5 6 7 8 9 10; do
      fusermount3 -u "$m" 2> /dev/null && break
      sleep 0.2
    done
    if mountpoint -q "$m"; then fusermount3 -uz "$m" || true; fi
  done
  rm -rf "$work"
}
trap cleanup EXIT

# Three recordings; the second's chain runs on into the table's second
# sector, which the first's does not reach.
cat > "$work/disk.desc" << 'DESC'
order little
sectors-per-cluster 64
cluster-count 400
table-interleave 4
recording "Morning news" clusters=20 pattern=3
recording "Film" clusters=150 pattern=5
recording "Late show" clusters=30 pattern=9
DESC
image=$work/disk.img
"$mkdisk" "$work/disk.desc" "$image" > /dev/null
chmod 0400 "$image"
hash=$(sha256sum < "$image")

# (a) The table's sector 1 in copy 1: the first interleave group holds copy
# 1's sectors 0 to 3, so it is the sector after the table's start.
table=$(( $("$melvir" info --json "$image" | sed 's/.*"table_start": \([0-9]*\).*/\1/') + 1 ))
# (b) In "Late show" (one run of sectors): the first sector of its 11th
# cluster, four in its 16th, its very last.
read -r pos size < <("$melvir" domain -n 3 "$image" | awk '$3 == "+" { print $1, $2 }')
first=$((pos / 512)) last=$(((pos + size) / 512 - 1))
data="$((first + 640)),$((first + 1000))-$((first + 1003)),$last"

serve() {  # serve NAME LIST: the image as $work/NAME/disk.img, LIST failing
  mkdir "$work/$1"
  "$faulty" --bad "$2" "$image" "$work/$1" > /dev/null 2>&1 ||
    skip "faulty-disk could not mount (no FUSE mounts allowed here)"
  mounts+=("$work/$1")
}
serve scan "$table"
serve data "$data"
serve both "$table,$data"

gui_start

# ---- MELVIR.EXE: the first failure ends the scan or the run -----------------------
# Each scenario runs with Wine's trace of file calls; this is what each read
# of the process that opened the drive returned: "LENGTH SUCCESS (GOT)" or
# "LENGTH STATUS".
traced=-all,+pid,trace+file
reads() {
  awk -F: '
    !pid && index($0, "PhysicalDrive1\" GENERIC_READ") { pid = $1 }
    $1 != pid { next }
    $5 ~ /^ReadFile / { split($5, w, " "); asked[$2] = w[4] }
    $5 ~ /^NtReadFile = / { sub(/^NtReadFile = /, "", $5); print asked[$2], $5 }
  ' "$work/wine.log"
}
# The reads that failed, and those that returned less than asked.
failed() { reads | awk '$2 != "SUCCESS"'; }
short() { reads | awk '$2 == "SUCCESS" && $3 != "(" $1 ")"'; }

status=0
"$melvir" list "$work/scan/disk.img" > "$work/scan-list.txt" 2> /dev/null || status=$?
check "natively the scan of the served disk fails (status $status)" test "$status" = 1
# The window lists each line's text without its number.
sed -i -E 's/^ *[0-9]+  //' "$work/scan-list.txt"
map "$work/scan/disk.img"
WINEDEBUG=$traced scenario scanerror "$(winpath "$work/scan-list.txt")"
check "the scan met one failed read of the table sector: $(failed)" \
  test "$(failed)" = "512 0xc00000a3"
check "no read of it came back short" test -z "$(short)"

"$melvir" extract --quiet -n 3 -o "$work/late-healthy.ts" "$image"
mkdir "$work/gui"
map "$work/data/disk.img"
WINEDEBUG=$traced scenario readerror 2 "$(winpath "$work/gui/late.ts")"
check "the run met one failed read of a cluster: $(failed)" \
  test "$(failed)" = "32768 0xc00000a3"
check "no read of it came back short" test -z "$(short)"
kept=$(stat -c %s "$work/gui/late.ts" 2> /dev/null || echo missing)
check "the run kept $kept bytes, all read before the bad sector" \
  test "$kept" != missing -a "$kept" -le $((640 * 512))
check "what it kept is the recording's start" \
  cmp -s -n "$kept" "$work/gui/late.ts" "$work/late-healthy.ts"

# ---- melvir-cli.exe: what Wine's failed reads become ------------------------------
# Runs one command natively in $work/native and under Wine in $work/wine,
# with the served disk as SOURCE; output, messages and status must match.
mkdir "$work/native" "$work/wine"
same() {  # same WHAT ARGS...
  local n=0 w=0
  (cd "$work/native" && "$melvir" "${@:2}" "$work/both/disk.img") > "$work/native.out" \
    2> "$work/native.err" || n=$?
  (cd "$work/wine" && "$wine" "$cli" "${@:2}" "$(winpath "$work/both/disk.img")") \
    > "$work/wine.out" 2> "$work/wine.err" || w=$?
  # A read failure names the source as each system spells it, and its reason
  # in each system's words; the sectors must be the same.
  sed -i 's/\r$//; s/"source": "[^"]*"/"source": S/
          s/: reading \(sectors* [0-9,]*\( to [0-9,]*\)*\) of .*$/: reading \1 of S: R/' \
    "$work/native.out" "$work/wine.out" "$work/native.err" "$work/wine.err"
  cat "$work"/native.{out,err} > "$work/native.all"
  cat "$work"/wine.{out,err} > "$work/wine.all"
  check "$1: the same output and messages" cmp -s "$work/native.all" "$work/wine.all"
  cmp -s "$work/native.all" "$work/wine.all" || diff "$work/native.all" "$work/wine.all" | head -20
  check "$1: exit status 3 both ($n, $w)" test "$n$w" = 33
}
same "list --rescue" list --rescue
same "list --rescue --json" list --rescue --json
same "extract --rescue --all" extract --rescue --all -d out --report report.json
check "the extracted files are the same" \
  diff -r "$work/native/out" "$work/wine/out"
# The Windows build writes the report as a text file: CR LF line ends.
check "the reports are the same but for CR LF line ends" \
  cmp -s "$work/native/report.json" <(tr -d '\r' < "$work/wine/report.json")
check "the report names the zeroed ranges of Late show" \
  grep -q "\"unreadable\": \[\[$((640 * 512)), 512\], \[$((1000 * 512)), 2048\], \[$((size - 512)), 512\]\]" \
  "$work/native/report.json"

# Without --rescue the command line names the system's error: under Wine,
# EIO is "Not ready".
status=0
"$wine" "$cli" extract -n 3 -o "$(winpath "$work/wine/late.ts")" \
  "$(winpath "$work/data/disk.img")" > /dev/null 2> "$work/wine.err" || status=$?
check "without --rescue: status $status, $(tr -d '\r' < "$work/wine.err")" \
  grep -q "Input file access error: reading sector [0-9,]* of .*: Not ready" "$work/wine.err"
check "without --rescue the status is 1" test "$status" = 1

check "the image is unchanged" test "$(sha256sum < "$image")" = "$hash"
if ((failures)); then
  echo "run_faulty_disk: $failures check(s) failed"
  exit 1
fi
echo "run_faulty_disk: all checks passed"
