#!/usr/bin/env bash
# MELVIR.EXE (x86_64) under Wine and Xvfb, driven through its windows by
# gui_driver.exe, with a test image mapped as \\.\PhysicalDrive1.
#
#   bash tests/wine/run_gui_tests.sh NATIVE_BUILD WIN64_BUILD
set -euo pipefail
native=$(cd "$1" && pwd)
win64=$(cd "$2" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=driver_steps.sh
. "$root/tests/wine/driver_steps.sh"
for f in "$melvir" "$mkdisk" "$exe" "$driver" "$native/sample/sample.img"; do
  [[ -e $f ]] || { echo "run_gui_tests: $f is missing; build it first" >&2; exit 1; }
done
export WINEPREFIX=${WINEPREFIX:-/tmp/melvir-gui-wine} WINEDEBUG=-all

work=$(mktemp -d /tmp/melvir-gui.XXXXXX)
trap 'gui_stop; rm -rf "$work"' EXIT
gui_start

# A long recording, for Stop: 6 GiB that read as zeros, in block form.
cat > "$work/long.disk" << 'DESC'
order little
sectors-per-cluster 256
cluster-count 60000
recording "Long film" clusters=49000
DESC
"$mkdisk" "$work/long.disk" "$work/long.img" > /dev/null
sample=$work/sample.img
cp "$native/sample/sample.img" "$sample"
chmod 0400 "$sample" "$work/long.img"
hashes=$(sha256sum "$sample" "$work/long.img")

# What the Windows program must show: the native program's view of the same
# disk as drive 1.
"$melvir" list "$sample" | sed 's/^ *[0-9][0-9]*  //' > "$work/list.txt"  # without its numbers
# Info shows the lines up to the data start; the command line says more.
"$melvir" info /dev/null "$sample" | sed '/^Data start:/q' > "$work/info.txt"
lines=$(wc -l < "$work/list.txt")

scenario templates

map "$sample"
scenario browse "$(winpath "$work/list.txt")" "$(winpath "$work/info.txt")" \
  "$(winpath "$root/res/readme.txt")"

mkdir "$work/out"
scenario extract 0 "$(winpath "$work/out/film.ts")"
"$melvir" extract -n 1 -o "$work/expected1.ts" "$sample" > /dev/null 2>&1
check "the extracted file equals the stream" cmp -s "$work/out/film.ts" "$work/expected1.ts"
scenario extract 1 "$(winpath "$work/out/noext")"
"$melvir" extract -n 2 -o "$work/expected2.ts" "$sample" > /dev/null 2>&1
check "a name without extension gets .MPG" cmp -s "$work/out/noext.MPG" "$work/expected2.ts"

map "$work/long.img"
scenario stop 0 "$(winpath "$work/out/long.ts")"
size=$(stat -c %s "$work/out/long.ts" 2> /dev/null || echo 0)
check "Stop keeps the file: $size bytes, whole sectors, short of the end" \
  test "$size" -gt 0 -a $((size % 512)) -eq 0 -a "$size" -lt $((49000 * 130560 / 131072 * 129344))
check "what Stop kept is the stream's start" cmp -s -n "$size" "$work/out/long.ts" /dev/zero

map "$sample"
scenario trace "$lines"
check "/T writes MELVIR.LOG with sector dumps" grep -q "Hard disk #1 sector 2" "$work/MELVIR.LOG"
check "/T logs the entries returned" grep -q "GetNextEntry returns: Test card 8s  1Mo" "$work/MELVIR.LOG"
scenario syntax "$lines"

# A disk whose scan takes seconds: 100 recordings on chains that never meet
# the same table sector twice in a row, a device read per step.
python3 - "$work/slow.disk" << 'PY'
import sys
n, k = 100, 10000
lines = ["order little", "sectors-per-cluster 1", "cluster-count %d" % (2 * n * k + 10)]
for i in range(n):
    chain = ",".join(str(1 + (j * n + i) * 2) for j in range(k))
    lines.append('recording "Slow %03d" chain=%s' % (i, chain))
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
PY
"$mkdisk" "$work/slow.disk" "$work/slow.img" > /dev/null
map "$work/slow.img"
scenario scanwait 100

rm -f "$WINEPREFIX/dosdevices/physicaldrive1"
scenario nodisk

check "the source images are unchanged" test "$(sha256sum "$sample" "$work/long.img")" = "$hashes"
if ((failures)); then
  echo "$failures GUI check(s) failed"
  exit 1
fi
echo "all GUI checks passed"
