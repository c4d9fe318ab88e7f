#!/usr/bin/env bash
# Kodi reads a media library as it was written: every NFO is XML, and Kodi,
# scanning DIR/Movies and DIR/Shows with local information only, lists every
# film, show and episode with the titles, years, air dates, studios, plots,
# numbers and pictures its files give.
#
# Usage: tests/kodi/kodi_library_check.sh MELVIR DIR [SOURCE...]
#   With SOURCEs, `MELVIR library -d DIR SOURCE...` writes the library first;
#   MELVIR "-" checks DIR as it is.
# Exit status 77 (a skip, with the reason) when Kodi or Xvfb is not installed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "SKIP: $*" >&2; exit 77; }
[[ $# -ge 2 ]] || { echo "usage: $0 MELVIR DIR [SOURCE...]" >&2; exit 2; }
melvir=$1 dir=$2
shift 2

command -v python3 > /dev/null || skip "python3 is not installed"
if [[ $# -gt 0 ]]; then
  "$melvir" library --quiet -d "$dir" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if command -v xmllint > /dev/null; then
  find "$dir" -name '*.nfo' -print0 | xargs -0 -r xmllint --noout
else
  echo "xmllint is not installed (Debian libxml2-utils): the NFOs are read by Python alone" >&2
fi
python3 "$here/library_expect.py" "$dir" "$work/expect.json"
status=0
python3 "$here/kodi_scan.py" "$dir" "$work/kodi.json" || status=$?
[[ $status -ne 77 ]] || skip "Kodi cannot run here (the reason is above)"
[[ $status -eq 0 ]] || exit "$status"
python3 "$here/check_scan.py" "$work/kodi.json" "$work/expect.json"
