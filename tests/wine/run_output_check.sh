#!/usr/bin/env bash
# The output writer of the Windows platform (output_check.exe, x86_64) under
# Wine: unbuffered only on 512-byte sectors, whole files on larger ones.
#
#   bash tests/wine/run_output_check.sh WIN64_BUILD
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
exe=$(cd "$1" && pwd)/output_check.exe
[[ -e $exe ]] || { echo "run_output_check: $exe is missing; build it first" >&2; exit 1; }
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
export WINEPREFIX=${WINEPREFIX:-/tmp/melvir-wine} WINEDEBUG=-all
# shellcheck source=server.sh
. "$root/tests/wine/server.sh"
work=$(mktemp -d)
trap 'wine_server_stop; rm -rf "$work"' EXIT
"$wine" "$exe" > /dev/null 2>&1 || true  # first use sets the prefix up
wine_server_start
"$wine" "$exe" "Z:${work//\//\\}" | tr -d '\r'
