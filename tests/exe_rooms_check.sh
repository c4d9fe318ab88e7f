#!/usr/bin/env bash
# MELVIR.EXE holds no symbol of the rooms the Windows program does not link:
# every function and datum those libraries define is looked for in the
# program's symbol table (the linker's own .refptr helpers aside).
# Usage: tests/exe_rooms_check.sh NM EXE LIBRARY...
set -euo pipefail
nm=$1 exe=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$nm" --defined-only "$exe" | awk '{print $NF}' | sort -u > "$work/exe"
[ -s "$work/exe" ] || { echo "exe_rooms_check: $exe has no symbols to look at" >&2; exit 1; }
status=0
for lib in "$@"; do
  # Inline and template code of headers (the standard library's) and the
  # type information of its classes are emitted in every object that uses
  # them, each in a section of its own (.text$NAME, .rdata$NAME): not the
  # room's, so not looked for.
  "$nm" --defined-only "$lib" 2>/dev/null |
    awk 'NF == 3 && $3 ~ /^\.(text|rdata)\$/ { n = $3; sub(/^\.[a-z]*\$/, "", n); comdat[n] = 1; comdat["_" n] = 1 }
         NF == 3 && $2 ~ /[TDBR]/ && $3 !~ /^\./ { defined[$3] = 1 }
         END { for (d in defined) if (!(d in comdat)) print d }' | sort -u > "$work/lib"
  [ -s "$work/lib" ] || { echo "exe_rooms_check: $lib defines nothing" >&2; status=1; continue; }
  found=$(comm -12 "$work/exe" "$work/lib")
  if [ -n "$found" ]; then
    echo "exe_rooms_check: $(basename "$exe") holds symbols of $(basename "$lib"):" >&2
    echo "$found" | head -20 >&2
    status=1
  fi
done
[ $status -eq 0 ] && echo "exe_rooms_check: $(basename "$exe") holds no symbol of $# libraries"
exit $status
