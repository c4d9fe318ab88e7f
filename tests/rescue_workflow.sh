#!/usr/bin/env bash
# docs/rescue.md's workflow, run as it is written: a builder disk with bad
# sectors (copy 1 of a table sector, both copies of a directory sector, one
# inside each of two recordings, one in free space) served by
# tests/faulty-disk, then the same through a read-only loop device; imaged
# by GNU ddrescue domain by domain; then read by melvir through the mapfile.
# Every recording must come out as the healthy disk's, byte for byte, but
# for the ranges the report names, which must be zeros; every command must
# exit with the status the page gives.
#
#   bash tests/rescue_workflow.sh BUILD        (BUILD: build/native)
set -euo pipefail
build=$(cd "${1:?usage: bash tests/rescue_workflow.sh BUILD}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
melvir=$build/cli/melvir
mkdisk=$build/tools/melvir-mkdisk
faulty=$build/tests/faulty-disk/faulty-disk

say() { echo "rescue_workflow: $*"; }
skip() { say "skipped: $1"; exit 0; }
fail() { say "FAILED: $*" >&2; exit 1; }
[[ -r /dev/fuse && -w /dev/fuse ]] || skip "/dev/fuse is missing or not usable here"
command -v fusermount3 > /dev/null || skip "fusermount3 is not installed (Debian fuse3)"
command -v ddrescue > /dev/null || skip "ddrescue is not installed (Debian gddrescue)"
[[ -x $faulty ]] || skip "$faulty was not built (libfuse3-dev missing)"
for f in "$melvir" "$mkdisk"; do [[ -x $f ]] || fail "$f is missing; build it first"; done

work=$(mktemp -d /tmp/melvir-rescue.XXXXXX)
mounts=() loops=()
cleanup() {
  cd /
  local x
  for x in "${loops[@]}"; do losetup -d "$x" || true; done
  for x in "${mounts[@]}"; do mountpoint -q "$x" && { fusermount3 -u "$x" || fusermount3 -uz "$x" || true; }; done
  rm -rf "$work"
}
trap cleanup EXIT

# expect STATUS COMMAND...: runs it (output as redirected); it must exit so.
expect() {
  local want=$1 got=0
  shift
  "$@" || got=$?
  [[ $got == "$want" ]] || fail "exit status $got, not $want: $*"
}
# until_bounded COMMAND...: polls it, at most 30 s (no sleep a slow machine outruns).
until_bounded() {
  local i
  for ((i = 0; i < 300; i++)); do "$@" && return 0; sleep 0.1; done
  return 1
}

# ---- The disk, healthy, and its recordings ----------------------------------------
# The table starts after the volume header's 4 KiB page, so that the header
# reads through a block device's page cache (see docs/rescue.md). Slots 7
# and 8 lie in the directory's sector 1, which is lost; they hold streams,
# so the check finds them as lost recordings.
cd "$work"
cp "$here/data/clip.ts" .
cat > disk.desc << 'DESC'
order big
sectors-per-cluster 64
cluster-count 600
table-start 72
recording "Morning news" clusters=40 pattern=3
recording "Film" clusters=120 fragmented pattern=5
recording "Late show" clusters=30 pattern=9
recording "Test card" file=clip.ts blockform
recording "Quiz" clusters=20 pattern=4
recording "Weather" clusters=10 pattern=6
recording "Sport" clusters=25 pattern=7
recording "Concert" file=clip.ts blockform
recording "Cartoons" file=clip.ts blockform
DESC
"$mkdisk" disk.desc healthy.img > /dev/null
disk_bytes=$(stat -c %s healthy.img)
expect 0 "$melvir" extract --all -d healthy --quiet healthy.img
"$melvir" list healthy.img > healthy.list
"$melvir" list --json healthy.img > healthy.json
field() { sed -n "s/.*\"$1\": \([0-9]*\).*/\1/p" info.json; }
"$melvir" info --json healthy.img > info.json
ts=$(field table_start) ds=$(field directory_start) dk=$(field directory_interleave)
data=$(field data_start) spc=$(field sectors_per_cluster)
# A sector inside a recording: the 21st of the last run of its sectors.
inside() {
  local pos _ status last=
  while read -r pos _ status; do
    [[ $status == + ]] && last=$((pos / 512 + 20))
  done < <("$melvir" domain -n "$1" healthy.img)
  echo "${last:?no sectors for recording $1}"
}
bad_table=$((ts + 2)) bad_dir="$((ds + 1)),$((ds + dk + 1))"
bad_film=$(inside 2) bad_late=$(inside 3) bad_free=$((data + 549 * spc))  # cluster 550: free
bad="$bad_table,$bad_dir,$bad_film,$bad_late,$bad_free"

mkdir served
"$faulty" --bad "$bad" healthy.img served > faulty.log 2>&1 ||
  skip "faulty-disk could not mount (no FUSE mounts allowed here): $(head -n 1 faulty.log)"
mounts+=("$work/served")
until_bounded mountpoint -q served || fail "faulty-disk never mounted"

# ---- The workflow, on one source ------------------------------------------------
workflow() {  # workflow NAME DEVICE
  local name=$1 dev=$2
  mkdir "$work/$name"
  cd "$work/$name"
  # Metadata first; ddrescue leaves the image as long as what it wrote.
  expect 0 "$melvir" domain --metadata "$dev" > meta.map
  expect 0 ddrescue -d -n -m meta.map "$dev" disk.img disk.map >> ddrescue.log
  (($(stat -c %s disk.img) < disk_bytes)) || fail "$name: the image is as long as the disk after the metadata pass"
  # The recordings, listed and lost; without --rescue the scan stops at the table.
  expect 1 "$melvir" domain --all --mapfile disk.map disk.img > /dev/null 2>&1
  expect 3 "$melvir" domain --metadata --all --rescue --mapfile disk.map disk.img > wanted.map 2> /dev/null
  expect 0 ddrescue -d -n -m wanted.map "$dev" disk.img disk.map >> ddrescue.log
  expect 0 ddrescue -d -r3 -m wanted.map "$dev" disk.img disk.map >> ddrescue.log
  # What ddrescue could not read is exactly the bad sectors of the domain;
  # the free one was never tried.
  python3 - disk.map "$bad" "$bad_free" << 'PY' || fail "$name: the mapfile"
import sys
rows = [l.split() for l in open(sys.argv[1]) if l.strip() and not l.startswith("#")][1:]
unread, free_untried = set(), False
for pos, size, status in rows:
    pos, size = int(pos, 16), int(size, 16)
    if status not in "+?":
        unread.update(range(pos // 512, (pos + size) // 512))
    if status == "?" and pos // 512 <= int(sys.argv[3]) < (pos + size) // 512:
        free_untried = True
bad = {int(s) for s in sys.argv[2].split(",")} - {int(sys.argv[3])}
if unread != bad or not free_untried:
    sys.exit(f"unreadable {sorted(unread)}, not {sorted(bad)}; free sector untried: {free_untried}")
PY

  expect 1 "$melvir" list --mapfile disk.map disk.img > /dev/null 2>&1
  expect 3 "$melvir" list --rescue --mapfile disk.map disk.img > list.txt 2> /dev/null
  head -n 7 "$work/healthy.list" | cmp -s - list.txt || fail "$name: list --rescue is not the healthy list's first 7"
  expect 3 "$melvir" check --mapfile disk.map disk.img > check.txt
  grep -qx "7 recordings, 2 lost recordings found, 1 table sector unreadable, 1 directory sector unreadable" check.txt ||
    fail "$name: check says $(head -n 1 check.txt)"
  expect 3 "$melvir" extract --all --rescue --mapfile disk.map --report damage.json -d films disk.img 2> /dev/null
  expect 0 "$melvir" extract --all-lost --rescue --mapfile disk.map -d films disk.img 2> /dev/null
  python3 - "$work/healthy" "$work/healthy.json" << 'PY' || fail "$name: the recordings"
import json, os, sys
healthy, listed = sys.argv[1], json.load(open(sys.argv[2]))
unreadable = {}
for line in open("damage.json"):
    r = json.loads(line)
    name = os.path.basename(r["output"])
    got, want = bytearray(open(r["output"], "rb").read()), open(os.path.join(healthy, name), "rb").read()
    for off, n in r["unreadable"]:
        if got[off:off + n] != bytes(n):
            sys.exit(f"{name}: [{off}, {n}] is not zeros")
        got[off:off + n] = want[off:off + n]
    if got != want:
        sys.exit(f"{name}: differs from the healthy disk's outside the reported ranges")
    unreadable[name] = sum(n for _, n in r["unreadable"])
wanted = {r["decoded_name"] + ".ts": 0 for r in listed[:7]}
wanted.update({"Film.ts": 512, "Late show.ts": 512})
if unreadable != wanted:
    sys.exit(f"unreadable bytes {unreadable}, not {wanted}")
for r in listed[7:]:
    lost = f"films/lost-{r['first_cluster']}.ts"
    if open(lost, "rb").read() != open(os.path.join(healthy, r["decoded_name"] + ".ts"), "rb").read():
        sys.exit(f"{lost} is not {r['decoded_name']}")
PY
  # The mount through the map shows the same files.
  mkdir rec
  expect 0 "$melvir" mount --background --mapfile disk.map disk.img rec 2> /dev/null
  mounts+=("$work/$name/rec")
  until_bounded mountpoint -q rec || fail "$name: the mount never came"
  local f
  for f in films/*.ts; do
    local shown=rec/${f#films/}
    [[ $f == films/lost-* ]] && shown=rec/lost/${f#films/}
    cmp -s "$f" "$shown" || fail "$name: $shown is not $f"
  done
  fusermount3 -u rec
  until_bounded eval '! mountpoint -q rec' || fail "$name: the mount never went"
  say "$name: passed"
}

workflow file "$work/served/disk.img"

# The same with the failing disk as a block device.
if ! command -v losetup > /dev/null; then
  say "loop device: SKIPPED: losetup is not installed (Debian mount)"
elif ! loop=$(losetup -r -f --show "$work/served/disk.img" 2> "$work/losetup.err"); then
  say "loop device: SKIPPED: no loop device here ($(head -n 1 "$work/losetup.err"))"
else
  loops+=("$loop")
  workflow loop "$loop"
  # A bad table sector in the volume header's 4 KiB page: the header reads
  # all the same (again, past the device's cache), the table from its mirror.
  cd "$work"
  sed '/^table-start/d' disk.desc > page.desc
  "$mkdisk" page.desc page.img > /dev/null
  "$melvir" list page.img > page.list
  mkdir page
  "$faulty" --bad 66 page.img page > page-faulty.log 2>&1 || fail "faulty-disk on page.img"
  mounts+=("$work/page")
  until_bounded mountpoint -q page || fail "faulty-disk never mounted page.img"
  page_loop=$(losetup -r -f --show "$work/page/disk.img") || fail "no second loop device"
  loops+=("$page_loop")
  status=0
  "$melvir" list --rescue "$page_loop" > page-loop.list 2> page-loop.err || status=$?
  [[ $status == 3 ]] || fail "page: exit status $status, not 3: $(cat page-loop.err)"
  cmp -s page.list page-loop.list || fail "the disk whose header shares a page with a bad sector lists otherwise"
  grep -q 'allocation table sector 1 unreadable, read from its mirror copy' page-loop.err ||
    fail "page: $(cat page-loop.err)"
  say "loop, a bad sector in the header's page: passed"
fi
