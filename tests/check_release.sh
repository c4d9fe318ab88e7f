#!/usr/bin/env bash
# Checks the Windows release archive made by tools/make-release: its files
# and their sums, the read-me's and the licence's CR LF lines, the sources
# and licences of the libraries melvir-cli.exe carries, and,
# with objdump, that
# both programs are 32-bit x86 PE files of the right subsystem carrying a
# manifest and a version resource, and that they import nothing but
# Windows' own DLLs.
#
#   bash tests/check_release.sh ARCHIVE
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
archive=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
objdump=i686-w64-mingw32-objdump
version=$(basename "$archive" | sed -n 's/^MELVIR-\([0-9.]*\)-windows\.zip$/\1/p')
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}

check "the archive is named after the version ($version)" test -n "$version"
unzip -q "$archive" -d "$work"
check "it holds MELVIR.EXE, melvir-cli.exe, README.txt, COPYING.txt, SOURCES.txt, the licences and SHA256SUMS" \
  test "$(cd "$work" && find . -type f | LC_ALL=C sort | tr '\n' ' ')" = \
  "./COPYING.txt ./MELVIR.EXE ./README.txt ./SHA256SUMS ./SOURCES.txt ./licences/ffmpeg/COPYING.LGPLv2.1.txt \
./licences/ffmpeg/LICENSE.md.txt ./licences/ffmpeg/copyright.txt ./licences/libdvbpsi/COPYING.txt \
./licences/libdvbpsi/copyright.txt ./melvir-cli.exe "
sums_hold() { (cd "$work" && sha256sum --quiet -c SHA256SUMS) && test "$(wc -l < "$work/SHA256SUMS")" = 10; }
check "SHA256SUMS holds the sums of the other ten" sums_hold
# The libraries built in are the versions the Linux build links, under the
# LGPL: Debian's texts.
names_sources() {
  grep -q "ffmpeg $(dpkg-query -W -f='${Version}' libavformat-dev) " "$work/SOURCES.txt" &&
    grep -q "libdvbpsi $(dpkg-query -W -f='${Version}' libdvbpsi-dev) " "$work/SOURCES.txt"
}
check "SOURCES.txt names ffmpeg and libdvbpsi at the Linux build's versions" names_sources
check "FFmpeg's licence is the LGPL 2.1" grep -q "GNU LESSER GENERAL PUBLIC LICENSE" "$work/licences/ffmpeg/COPYING.LGPLv2.1.txt"
check "libdvbpsi's licence is the LGPL 2.1" grep -q "GNU LESSER GENERAL PUBLIC LICENSE" "$work/licences/libdvbpsi/COPYING.txt"
echo "melvir-cli.exe (i686): $(stat -c %s "$work/melvir-cli.exe") bytes"
is_text_of() {  # is_text_of FILE SOURCE: SOURCE's lines, every one ending in CR LF
  tr -d '\r' < "$work/$1" | cmp -s - "$2" && test "$(grep -c $'\r$' "$work/$1")" = "$(wc -l < "$2")"
}
check "README.txt is the read-me text, every line ending in CR LF" is_text_of README.txt "$root/res/readme.txt"
check "COPYING.txt is the licence, every line ending in CR LF" is_text_of COPYING.txt "$root/COPYING"

# Windows' own DLLs, which every supported version of Windows (Vista on)
# has; bcrypt.dll gives FFmpeg its random numbers.
system_dlls=" kernel32.dll user32.dll gdi32.dll comctl32.dll comdlg32.dll advapi32.dll shell32.dll msvcrt.dll bcrypt.dll "
resource_types() {  # the top-level entries of the resource directory
  "$objdump" -p "$1" | sed -n 's/^[0-9a-f]*   Entry: ID: 0x0*\([0-9a-f]*\),.*/\1/p'
}
version_value() {  # version_value FILE KEY: the value after KEY among the UTF-16 strings
  strings -el -n 3 "$1" | grep -A1 -x "$2" | sed -n 2p
}
program() {  # program FILE SUBSYSTEM LEVEL
  local exe=$work/$1 name=$1
  check "$name is a 32-bit x86 PE file" grep -q "file format pei-i386" <("$objdump" -f "$exe")
  check "$name is of the $2 subsystem" grep -Eq "^Subsystem[[:space:]]+[0-9a-f]+[[:space:]]+\\($2\\)" \
    <("$objdump" -p "$exe")
  local types
  types=$(resource_types "$exe" | tr '\n' ' ') || true
  check "$name has a manifest (resource type 24; types: $types)" grep -qw 18 <<< "$types"
  check "$name has a version resource (resource type 16)" grep -qw 10 <<< "$types"
  check "$name's manifest asks for $3" grep -q "requestedExecutionLevel level=\"$3\"" <(strings "$exe")
  check "$name's version resource names it and gives version $version" \
    test "$(version_value "$exe" OriginalFilename) $(version_value "$exe" ProductVersion)" = \
    "$name $version"
  local dll foreign=""
  for dll in $("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
    [[ $system_dlls == *" $dll "* ]] || foreign+=" $dll"
  done
  check "$name imports only Windows' own DLLs${foreign:+ (not:$foreign)}" test -z "$foreign"
}
program MELVIR.EXE "Windows GUI" requireAdministrator
program melvir-cli.exe "Windows CUI" asInvoker

if ((failures)); then
  echo "$failures release check(s) failed"
  exit 1
fi
echo "the release archive is complete"
