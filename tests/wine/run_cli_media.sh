#!/usr/bin/env bash
# The Windows command line's probe, catalogue, Matroska copies and media
# library (melvir-cli.exe, x86_64, under Wine) against the Linux build's, on
# a disk of two broadcasts made here: H.264 and AAC with teletext subtitles,
# MPEG-2 with two MPEG audio tracks.
#
#   bash tests/wine/run_cli_media.sh NATIVE_BUILD WIN64_BUILD
#
# Text and JSON must be equal but for the source's path and the line ends,
# Matroska files as mkvmerge -J reads them but for their file names, muxing
# dates and random UIDs, NFO files and subtitles byte for byte. Skipped
# where wine64, ffmpeg or mkvmerge is missing.
set -euo pipefail

if (( $# != 2 )); then
  echo "usage: bash tests/wine/run_cli_media.sh NATIVE_BUILD WIN64_BUILD" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/../.." && pwd)
native=$(cd "$1" && pwd)
melvir=$native/cli/melvir
win64=$(cd "$2" && pwd)
exe=$win64/cli/melvir-cli.exe
for f in "$melvir" "$native/tools/melvir-mkdisk" "$native/tools/melvir-ts-si" "$exe" "$win64/wide_path_check.exe"; do
  [[ -e $f ]] || { echo "run_cli_media.sh: $f is missing; build it first" >&2; exit 1; }
done
wine=$(command -v wine64 || true)
[[ -n $wine ]] || wine=/usr/lib/wine/wine64
for tool in "$wine" ffmpeg mkvmerge; do
  command -v "$tool" > /dev/null || { echo "run_cli_media.sh: SKIPPED: $tool is not installed"; exit 0; }
done
export WINEPREFIX=${WINEPREFIX:-/tmp/melvir-wine} WINEDEBUG=-all

# shellcheck source=server.sh
. "$root/tests/wine/server.sh"
work=$(mktemp -d)
trap 'wine_server_stop; [[ -n ${KEEP:-} ]] || rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }
win() { "$wine" "$exe" "$@" | tr -d '\r'; }
"$wine" "$exe" --version > /dev/null 2>&1 || true  # first use sets the prefix up
wine_server_start

# ---- The disk: two recordings with their broadcast's tables ------------------
ff() { ffmpeg -hide_banner -loglevel error -y -fflags +bitexact "$@"; }
ff -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440 -t 6 \
  -c:v libx264 -preset ultrafast -g 25 -b:v 200k -c:a aac -b:a 48k \
  -metadata service_name=Arte -metadata service_provider=ARTE "$work/arte-av.ts"
ff -f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i sine=frequency=440 -f lavfi -i sine=frequency=660 \
  -t 6 -map 0 -map 1 -map 2 -c:v mpeg2video -g 12 -b:v 200k -c:a mp2 -b:a 64k \
  -metadata:s:a:0 language=fra -metadata:s:a:1 language=eng "$work/film-av.ts"
# 2009-05-03 20:15 UTC, central European summer time.
"$native/tools/melvir-ts-si" "$work/arte-av.ts" "$work/arte.ts" --utc 1241381700 --offset 120 \
  --sdt 'Arte|ARTE' --event '1241381702|3|deu|Xenius|Wissensmagazin|0x90||' \
  --teletext 'deu|2|888' --subtitle '888|1|3|Guten Abend' --subtitle '888|3|5|Auf Wiedersehen'
"$native/tools/melvir-ts-si" "$work/film-av.ts" "$work/film.ts" --utc 1241384400 --offset 120 \
  --sdt 'Das Erste|ARD' --event '1241384340|5400|deu|Das Boot|Kriegsfilm, Deutschland 1981|0x10||'
cat > "$work/media.disk" <<EOF
order big
sectors-per-cluster 64
cluster-count 400
recording "Xenius" file=arte.ts blockform
recording "Das Boot" file=film.ts blockform
EOF
"$native/tools/melvir-mkdisk" "$work/media.disk" "$work/media.img" > /dev/null
img=$work/media.img
wimg=$(winpath "$img")

failures=0
check() {  # check WHAT: compares native.out and wine.out in $work
  if ! cmp -s "$work/native.out" "$work/wine.out"; then
    echo "FAIL: $1 differs:"
    diff "$work/native.out" "$work/wine.out" | head -20 || true
    failures=$((failures + 1))
  else
    echo "ok: $1"
  fi
}
# The source as each system names it (in JSON too), and the output folder.
unpath() {
  IMG=$img WIMG=$wimg WORK=$work WWORK=$(winpath "$work") perl -pe '
    for my $w ($ENV{IMG}, $ENV{WIMG}, $ENV{WIMG} =~ s/\\/\\\\/gr) { s/\Q$w\E/IMG/g }
    for my $w ("$ENV{WORK}/", "$ENV{WWORK}\\", ($ENV{WWORK} =~ s/\\/\\\\/gr) . "\\\\") {
      s/\Q$w\E[nw](\\\\|\\|\/)/OUT\//g }
    s/"source": "[^"]*"/"source": S/g'
}
# A Matroska file as mkvmerge reads it, less what differs by run and name.
mkv_view() {
  mkvmerge -J "$1" | python3 -c '
import json, sys
def strip(o):
    if isinstance(o, dict):
        return {k: strip(v) for k, v in o.items()
                if k not in ("file_name", "date_local", "date_utc", "segment_uid", "uid",
                             "number", "muxing_application", "writing_application")}
    if isinstance(o, list):
        return [strip(v) for v in o]
    return o
print(json.dumps(strip(json.load(sys.stdin)), indent=1, sort_keys=True))'
}
# Every file of a folder: its relative name, and its bytes' sum or, for a
# Matroska file, mkvmerge's view of it.
tree_view() {
  (cd "$1" && find . -type f | LC_ALL=C sort | while read -r f; do
     case $f in
       *.mkv) echo "$f"; mkv_view "$f" ;;
       *.jpg) echo "$f: $(ffprobe -v error -show_entries stream=width,height -of csv=p=0 "$f")" ;;
       *) echo "$f: $(unpath < "$f" | tr -d '\r' | md5sum)" ;;
     esac
   done)
}

# Pictures are alike, not equal: Linux's FFmpeg decodes and scales with
# SIMD code, the Windows build with FFmpeg's C code.
pictures_alike() {  # pictures_alike NATIVE_DIR WINE_DIR
  local f psnr
  (cd "$1" && find . -name '*.jpg' | LC_ALL=C sort) | while read -r f; do
    psnr=$(ffmpeg -nostdin -hide_banner -i "$1/$f" -i "$2/$f" -lavfi psnr -f null - 2>&1 |
           sed -n 's/.*PSNR.* average:\([0-9.a-z]*\).*/\1/p')
    if [[ $psnr != inf ]] && ! awk -v p="${psnr:-0}" 'BEGIN { exit !(p >= 30) }'; then
      echo "$f: PSNR ${psnr:-none} dB"
    fi
  done
}

for opts in "--all" "--all --json" "--all --full --json"; do
  # shellcheck disable=SC2086
  "$melvir" probe $opts "$img" | unpath > "$work/native.out"
  # shellcheck disable=SC2086
  win probe $opts "$wimg" | unpath > "$work/wine.out"
  check "probe $opts"
done

rm -rf "$work/n" "$work/w"
"$melvir" catalog --all -d "$work/n" "$img" 2> /dev/null
win catalog --all -d "$(winpath "$work/w")" "$wimg" 2> /dev/null
tree_view "$work/n" > "$work/native.out"
tree_view "$work/w" > "$work/wine.out"
check "catalog ($(find "$work/n" -type f | wc -l) files)"
: > "$work/native.out"
pictures_alike "$work/n" "$work/w" > "$work/wine.out"
check "catalog: pictures alike (PSNR of at least 30 dB)"

rm -rf "$work/n" "$work/w"
mkdir -p "$work/n" "$work/w"
"$melvir" extract -n 1 --container mkv --quiet -o "$work/n/one.mkv" "$img"
win extract -n 1 --container mkv --quiet -o "$(winpath "$work/w/one.mkv")" "$wimg"
format='{service} - {title} ({date} {time}, {date_utc} {time_utc}, {duration}) {index} {cluster} {name}'
"$melvir" extract --all --container mkv --trim --subtitles srt --quiet --name-format "$format" \
  -d "$work/n" "$img"
win extract --all --container mkv --trim --subtitles srt --quiet --name-format "$format" \
  -d "$(winpath "$work/w")" "$wimg"
"$melvir" extract -n 1 --trim --subtitles srt --quiet -o "$work/n/cut.ts" "$img"
win extract -n 1 --trim --subtitles srt --quiet -o "$(winpath "$work/w/cut.ts")" "$wimg"
tree_view "$work/n" > "$work/native.out"
tree_view "$work/w" > "$work/wine.out"
check "extract --container mkv, -o NAME.mkv, --trim, --subtitles srt, --name-format ($(ls "$work/n" | wc -l) files)"

# The library, and again in a folder whose paths pass MAX_PATH (260): Wine
# takes such paths without the "\\?\" prefix too, so the prefix itself is
# checked on its own.
if "$wine" "$win64/wide_path_check.exe" "$(winpath "$work")" | tr -d '\r' > "$work/wide.out"; then
  echo "ok: absolute \\?\ paths ($(grep -c '^ok' "$work/wide.out") cases)"
else
  cat "$work/wide.out"
  failures=$((failures + 1))
fi
rm -rf "$work/n" "$work/w"
deep=$work/w/$(printf 'a%.0s' {1..90})/$(printf 'b%.0s' {1..90})/$(printf 'c%.0s' {1..90})
"$melvir" library -d "$work/n" "$img" 2>&1 | unpath > "$work/native.out"
win library -d "$(winpath "$work/w")" "$wimg" 2>&1 | tr -d '\r' | unpath > "$work/wine.out"
check "library: what it says"
tree_view "$work/n" > "$work/library.native"
cp "$work/library.native" "$work/native.out"
tree_view "$work/w" > "$work/wine.out"
check "library ($(find "$work/n" -type f | wc -l) files)"
: > "$work/native.out"
pictures_alike "$work/n" "$work/w" > "$work/wine.out"
check "library: pictures alike (PSNR of at least 30 dB)"
rm -rf "$work/w"
win library -d "$(winpath "$deep")" "$wimg" > /dev/null 2>&1 || true
longest=$( (cd "$deep" && find . -type f) | awk -v d="$deep" '{ print length(d) + length($0) - 1 }' | sort -n | tail -1)
cp "$work/library.native" "$work/native.out"
tree_view "$deep" > "$work/wine.out"
check "library in a folder of ${#deep} characters, its longest path ${longest:-0}"

# Nothing but Windows' own DLLs, winpthreads and the GCC runtime linked in.
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z\n' 'a-z ')
echo "imports: $imports" > "$work/wine.out"
foreign=$(tr ' ' '\n' <<< "$imports" | grep -Evx 'kernel32.dll|user32.dll|advapi32.dll|shell32.dll|msvcrt.dll|bcrypt.dll|' || true)
echo "imports: $imports" > "$work/native.out"
[[ -z $foreign ]] || echo "not Windows' own: $foreign" >> "$work/wine.out"
check "melvir-cli.exe imports only Windows' own DLLs"

if (( failures )); then
  echo "run_cli_media.sh: $failures difference(s)"
  exit 1
fi
echo "run_cli_media.sh: probe, catalog, Matroska and library under Wine match the Linux build"
